#pragma once
// The folder of the program's own executable: where it finds what it ships
// with. Never the working folder instead: a path that cannot be read whole
// gives no folder at all, and the program does not start.
#include <windows.h>

#include <string>
#include <string_view>

#include "common/my_std_wstring.h"

namespace common {

// `modulePath` up to and including its last backslash; empty when it is not
// a full path (a drive's "X:\" or a share's "\\").
std::wstring DirectoryOfPath(std::wstring_view modulePath);

// The folder of the module path that GetModuleFileNameW answered `answered`
// for, into `buffer` of `capacity` units: empty when it could not be read
// (0) or was cut short (the whole buffer filled).
std::wstring ModuleFolder(const wchar_t* buffer, DWORD answered, DWORD capacity);

// The executable's folder with a trailing backslash; empty when the module
// path cannot be read whole into MAX_PATH units.
CMyStdWString GetAppDirectory();

}  // namespace common
