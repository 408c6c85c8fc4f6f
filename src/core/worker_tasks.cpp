#include "core/worker_tasks.h"

#include <windows.h>
#include <process.h>

#include <exception>
#include <memory>
#include <mutex>

#include "common/handles.h"
#include "core/keep_list.h"
#include "core/log_file.h"
#include "core/operation_lock.h"

namespace core {

namespace {

std::atomic<std::uint32_t> liveBits{0};
// Every worker thread alive, detached ones included.
std::atomic<int> liveWorkers{0};
// How many stops have been asked for since the program started.
std::atomic<std::uint32_t> stopCount{0};
// The stop count when the calling thread's task started; empty outside a task.
thread_local std::optional<std::uint32_t> taskStops;
std::atomic<engine::ScriptHost*> mainWindow{nullptr};
// The most recently started worker; an earlier one's handle is closed when a
// new one replaces it (workers are never joined).
std::mutex lastWorkerLock;
common::UniqueKernelHandle lastWorker;

HANDLE BeginThread(unsigned(__stdcall* body)(void*), void* argument) {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, argument, 0, nullptr));
}
std::atomic<ThreadMaker> threadMaker{BeginThread};

struct WorkerStart {
    std::function<void()> work;
    std::uint32_t liveBit;
    std::uint32_t stops;
    bool holdsOperationLock;  // a task's worker gives back the window's share
};

unsigned __stdcall WorkerMain(void* argument) {
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
    const std::uint32_t liveBit = start->liveBit;
    const bool holdsOperationLock = start->holdsOperationLock;
    {
        const TaskScope task(start->stops);
        try {
            start->work();
        } catch (...) {
            // An exception here would end the process. The task ends instead,
            // and its bit with it.
            LogFailure("A worker");
            ClearZoneBits(liveBit);
        }
    }
    // What the work owned goes while the worker still counts as alive.
    start.reset();
    liveBits.fetch_and(~liveBit);
    if (holdsOperationLock) ReleaseForWindowTask();
    --liveWorkers;
    return 0;
}

bool StartThread(std::function<void()> work, std::uint32_t liveBit, bool holdsOperationLock) {
    liveBits.fetch_or(liveBit);
    ++liveWorkers;
    auto* start = new WorkerStart{std::move(work), liveBit, stopCount.load(), holdsOperationLock};
    const HANDLE handle = threadMaker.load()(WorkerMain, start);
    if (!handle) {
        liveBits.fetch_and(~liveBit);
        --liveWorkers;
        delete start;
        return false;
    }
    const std::lock_guard guard(lastWorkerLock);
    lastWorker.reset(handle);
    return true;
}

int KeepListAnswerFor(KeepRefusal refusal) {
    switch (refusal) {
        case KeepRefusal::None: return 0;
        case KeepRefusal::Lost: return kKeepListLost;
        case KeepRefusal::Unreadable: break;
    }
    return kKeepListUnreadable;
}

}  // namespace

TaskRule RuleFor(Task task) {
    constexpr std::uint32_t kCleans = HOME_CLEAN_WORKING | REG_CLEAN_WORKING | JUNKFILE_CLEAN_WORKING |
                                      POPUP_WINDOWS_CLEAN_WORKING;
    // Every clean may repair the registry lists and removes the junk scan's
    // empty folders; the one-click scan fills both kinds of list.
    constexpr std::uint32_t kRegistryLists = HOME_SCAN_WORKING | REG_SCAN_WORKING | kCleans;
    constexpr std::uint32_t kJunkLists = HOME_SCAN_WORKING | JUNKFILE_SCAN_WORKING | kCleans;
    switch (task) {
        case Task::OneClickScan: return {0x3F, HOME_SCAN_WORKING, kRegistryLists | kJunkLists};
        case Task::RegistryScan: return {0x1B, REG_SCAN_WORKING, kRegistryLists};
        case Task::JunkScan: return {0x2D, JUNKFILE_SCAN_WORKING, kJunkLists};
        case Task::Clean: return {0xB8, 0, kRegistryLists | kJunkLists};
        case Task::SystemDiskScan: return {0x800, DISK_WORKING, DISK_WORKING};
        case Task::SystemDiskClean: return {0x800, DISK_WORKING, DISK_WORKING};
        case Task::DownloadMove: return {0x1000, DOWNLOAD_MOVE_WORKING, DOWNLOAD_MOVE_WORKING};
    }
    return {};
}

std::atomic<std::uint32_t>& ZoneBits() {
    static std::atomic<std::uint32_t> bits{0};
    return bits;
}

void ClearZoneBits(std::uint32_t bits) { ZoneBits().fetch_and(~bits); }

std::uint32_t LiveWorkerBits() { return liveBits.load(); }

int LiveWorkerCount() { return liveWorkers.load(); }

void RaiseStopFlag() { ++stopCount; }

bool StopRequested() { return taskStops && *taskStops != stopCount.load(); }

std::optional<std::uint32_t> TaskStopsAtStart() { return taskStops; }

TaskScope::TaskScope() : TaskScope(stopCount.load()) {}

TaskScope::TaskScope(std::uint32_t stopsAtStart) : previous_(taskStops) { taskStops = stopsAtStart; }

TaskScope::~TaskScope() { taskStops = previous_; }

std::uint32_t StartRefusal(std::uint32_t zoneBits, std::uint32_t live, const TaskRule& rule) {
    if (zoneBits & rule.refusalMask) return zoneBits;
    if (live & rule.sharedData) return zoneBits | live;
    return 0;
}

bool TaskDeletes(Task task) { return task == Task::Clean || task == Task::SystemDiskClean; }

int KeepListAnswer() { return KeepListAnswerFor(KeepRefusalNow()); }

bool TellKeepListStop() {
    const int answer = KeepListAnswer();
    if (answer == 0) return false;
    CallScriptFunction("ShowKeepRefusal", {engine::Value(answer)});
    return true;
}

std::uint32_t TaskRefusal(Task task) { return StartRefusal(ZoneBits().load(), liveBits.load(), RuleFor(task)); }

int StartTask(Task task, const std::function<void()>& prepare, std::function<void()> work, std::uint32_t bit) {
    if (const std::uint32_t refusal = TaskRefusal(task)) return static_cast<int>(refusal);
    // The command line is at work: refused like any busy state.
    if (!TakeForWindowTask()) return static_cast<int>(kHeldByCommandLine);
    // The command line may have changed the keep list since: read it afresh.
    // A task that deletes does not start without it; a scan does, since it
    // only leaves kept items out and whatever it lists is matched against the
    // list again before it is deleted.
    if (!TaskDeletes(task)) {
        RefreshKeptItems();
    } else if (const int refusal = KeepListAnswerFor(DeletionRefusal())) {
        ReleaseForWindowTask();
        return refusal;
    }
    const TaskRule rule = RuleFor(task);
    if (prepare) prepare();
    const std::uint32_t taskBit = rule.bit ? rule.bit : bit;
    ZoneBits().fetch_or(taskBit);
    if (StartThread(std::move(work), taskBit, true)) return 0;
    ClearZoneBits(taskBit);
    ReleaseForWindowTask();
    return kThreadNotStarted;
}

bool StartDetachedWorker(std::function<void()> work) { return StartThread(std::move(work), 0, false); }

ThreadMaker ReplaceThreadMaker(ThreadMaker maker) { return threadMaker.exchange(maker); }

bool StopAllWorkers(DWORD milliseconds) {
    RaiseStopFlag();
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (liveWorkers.load() > 0) {
        if (GetTickCount64() >= end) return false;
        Sleep(10);
    }
    return true;
}

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

void ReportScannedCategory(std::size_t count, std::wstring sizeText, int group, int category, int state) {
    CallScriptFunction("SetErrorNumAndSize",
                       {engine::Value::Array({static_cast<int>(count), std::move(sizeText), group, category,
                                              ErrorReportPageBit(ZoneBits().load()), state})});
}

void LogFailure(std::string_view what, std::string_view name) noexcept {
    try {
        std::string line = std::string(what).append(name).append(" failed");
        try {
            throw;
        } catch (const std::exception& error) {
            line.append(": ").append(error.what());
        } catch (...) {
        }
        LogFile::Instance().Write(line);
    } catch (...) {
    }
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

}  // namespace core
