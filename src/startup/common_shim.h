#pragma once
// Stand-ins for the shared system helpers of src/common until they land; the
// signatures are theirs, so switching over is a change of includes and the
// removal of this file and its .cpp.
#include <string>
#include <string_view>

namespace common {

// 10, 8, 7 or 0: which Windows runs the program.
int GetWindowsGeneration();

// Expands the first "%name%" token of `path` into `expanded`; `alternative`
// names the 64-bit folder behind the value under WOW64, else stays empty.
// False, with `expanded` the path unchanged, when the path holds no token.
bool ExpandEnvironmentPath(std::wstring_view path, std::wstring& expanded, std::wstring& alternative);

}  // namespace common
