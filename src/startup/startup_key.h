#pragma once
// How the startup manager opens every registry key it reads or changes.
#include <windows.h>

#include <string>

#include "common/handles.h"

namespace startup {

// `path` below `root` with full access, in the 64-bit view and failing that
// in the 32-bit view; empty when neither opens.
common::UniqueRegKey OpenStartupKey(HKEY root, const std::wstring& path);

}  // namespace startup
