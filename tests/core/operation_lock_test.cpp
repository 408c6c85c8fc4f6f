// The operation lock: one holder at a time, in one process or two; a killed
// holder frees it; what another account planted (a lock file, the old
// semaphore's name) never blocks the window. Wine does not enforce DACLs: that
// a standard user cannot open the machine's lock file shows only on Windows.
#include "core/operation_lock.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <stdexcept>
#include <string>

#include "common/handles.h"
#include "core/data_stores.h"
#include "engine/browser_launch.h"
#include "engine/wire_format.h"
#include "support/child_process.h"
#include "support/security_text.h"
#include "support/temp_dir.h"

namespace {

using core::LockScope;
using core::OperationLock;

std::wstring LockFile(LockScope scope) {
    const core::StoreFolder store = scope == LockScope::Machine ? core::MachineStore() : core::UserStore();
    return store ? store.path + L"\\operation.lock" : L"";
}

// lock_holder.exe, beside this test, holding the lock of `scope` from its
// start until it is killed.
class Holder {
public:
    explicit Holder(LockScope scope) {
        wchar_t self[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring line(self, length);
        line = L"\"" + line.substr(0, line.rfind(L'\\') + 1) + L"lock_holder.exe\"" +
               (scope == LockScope::Account ? L" account" : L"");
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr;
        if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&inRead, &inWrite, &inherit, 0))
            throw std::runtime_error("no pipe");
        out_.reset(outRead);
        in_.reset(inWrite);
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
        process_ = testsupport::StartChild(line, {inRead, outWrite, outWrite, {}, nullptr});
        CloseHandle(outWrite);
        CloseHandle(inRead);
        if (!process_) throw std::runtime_error("cannot start lock_holder.exe");
        // Its first word says whether it holds the lock: read until the line ends.
        char byte;
        DWORD read = 0;
        while (ReadFile(out_.get(), &byte, 1, &read, nullptr) && read && byte != '\n') said_ += byte;
        while (!said_.empty() && said_.back() == '\r') said_.pop_back();
    }
    ~Holder() { Kill(); }

    const std::string& Said() const { return said_; }
    // Ends it the hard way and waits until it is gone.
    void Kill() {
        if (!process_) return;
        TerminateProcess(process_.get(), 9);
        WaitForSingleObject(process_.get(), INFINITE);
        process_.reset();
    }

private:
    common::UniqueKernelHandle process_;
    common::UniqueKernelHandle out_, in_;
    std::string said_;
};

TEST(OperationLock, OneHolderAtATimeInOneProcess) {
    for (const LockScope scope : {LockScope::Machine, LockScope::Account}) {
        OperationLock first(scope), second(scope);
        ASSERT_TRUE(first.Take(0));
        EXPECT_TRUE(first.Take(0)) << "taken again by its holder";
        EXPECT_FALSE(second.Take(0));
        EXPECT_TRUE(second.Refusal().empty()) << "refused by a holder, not by its store";
        EXPECT_TRUE(testsupport::Exists(LockFile(scope)));
        first.Release();
        EXPECT_TRUE(second.Take(0));
        second.Release();
    }
}

// The machine's lock and an account's are apart: an orvane without elevation
// works under its account's while the window holds the machine's.
TEST(OperationLock, AnAccountsLockIsNotTheMachines) {
    OperationLock machine(LockScope::Machine), account(LockScope::Account);
    ASSERT_TRUE(machine.Take(0));
    EXPECT_TRUE(account.Take(0));
    EXPECT_FALSE(OperationLock(LockScope::Machine).Take(0));
    EXPECT_FALSE(core::TakeForWindowTask());
    EXPECT_NE(LockFile(LockScope::Machine), LockFile(LockScope::Account));
}

TEST(OperationLock, AHolderInAnotherProcessRefusesItUntilKilled) {
    for (const LockScope scope : {LockScope::Machine, LockScope::Account}) {
        Holder holder(scope);
        ASSERT_EQ(holder.Said(), "held");
        OperationLock lock(scope);
        EXPECT_FALSE(lock.Take(0));
        if (scope == LockScope::Machine) {
            EXPECT_FALSE(core::TakeForWindowTask());
        }
        holder.Kill();
        // The killed process's handles closed with it.
        EXPECT_TRUE(lock.Take(0));
        lock.Release();
    }
    // The window's share, once free.
    ASSERT_TRUE(core::TakeForWindowTask());
    core::ReleaseForWindowTask();
}

// A lock file that another account could open is replaced by one only the
// administrators can: it goes through the handle that judged it.
TEST(OperationLock, APlantedLockFileDoesNotBlock) {
    const std::wstring path = LockFile(LockScope::Machine);
    ASSERT_FALSE(path.empty());
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    SECURITY_ATTRIBUTES everyone{sizeof everyone, descriptor, FALSE};
    {
        const common::UniqueFile planted(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, &everyone, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        LocalFree(descriptor);
        ASSERT_TRUE(planted);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(planted.get(), "planted", 7, &written, nullptr));
    }
    ASSERT_EQ(testsupport::ReadFile(path), "planted");

    ASSERT_TRUE(core::TakeForWindowTask());
    EXPECT_EQ(testsupport::ReadFile(path), "") << "made afresh";
    // Nobody else has an entry: on Windows exactly the administrators' DACL,
    // under Wine no mode bits for others.
    const std::wstring security = testsupport::SecurityText(path);
    for (const wchar_t* other : {L";;;WD)", L";;;BU)", L";;;AU)"})
        EXPECT_EQ(security.find(other), std::wstring::npos) << engine::Utf8FromWide(security);
    if (!engine::RunningUnderWine()) {
        EXPECT_EQ(security, L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    }
    EXPECT_FALSE(OperationLock().Take(0));
    core::ReleaseForWindowTask();
}

// The semaphore an earlier version locked with, made beforehand by anyone
// and never given back, means nothing now.
TEST(OperationLock, TheOldSemaphoreNameDoesNotBlockTheWindow) {
    const common::UniqueKernelHandle planted(CreateSemaphoreW(nullptr, 0, 1, L"Global\\QuillmarkOrvane.Operation"));
    ASSERT_TRUE(planted);
    ASSERT_TRUE(core::TakeForWindowTask());
    core::ReleaseForWindowTask();
}

}  // namespace
