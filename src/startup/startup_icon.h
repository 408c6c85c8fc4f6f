#pragma once
// The icons of the startup page's entries: the page names an entry's file (its
// icon path), and gets that file's own icon drawn as a PNG. Only the files of
// the listed entries are drawn.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "startup/startup_item.h"

namespace startup {

// The files whose icon stands for an entry, in the order to try: a Run
// value's program; a shortcut's target program, then the shortcut file
// itself (for a target without an icon).
std::vector<std::wstring> IconFilesOf(const StartupItem& item);

// The entry of `items` whose icon path is `file`; none when no entry has it.
const StartupItem* EntryWithIconPath(const std::vector<StartupItem>& items, std::wstring_view file);

// On the UI thread: the icon of the entry of StartupItemList() whose icon
// path is `file`, as a PNG; nothing for a file of no entry, or when none of
// its icon files has an icon.
std::optional<std::vector<std::uint8_t>> StartupIconPng(std::wstring_view file);

}  // namespace startup
