#pragma once
// Long operations run as worker threads under the busy word: each running
// task owns one bit of ZoneBits, and a task refuses to start while any bit
// of its refusal mask is set. Workers reach the document only through
// CallScriptFunction.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/script_host.h"
#include "engine/value.h"

namespace app {

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
    std::uint32_t refusalMask;
    std::uint32_t bit;  // 0 for the clean: its bit is the one the page passes
    bool resetsStopFlag;
};
TaskRule RuleFor(Task task);

// The busy word and the stop request, process-wide.
std::atomic<std::uint32_t>& ZoneBits();
std::atomic<int>& StopFlag();
void ClearZoneBits(std::uint32_t bits);
// Bits of workers whose threads are still alive, whatever the busy word says.
std::uint32_t LiveWorkerBits();

// 0 when a task with `refusalMask` may start; otherwise the non-zero answer
// for the page. A task also waits for a stopped worker that shares its data:
// StopWorking clears the busy word at once, but that worker may still be
// finishing its current unit, so its live bit refuses the start until it ends.
std::uint32_t StartRefusal(std::uint32_t zoneBits, std::uint32_t liveBits, std::uint32_t refusalMask);
// The start refusal of `task` now; for a start that checks its arguments
// between the refusal test and the start.
std::uint32_t TaskRefusal(Task task);

// The start rule: refusal test, stop-flag reset, prepare() (the task's shared
// data, e.g. emptying result lists), the bit, then the thread running work().
// Answers 0 when started, else the refusal. `bit` is the clean's page bit.
int StartTask(Task task, const std::function<void()>& prepare, std::function<void()> work, std::uint32_t bit = 0);
// A worker that is never refused and owns no bit (size calculation, update check).
void StartDetachedWorker(std::function<void()> work);

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
// SetErrorNumAndSize([count, size text, group, category, page]) for one
// scanned category (group 0 registry, 1 junk files).
void ReportScannedCategory(std::size_t count, std::wstring sizeText, int group, int category);

// Enables SeDebugPrivilege, SeBackupPrivilege and SeRestorePrivilege; 1 when
// all three were granted.
int EnableCleanPrivileges();

}  // namespace app
