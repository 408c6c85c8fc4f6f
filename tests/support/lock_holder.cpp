// Holds the operation lock in a process of its own, for the tests that show
// a holder in another process refusing the lock, and a killed one freeing it.
// Prints "held" once it holds it ("refused" otherwise), then keeps it until
// it is killed or its standard input closes (its test is gone).
// usage: lock_holder.exe [account]
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "core/operation_lock.h"

int wmain(int argc, wchar_t** argv) {
    const bool account = argc > 1 && std::wcscmp(argv[1], L"account") == 0;
    core::OperationLock lock(account ? core::LockScope::Account : core::LockScope::Machine);
    if (!lock.Take(0)) {
        std::puts("refused");
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    char byte;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read) {
    }
    return 0;
}
