#pragma once
// Stable ids of startup entries, for scripts: the entry's place and name
// ("hkcu-run:NAME", "startup-folder:FILE.lnk"), the same on every machine
// and run, unlike its position in the list.
#include <optional>
#include <string>
#include <vector>

#include "startup/startup_item.h"

namespace cli {

// The id of `item`: hkcu-|hklm- and run, runonce32 or run32 (the Run key,
// the 32-bit RunOnce and Run keys) for a Run value; startup-folder or
// common-startup-folder for a shortcut of the user's or all users' Startup
// folder; then ":" and the value's or shortcut file's name.
std::wstring StartupId(const startup::StartupItem& item);

// The index in `items` of the entry `word` names: its id, in any letter
// case, or its position from 1. Nothing when it names none.
std::optional<std::size_t> FindStartupEntry(const std::vector<startup::StartupItem>& items, const std::wstring& word);

}  // namespace cli
