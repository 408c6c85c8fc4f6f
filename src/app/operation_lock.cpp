#include "app/operation_lock.h"

#include <sddl.h>

#include <mutex>

namespace app {

namespace {

constexpr wchar_t kLockName[] = L"Global\\QuillmarkOrvane.Operation";

std::mutex windowLock;
int windowTasks = 0;
OperationLock windowShare;

}  // namespace

bool OperationLock::Take(DWORD milliseconds) {
    if (semaphore_) return true;
    // Every signed-in account may wait on it and give it back, whichever
    // made it first; only the system and administrators may do more.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x100002;;;AU)",
                                                              SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    common::UniqueKernelHandle semaphore(CreateSemaphoreW(&attributes, 1, 1, kLockName));
    LocalFree(descriptor);
    if (!semaphore || WaitForSingleObject(semaphore.get(), milliseconds) != WAIT_OBJECT_0) return false;
    semaphore_ = std::move(semaphore);
    return true;
}

void OperationLock::Release() {
    if (!semaphore_) return;
    ReleaseSemaphore(semaphore_.get(), 1, nullptr);
    semaphore_.reset();
}

bool TakeForWindowTask() {
    const std::lock_guard guard(windowLock);
    if (windowTasks == 0 && !windowShare.Take(0)) return false;
    ++windowTasks;
    return true;
}

void ReleaseForWindowTask() {
    const std::lock_guard guard(windowLock);
    if (windowTasks > 0 && --windowTasks == 0) windowShare.Release();
}

}  // namespace app
