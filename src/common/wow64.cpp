#include "common/wow64.h"

#include <windows.h>

#include "common/proc_address.h"

namespace common {

bool RunsUnderWow64() {
    // Looked up at run time: kernel32 of 32-bit Windows before XP SP2 lacks it.
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process = GetProcAddressAs<IsWow64ProcessFn>(GetModuleHandleW(L"kernel32"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace common
