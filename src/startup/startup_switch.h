#pragma once
// Switching one autostart entry off and on, the one place where entries are
// switched. Nothing the user had is ever destroyed: on Windows 8 and later
// an entry in place is switched through its approval value (the Run value
// or shortcut stays as it is); elsewhere it is moved whole into the
// program's keeping and back. Shortcuts that earlier versions deleted and
// described in tbl_startupinfo are written again from their row.
#include <string>

#include "startup/startup_item.h"

namespace startup {

// The folder a rewritten shortcut starts in: the one that holds it.
std::wstring ShortcutWorkingFolder(const std::wstring& shortcutPath);

// Writes the shortcut of a row of tbl_startupinfo again, at its old place
// (never over a file there) and pointing to its old target.
bool RecreateShortcut(const StartupItem& item);

// Gives the entry the state in its `bStatus` (0 on, else off); non-zero on
// success. A failed switch leaves the entry where and as it was.
int SwitchStartupItem(const StartupItem& item, int windowsGeneration);

}  // namespace startup
