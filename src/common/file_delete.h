#pragma once
// Deleting files and folders: through the shell (whole folders, optionally to
// the recycle bin) or one file directly, long paths included.
#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace common {

// SHFileOperationW's source list for one path: the path and the empty entry
// that ends the list, in a zero-filled MAX_PATH buffer. Nothing for an empty
// path or one too long to leave room for both terminators.
std::optional<std::array<wchar_t, MAX_PATH>> ShellPathList(std::wstring_view path);

// The text DeleteFileW gets for `path`: with the "\\?\" prefix from 259
// characters on, where the plain form would exceed MAX_PATH. Nothing for an
// empty path or one beyond the longest extended-length path.
std::optional<std::wstring> DirectDeletePath(std::wstring_view path);

// Deletes a file or a whole folder through the shell, silently; with `recycle`
// it goes to the recycle bin.
bool DeleteFileType(std::wstring_view path, bool recycle);

// Deletes one file with DeleteFileW. Read-only files are refused by the system.
bool DeleteFileTypeEx(std::wstring_view path);

}  // namespace common
