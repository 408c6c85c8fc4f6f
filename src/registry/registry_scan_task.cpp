#include "registry/registry_scan_task.h"

#include "core/settings_store.h"
#include "core/worker_tasks.h"
#include "registry/registry_scan.h"

namespace registry {

namespace {

void EmptyLists() {
    for (RegistryIssueList& list : RegistryIssueLists()) list.clear();
}

// A stopped scan reports no more and stores nothing: "RegNoDelete" counts
// the issues of the last full scan.
void RunRegistryScan() {
    EmptyLists();
    static constexpr int kProgress[kRegistryCategoryCount] = {14, 28, 42, 57, 71, 85, 100};
    auto& lists = RegistryIssueLists();
    DWORD total = 0;
    bool stopped = false;
    for (int category = 0; category < kRegistryCategoryCount && !stopped; ++category) {
        ScanRegistryCategory(category, lists[category]);
        stopped = core::StopRequested();
        if (stopped) break;
        total += static_cast<DWORD>(lists[category].size());
        core::ReportScannedCategory(lists[category].size(), L"0", 0, category);
        core::BroadcastProgress(kProgress[category]);
    }
    core::ClearZoneBits(core::REG_SCAN_WORKING);
    if (!stopped) core::WriteRegistryIssueCount(total);
}

}  // namespace

engine::Value ScanRegistry(core::BridgeArgs) { return core::StartTask(core::Task::RegistryScan, EmptyLists, RunRegistryScan); }

}  // namespace registry
