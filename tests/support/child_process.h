#pragma once
// Child processes of the tests, started with standard handles of the test's
// choosing (the ends of its pipes).
#include <windows.h>

#include <string>

#include "common/handles.h"

namespace testsupport {

struct ChildStart {
    HANDLE input = nullptr;   // inheritable handles; null ones are left unset
    HANDLE output = nullptr;
    HANDLE error = nullptr;
    std::wstring folder;      // its current folder; the test's own when empty
    HANDLE token = nullptr;   // run as this token's user and elevation when given
    const wchar_t* environment = nullptr;  // a block of its own; the test's when null
};

// Starts `commandLine` without a window; the process handle, empty when it
// did not start.
common::UniqueKernelHandle StartChild(std::wstring commandLine, const ChildStart& start);

}  // namespace testsupport
