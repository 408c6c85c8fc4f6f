#include "registry/registry_scan_task.h"

#include "core/settings_store.h"
#include "core/worker_tasks.h"
#include "junk/category_policy.h"
#include "registry/registry_scan.h"

namespace registry {

namespace {

void EmptyLists() {
    for (RegistryIssueList& list : RegistryIssueLists()) list.clear();
}

// A stopped scan reports no more and stores nothing: "RegNoDelete" counts
// the issues of the last full scan. A category the policy turns off is not
// scanned: it is reported empty.
void RunRegistryScan(const core::Policy& policy) {
    EmptyLists();
    static constexpr int kProgress[kRegistryCategoryCount] = {14, 28, 42, 57, 71, 85, 100};
    auto& lists = RegistryIssueLists();
    DWORD total = 0;
    bool stopped = false;
    for (int category = 0; category < kRegistryCategoryCount && !stopped; ++category) {
        if (!junk::TurnedOff(policy, junk::Cleaner::Registry, category))
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

engine::Value ScanRegistry(core::BridgeArgs) {
    junk::StartPolicy start = junk::PolicyForStart();
    if (start.refusal) return start.refusal;
    return core::StartTask(core::Task::RegistryScan, EmptyLists,
                           [policy = std::move(start.policy)] { RunRegistryScan(policy); });
}

}  // namespace registry
