#pragma once
// Long operations run as worker threads under the busy word: each running
// task owns one bit of ZoneBits, and a task refuses to start while any bit
// of its refusal mask is set. Workers reach the document only through
// CallScriptFunction.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/script_host.h"
#include "engine/value.h"

namespace core {

// The busy word's bits. Each also names the page that started the task; the
// documents pass them in and get them back in the callbacks.
enum ZoneBit : std::uint32_t {
    HOME_SCAN_WORKING = 0x01,
    REG_SCAN_WORKING = 0x02,
    JUNKFILE_SCAN_WORKING = 0x04,
    HOME_CLEAN_WORKING = 0x08,
    REG_CLEAN_WORKING = 0x10,
    JUNKFILE_CLEAN_WORKING = 0x20,
    POPUP_WINDOWS_CLEAN_WORKING = 0x80,
    DISK_WORKING = 0x800,
    DOWNLOAD_MOVE_WORKING = 0x1000,
};

enum class Task { OneClickScan, RegistryScan, JunkScan, Clean, SystemDiskScan, SystemDiskClean, DownloadMove };

struct TaskRule {
    std::uint32_t refusalMask;  // busy-word bits that refuse the start
    std::uint32_t bit;          // 0 for the clean: its bit is the one the page passes
    // Bits of the tasks that read or empty the same lists: while a worker of
    // one of them is alive, stopped or not, the task does not start.
    std::uint32_t sharedData;
};
TaskRule RuleFor(Task task);

// The busy word, process-wide.
std::atomic<std::uint32_t>& ZoneBits();
void ClearZoneBits(std::uint32_t bits);
// Bits of workers whose threads are still alive, whatever the busy word says.
std::uint32_t LiveWorkerBits();
// Worker threads still alive, detached ones (which have no bit) included.
int LiveWorkerCount();

// StopFlag: StopWorking raises it for every task running at that moment. A
// task started later is not stopped by it, and an ending task never lowers it
// for another: each task remembers how many stops had been asked for when it
// started, and is stopped once there have been more.
void RaiseStopFlag();
// Whether the task that the calling thread runs has been asked to stop;
// false on a thread that runs no task.
bool StopRequested();
// The stop count when the calling thread's task started; empty on a thread
// that runs no task. A helper thread of a task runs in TaskScope(this).
std::optional<std::uint32_t> TaskStopsAtStart();
// Makes the calling thread run a task started now (or when the stop count
// was `stopsAtStart`), for the owner's lifetime: every worker runs inside
// one, and so does a test or benchmark that runs a worker's body on its own
// thread.
class TaskScope {
public:
    TaskScope();
    explicit TaskScope(std::uint32_t stopsAtStart);
    ~TaskScope();
    TaskScope(const TaskScope&) = delete;
    TaskScope& operator=(const TaskScope&) = delete;

private:
    std::optional<std::uint32_t> previous_;
};

// 0 when a task with `rule` may start; otherwise the non-zero answer for the
// page: the busy word when it refuses, else the busy word and the live bits
// when a worker sharing the task's data is still alive (StopWorking clears
// the busy word at once, but a stopped worker may still be finishing its
// current unit).
std::uint32_t StartRefusal(std::uint32_t zoneBits, std::uint32_t liveBits, const TaskRule& rule);
// The start refusal of `task` now; for a start that checks its arguments
// between the refusal test and the start.
std::uint32_t TaskRefusal(Task task);

// The refusal of a start while the command line holds the operation lock.
inline constexpr std::uint32_t kHeldByCommandLine = 0x4000;

// Whether the task deletes what the lists hold: it needs the keep list.
bool TaskDeletes(Task task);
// The refusals of a task that deletes, for the keep list: it cannot be read;
// it was lost with a damaged database and the user has not yet confirmed it.
inline constexpr int kKeepListUnreadable = -4;
inline constexpr int kKeepListLost = -5;
// The refusals of the organisation's policy: it cannot be read (nothing is
// scanned or cleaned); it turns off a category the start names.
inline constexpr int kPolicyUnreadable = -6;
inline constexpr int kPolicyTurnsOff = -7;
// The page's answer for the keep list's state now: 0, or one of the two.
int KeepListAnswer();
// After a deletion's worker stopped for the keep list (it became unreadable
// meanwhile): tells the main page why (ShowKeepRefusal). False, and nothing
// told, when it did not stop for that.
bool TellKeepListStop();

// The answer of a start whose worker thread could not be made.
inline constexpr int kThreadNotStarted = -1;

// The start rule: refusal test, the keep list read afresh (a task that
// deletes is refused without it), prepare() (the task's shared data, e.g.
// emptying result lists), the bit, then the thread running work(). Answers 0
// when started, the refusal, or kThreadNotStarted (the bit cleared again).
// `bit` is the clean's page bit.
int StartTask(Task task, const std::function<void()>& prepare, std::function<void()> work, std::uint32_t bit = 0);
// A worker that is never refused and owns no bit (size calculation, update
// check). False when its thread could not be made.
bool StartDetachedWorker(std::function<void()> work);

// How worker threads are made: _beginthreadex unless replaced (a test shows
// a start that fails). Answers the previous maker.
using ThreadMaker = HANDLE (*)(unsigned(__stdcall* body)(void*), void* argument);
ThreadMaker ReplaceThreadMaker(ThreadMaker maker);

// At the program's end: raises the stop flag and waits up to `milliseconds`
// for every worker thread (detached ones too) to end. False when some are
// still running; the process must then end without running static
// destructors under them.
bool StopAllWorkers(DWORD milliseconds);

// The main window's document, published once it is shown; empty before.
void PublishMainWindow(engine::ScriptHost* host);
engine::ScriptHost* MainWindow();

// Runs a global function of the main document on the UI thread and waits
// until it has returned. False when it could not be delivered.
bool CallScriptFunction(std::string_view name, std::vector<engine::Value> args);

// SetScanProcess(percent, bit) to every running page, in the fixed order.
void BroadcastProgress(int percent);
// The page that a SetErrorNumAndSize report belongs to: 1, 4, 2 or 0.
int ErrorReportPageBit(std::uint32_t zoneBits);
// SetErrorNumAndSize([count, size text, group, category, page, state]) for
// one scanned category (group 0 registry, 1 junk files; a junk category's
// state as junk::CategoryState numbers it, 0 when ready).
void ReportScannedCategory(std::size_t count, std::wstring sizeText, int group, int category, int state = 0);

// Logs "<what><name> failed", with the text of the exception being handled
// (call it from a catch block). Never throws.
void LogFailure(std::string_view what, std::string_view name = {}) noexcept;

// Enables SeDebugPrivilege, SeBackupPrivilege and SeRestorePrivilege; 1 when
// all three were granted.
int EnableCleanPrivileges();

}  // namespace core
