#include "common/account_sid.h"
#include "core/operation_lock.h"

#include <mutex>

#include "common/listed_delete.h"
#include "core/data_stores.h"

namespace core {

namespace {

constexpr wchar_t kLockFile[] = L"\\operation.lock";
// Every taker asks for DELETE, which an unshared handle refuses to all
// others: asking only for rights that sharing ignores (reading the security
// or the attributes) would never meet a holder.
constexpr DWORD kLockAccess = DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// How often a lock file found untrusted is replaced before giving up.
constexpr int kRounds = 3;
constexpr DWORD kRetryMilliseconds = 50;

std::mutex windowLock;
int windowTasks = 0;
OperationLock windowShare;

}  // namespace

LockScope CommandLineScope(bool elevated) { return elevated ? LockScope::Machine : LockScope::Account; }

OperationLock::Attempt OperationLock::TakeOnce() {
    const bool machine = scope_ == LockScope::Machine;
    const StoreFolder store = machine ? MachineStore() : UserStore();
    if (!store) {
        refusal_ = store.refusal;
        return Attempt::Refused;
    }
    // SYSTEM and Administrators (and the account, for its own): nobody else
    // may open it at all, since opening it is holding it.
    const StoreRule rule = machine ? MachineRule(false) : AccountRule(common::TokenAccountSid());
    const std::wstring path = store.path + kLockFile;
    NewObjectSecurity security(rule);
    for (int round = 0; round < kRounds; ++round) {
        common::UniqueFile file(CreateFileW(path.c_str(), kLockAccess, 0, security.Attributes(), OPEN_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file) {
            const DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION) return Attempt::Held;
            refusal_ = L"The lock file " + path + L" cannot be opened (error " + std::to_wstring(error) + L").";
            return Attempt::Refused;
        }
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(file.get(), &information) ||
            (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            !common::IsOpenedAt(file.get(), path)) {
            refusal_ = L"The lock file " + path + L" is a link.";
            return Attempt::Refused;
        }
        const std::optional<ObjectSecurity> found = ReadSecurity(file.get());
        if (found && JudgeShown(*found, rule, 0) != Verdict::Untrusted) {
            file_ = std::move(file);
            return Attempt::Taken;
        }
        // Planted, or opened up to others: it goes through the handle that
        // judged it, and the next round makes it afresh.
        if (!common::DeleteOpenedFile(file.get())) {
            refusal_ = L"The lock file " + path + L" is not trusted and cannot be deleted.";
            return Attempt::Refused;
        }
    }
    refusal_ = L"The lock file " + path + L" keeps being put back.";
    return Attempt::Refused;
}

bool OperationLock::Take(DWORD milliseconds) {
    if (file_) return true;
    refusal_.clear();
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        switch (TakeOnce()) {
            case Attempt::Taken: return true;
            case Attempt::Refused: return false;
            case Attempt::Held: break;
        }
        if (GetTickCount64() - start >= milliseconds) return false;
        Sleep(kRetryMilliseconds);
    }
}

void OperationLock::Release() { file_.reset(); }

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

}  // namespace core
