#pragma once
// How the page gets a browser window: on Windows, Microsoft Edge or else
// Google Chrome as an app window (no tabs or address bar) with a profile
// folder of the program's own; without either, the default browser; under
// Wine, the host's browser, reached through the shell.
#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct BrowserLaunch {
    enum class Kind { AppWindow, Shell } kind;
    std::wstring program;      // AppWindow: the browser
    std::wstring commandLine;  // AppWindow: the whole command line
    std::wstring url;          // Shell: the address to open
    bool operator==(const BrowserLaunch&) const = default;
};

inline constexpr int kPageWidth = 842;
inline constexpr int kPageHeight = 582;

// `appBrowsers`: the installed browsers that offer app windows, preferred first.
BrowserLaunch PlanBrowserLaunch(std::string_view url, bool underWine, std::span<const std::wstring> appBrowsers,
                                std::wstring_view profileFolder);

bool RunningUnderWine();
// Edge, then Chrome, where installed.
std::vector<std::wstring> FindAppBrowsers();
// The program's own browser profile under the user's local application data.
std::wstring BrowserProfileFolder();

// Starts the browser; the id of the browser process for an app window, else 0.
DWORD OpenBrowser(const BrowserLaunch& launch);
// The visible top-level window of `processId`, or none.
HWND ProcessWindow(DWORD processId);
// Restores and brings forward a visible top-level window of `processId`;
// false when it has none.
bool FocusProcessWindow(DWORD processId);

}  // namespace engine
