#pragma once
// Entries from the shortcuts of a Startup folder.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "startup/startup_item.h"

namespace startup {

// Whether a folder listing entry may be a startup shortcut: a file with a
// name, other than the folder's "desktop.ini".
bool IsShortcutCandidate(const std::wstring& name, DWORD attributes);

// The entry of the shortcut at `shortcutPath` that points to `target`, its
// version strings not yet read; nothing when the target's only backslash
// leads it (a target without a drive or folder).
std::optional<StartupItem> ShortcutItem(const std::wstring& shortcutPath, const std::wstring& fileName,
                                        const std::wstring& target);

// Appends an entry for each shortcut in `folder`, whose approval values lie
// below `hive`.
void ScanStartupFolder(const std::wstring& folder, HKEY hive, std::vector<StartupItem>& items);

}  // namespace startup
