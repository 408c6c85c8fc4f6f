#include "junk/junk_scan.h"

#include "common/gate_point.h"
#include "core/keep_list.h"
#include "core/settings_store.h"
#include "core/settings_store_values.h"
#include "core/worker_tasks.h"
#include "junk/folder_walk.h"
#include "junk/junk_lists.h"
#include "junk/recycle_bin.h"

namespace junk {

void ResetJunkLists() {
    for (int category = 0; category < kJunkCategoryCount; ++category) {
        JunkList(category).Clear();
        EmptyFolderList(category).Clear();
    }
}

bool WalkCategoryRoots(const CategoryPlan& plan, const std::vector<std::wstring>& roots, JunkFileList& list,
                       JunkFileList& emptyFolders) {
    for (const std::wstring& folder : roots) {
        common::GatePoint("junk-walk");
        if (core::StopRequested()) return false;
        if (plan.walker == Walker::Extension)
            ScanFolderByExtension(list, emptyFolders, {folder, plan.extensions});
        else
            ScanJunkFolder(list, emptyFolders, folder, kWalkAll);
    }
    if (core::StopRequested()) return false;
    const auto kept = core::KeptItemsNow();
    RemoveKept(list, *kept);
    RemoveKept(emptyFolders, *kept);
    return true;
}

bool ScanJunkCategory(int category, const CategorySources& sources) {
    JunkFileList& list = JunkList(category);
    JunkFileList& emptyFolders = EmptyFolderList(category);
    const CategoryPlan plan = PlanFor(category, sources);
    if (plan.walker == Walker::RecycleBin) ScanRecycleBin(list);
    if (!WalkCategoryRoots(plan, WalkRoots(plan.folders, sources), list, emptyFolders)) return false;
    Undeletables().RemoveListed(list);
    return true;
}

void RunJunkScan() {
    ResetJunkLists();
    const CategorySources sources = SystemSources();
    for (int category = 0; category < kJunkCategoryCount; ++category) {
        if (!ScanJunkCategory(category, sources)) break;
        const JunkFileList& list = JunkList(category);
        core::ReportScannedCategory(list.Count(), core::DecimalText(static_cast<std::int64_t>(list.Total())), 1, category);
        core::BroadcastProgress((category + 1) * 100 / kJunkCategoryCount);
    }
    std::uint64_t found = 0;
    for (int category = 0; category < kJunkCategoryCount; ++category) found += JunkList(category).Total();
    core::WriteWaitCleanSize(static_cast<std::int64_t>(found));
    core::ClearZoneBits(core::JUNKFILE_SCAN_WORKING);
}

engine::Value ScanJunkFile(core::BridgeArgs) {
    return core::StartTask(core::Task::JunkScan, ResetJunkLists, RunJunkScan);
}

}  // namespace junk
