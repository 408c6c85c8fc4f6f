#pragma once
// Which paths the elevated program may open to read what a file shows about
// itself (its icon, its version texts) when an unelevated program named the
// file: only files on the machine's own fixed disks. Opening a UNC path
// (\\server\share\x.exe) authenticates the administrator to that server and
// waits as long as the network does; a device path opens a device or a pipe;
// a removable drive may wait for its medium.
#include <optional>
#include <string>
#include <string_view>

namespace common {

// The root of the drive ("C:\") that a path names, judged from its text
// alone; nothing unless the path is a plain full path on a drive letter
// ("C:\dir\x.exe", "C:/x.exe", also "\\?\C:\x.exe"). Refused: UNC paths
// ("\\server\share", "\\?\UNC\..."), every other device form ("\\.\...",
// "\\?\Volume{...}", "\??\..."), relative and drive-relative paths ("x.exe",
// "\x.exe", "C:x.exe"), alternate data streams ("x.exe:s") and wildcards,
// and a DOS device name as any component (CON, NUL, COM1, "lpt1.txt",
// "C:\dir\aux .log").
std::optional<std::wstring> LocalDriveRoot(std::wstring_view path);

// LocalDriveRoot, and that drive is a fixed disk (GetDriveTypeW of its root).
bool IsOnLocalFixedDrive(std::wstring_view path);

}  // namespace common
