#pragma once
// The icons of the startup page's entries: the page names an entry's file (its
// icon path), and gets that file's own icon drawn as a PNG. Only the files of
// the entries the page was last given are drawn, and only files on the
// machine's own fixed disks are read (common/local_drive_path.h): the paths
// come from places any user writes (HKCU Run, the user's Startup folder).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"
#include "startup/startup_item.h"

namespace startup {

// The files whose icon stands for an entry, in the order to try: a Run
// value's program; a shortcut's target program, then the shortcut file
// itself (for a target without an icon).
std::vector<std::wstring> IconFilesOf(const StartupItem& item);

// The entry of `items` whose icon path is `file`; none when no entry has it.
const StartupItem* EntryWithIconPath(const std::vector<StartupItem>& items, std::wstring_view file);

// Makes `items` the entries whose icons the page may have drawn: the list the
// page was last given. On the thread that lists them; read by any thread.
void PublishListedIcons(const std::vector<StartupItem>& items);

// The icon of one file that is there: its own (the first of an icon file or a
// program's resources), else the stock program icon; none when the file is
// not there. The one place that reads an entry's file for its icon.
common::UniqueIcon ReadFileIcon(const std::wstring& file);
using IconReader = std::function<common::UniqueIcon(const std::wstring& file)>;

// On any thread: the icon of the published entry whose icon path is `file`,
// as a PNG, read by `read` from the first of its icon files on a local fixed
// disk that gives one; nothing for a file of no entry, or when none does.
std::optional<std::vector<std::uint8_t>> StartupIconPng(std::wstring_view file, const IconReader& read = ReadFileIcon);

}  // namespace startup
