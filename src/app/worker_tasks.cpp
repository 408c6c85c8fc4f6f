#include "app/worker_tasks.h"

#include <windows.h>
#include <process.h>

#include <memory>
#include <mutex>

#include "common/handles.h"

namespace app {

namespace {

std::atomic<std::uint32_t> liveBits{0};
std::atomic<engine::ScriptHost*> mainWindow{nullptr};
// The most recently started worker; an earlier one's handle is closed when a
// new one replaces it (workers are never joined).
std::mutex lastWorkerLock;
common::UniqueKernelHandle lastWorker;

struct WorkerStart {
    std::function<void()> work;
    std::uint32_t liveBit;
};

unsigned __stdcall WorkerMain(void* argument) {
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
    start->work();
    liveBits.fetch_and(~start->liveBit);
    return 0;
}

void StartThread(std::function<void()> work, std::uint32_t liveBit) {
    liveBits.fetch_or(liveBit);
    auto* start = new WorkerStart{std::move(work), liveBit};
    const auto handle =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WorkerMain, start, 0, nullptr));
    if (!handle) {
        liveBits.fetch_and(~liveBit);
        delete start;
        return;
    }
    const std::lock_guard guard(lastWorkerLock);
    lastWorker.reset(handle);
}

}  // namespace

TaskRule RuleFor(Task task) {
    switch (task) {
        case Task::OneClickScan: return {0x3F, HOME_SCAN_WORKING, true};
        case Task::RegistryScan: return {0x1B, REG_SCAN_WORKING, true};
        case Task::JunkScan: return {0x2D, JUNKFILE_SCAN_WORKING, true};
        case Task::Clean: return {0xB8, 0, true};
        case Task::SystemDiskScan: return {0x800, DISK_WORKING, false};
        case Task::SystemDiskClean: return {0x800, DISK_WORKING, true};
        case Task::DownloadMove: return {0x1000, DOWNLOAD_MOVE_WORKING, false};
    }
    return {};
}

std::atomic<std::uint32_t>& ZoneBits() {
    static std::atomic<std::uint32_t> bits{0};
    return bits;
}

std::atomic<int>& StopFlag() {
    static std::atomic<int> flag{0};
    return flag;
}

void ClearZoneBits(std::uint32_t bits) { ZoneBits().fetch_and(~bits); }

std::uint32_t LiveWorkerBits() { return liveBits.load(); }

std::uint32_t StartRefusal(std::uint32_t zoneBits, std::uint32_t live, std::uint32_t refusalMask) {
    if (zoneBits & refusalMask) return zoneBits;
    if (live & refusalMask) return zoneBits | live;
    return 0;
}

std::uint32_t TaskRefusal(Task task) {
    return StartRefusal(ZoneBits().load(), liveBits.load(), RuleFor(task).refusalMask);
}

int StartTask(Task task, const std::function<void()>& prepare, std::function<void()> work, std::uint32_t bit) {
    if (const std::uint32_t refusal = TaskRefusal(task)) return static_cast<int>(refusal);
    const TaskRule rule = RuleFor(task);
    if (rule.resetsStopFlag) StopFlag() = 0;
    if (prepare) prepare();
    const std::uint32_t taskBit = rule.bit ? rule.bit : bit;
    ZoneBits().fetch_or(taskBit);
    StartThread(std::move(work), taskBit);
    return 0;
}

void StartDetachedWorker(std::function<void()> work) { StartThread(std::move(work), 0); }

void PublishMainWindow(engine::ScriptHost* host) { mainWindow.store(host); }

engine::ScriptHost* MainWindow() { return mainWindow.load(); }

bool CallScriptFunction(std::string_view name, std::vector<engine::Value> args) {
    engine::ScriptHost* host = mainWindow.load();
    return host && host->CallFunction(name, args);
}

void BroadcastProgress(int percent) {
    static constexpr std::uint32_t kOrder[] = {0x01, 0x02, 0x08, 0x10, 0x04, 0x40, 0x20, 0x80};
    for (const std::uint32_t bit : kOrder) {
        // Read afresh: a page whose task ended meanwhile is skipped.
        if (ZoneBits().load() & bit)
            CallScriptFunction("SetScanProcess", {engine::Value(percent), engine::Value(static_cast<int>(bit))});
    }
}

int ErrorReportPageBit(std::uint32_t zoneBits) {
    if (zoneBits & HOME_SCAN_WORKING) return 1;
    if (zoneBits & JUNKFILE_SCAN_WORKING) return 4;
    if (zoneBits & REG_SCAN_WORKING) return 2;
    return 0;
}

void ReportScannedCategory(std::size_t count, std::wstring sizeText, int group, int category) {
    CallScriptFunction("SetErrorNumAndSize",
                       {engine::Value::Array({static_cast<int>(count), std::move(sizeText), group, category,
                                              ErrorReportPageBit(ZoneBits().load())})});
}

int EnableCleanPrivileges() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &rawToken)) return 0;
    const common::UniqueKernelHandle token(rawToken);
    static constexpr const wchar_t* kNames[] = {L"SeDebugPrivilege", L"SeBackupPrivilege", L"SeRestorePrivilege"};
    // TOKEN_PRIVILEGES has room for one entry; the other two follow it.
    struct {
        DWORD count;
        LUID_AND_ATTRIBUTES privileges[3];
    } request{3, {}};
    for (int i = 0; i < 3; ++i) {
        LookupPrivilegeValueW(nullptr, kNames[i], &request.privileges[i].Luid);
        request.privileges[i].Attributes = SE_PRIVILEGE_ENABLED;
    }
    if (!AdjustTokenPrivileges(token.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&request), 0, nullptr,
                               nullptr))
        return 0;
    return GetLastError() == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace app
