#include "registry/registry_scan_task.h"

#include "app/settings_store.h"
#include "app/worker_tasks.h"
#include "registry/registry_scan.h"

namespace registry {

namespace {

void EmptyLists() {
    for (RegistryIssueList& list : RegistryIssueLists()) list.clear();
}

// Runs to its end whatever the stop flag says; it only clears the flag.
void RunRegistryScan() {
    EmptyLists();
    static constexpr int kProgress[kRegistryCategoryCount] = {14, 28, 42, 57, 71, 85, 100};
    auto& lists = RegistryIssueLists();
    DWORD total = 0;
    for (int category = 0; category < kRegistryCategoryCount; ++category) {
        ScanRegistryCategory(category, lists[category]);
        total += static_cast<DWORD>(lists[category].size());
        app::ReportScannedCategory(lists[category].size(), L"0", 0, category);
        app::BroadcastProgress(kProgress[category]);
    }
    app::ClearZoneBits(app::REG_SCAN_WORKING);
    app::StopFlag() = 0;
    app::WriteRegistryIssueCount(total);
}

}  // namespace

engine::Value ScanRegistry(app::BridgeArgs) { return app::StartTask(app::Task::RegistryScan, EmptyLists, RunRegistryScan); }

}  // namespace registry
