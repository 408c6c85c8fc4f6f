#pragma once
// The folder of the program's own executable.
#include <string>
#include <string_view>

#include "common/my_std_wstring.h"

namespace common {

// `modulePath` up to and including its last backslash; "\" when it has none.
std::wstring DirectoryOfPath(std::wstring_view modulePath);

// The executable's folder with a trailing backslash; empty when the module
// path cannot be read whole into MAX_PATH units.
CMyStdWString GetAppDirectory();

}  // namespace common
