// Chooses an entry of the running program's notification-area menu, as the
// user would: "show" (Show Window) or "exit".
// usage: tray_command.exe show|exit
#include <windows.h>

#include <cwchar>

#include "engine/tray_icon.h"

int wmain(int argc, wchar_t** argv) {
    using engine::TrayIcon;
    const UINT command = argc != 2                          ? 0
                         : std::wcscmp(argv[1], L"show") == 0 ? TrayIcon::kShowCommand
                         : std::wcscmp(argv[1], L"exit") == 0 ? TrayIcon::kExitCommand
                                                              : 0;
    if (!command) return 2;
    const HWND tray = FindWindowW(TrayIcon::kWindowClass, nullptr);
    return tray && PostMessageW(tray, WM_COMMAND, command, 0) ? 0 : 1;
}
