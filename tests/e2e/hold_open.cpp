// Holds a file open the way a running program does, so that nobody else can
// delete it: opened for reading, shared for reading only. Prints "held" once
// it is open and keeps it until the file RELEASE exists (at most 10 minutes).
// usage: hold_open.exe FILE RELEASE
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::puts("held");
    std::fflush(stdout);
    for (int tick = 0; tick < 6000 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++tick) Sleep(100);
    CloseHandle(file);
    return 0;
}
