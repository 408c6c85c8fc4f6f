#pragma once
// Switching one autostart entry off or on. Windows 8.1 and 10 keep a Run
// value in place and flip its approval value, and keep a disabled shortcut
// as a tbl_startupinfo row; older systems only know removing the entry.
#include <string>

#include "startup/startup_item.h"

namespace startup {

// The folder a rewritten shortcut starts in: the one that holds it.
std::wstring ShortcutWorkingFolder(const std::wstring& shortcutPath);

// Writes the shortcut of a switched-off Startup-folder entry again, at its
// old place and pointing to its old target.
bool RecreateShortcut(const StartupItem& item);

// Gives the entry the state in its `bStatus` (on Windows 7 and unknown
// systems: removes it, whatever the state); non-zero on success. A shortcut
// is deleted only once its row is stored, and its row removed only once the
// shortcut is written again, so a failure never loses the entry.
int SwitchStartupItem(const StartupItem& item, int windowsGeneration);

}  // namespace startup
