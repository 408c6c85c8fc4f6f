#pragma once
// Functions looked up at run time: the cast from FARPROC to the real
// signature in one place.
#include <windows.h>

namespace common {

template <typename Function>
Function GetProcAddressAs(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace common
