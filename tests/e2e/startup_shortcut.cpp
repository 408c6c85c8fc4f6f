// Writes a shortcut to TARGET, named NAME, into the current user's Startup
// folder, the way an installer registers a program to start at log-on, and
// prints the shortcut's full path. The program carries an icon of its own
// and a publisher (startup_program.rc): startup entries name it.
// usage: startup_shortcut.exe NAME TARGET
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "startup/shell_link.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, TRUE)) return 1;
    const std::wstring path = std::wstring(folder) + L"\\" + argv[1];
    if (!startup::WriteShortcut(path, argv[2], folder, L"")) return 1;
    std::printf("%ls\n", path.c_str());
    return 0;
}
