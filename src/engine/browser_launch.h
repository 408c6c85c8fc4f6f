#pragma once
// How the page gets a browser window: on Windows, Microsoft Edge or else
// Google Chrome as an app window (no tabs or address bar) with a profile
// folder of the program's own; without either, the default browser; under
// Wine, the host's browser, reached through the shell. Whichever it is, it is
// started without the program's rights (shell_launch.h).
#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/shell_launch.h"

namespace engine {

inline constexpr int kPageWidth = 842;
inline constexpr int kPageHeight = 582;

// An app window of the first of `appBrowsers` (the installed browsers that
// offer app windows, preferred first), else the address as a document.
ShellCommand PlanBrowserLaunch(std::string_view url, bool underWine, std::span<const std::wstring> appBrowsers,
                               std::wstring_view profileFolder);

bool RunningUnderWine();
// Where Edge, then Chrome, install for all users below the Program Files
// folders (`programFiles`: the 64-bit one first, then the 32-bit one).
std::vector<std::vector<std::wstring>> KnownBrowserPaths(std::span<const std::wstring> programFiles);
// Edge, then Chrome, where installed: each from its App Paths entry of
// HKEY_LOCAL_MACHINE, else from its known install folders. Never from the
// user's own App Paths, which any program the user runs unelevated can change.
std::vector<std::wstring> FindAppBrowsers();
// The program's own browser profile under the user's local application data.
std::wstring BrowserProfileFolder();
// The visible top-level window of `processId`, or none.
HWND ProcessWindow(DWORD processId);
// Restores and brings forward a visible top-level window of `processId`;
// false when it has none.
bool FocusProcessWindow(DWORD processId);

}  // namespace engine
