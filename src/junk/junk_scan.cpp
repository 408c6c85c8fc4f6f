#include "junk/junk_scan.h"

#include "common/gate_point.h"
#include "core/keep_list.h"
#include "core/settings_store.h"
#include "core/settings_store_values.h"
#include "core/worker_tasks.h"
#include "junk/app_caches.h"
#include "junk/browser_hold.h"
#include "junk/category_policy.h"
#include "junk/folder_walk.h"
#include "junk/junk_lists.h"
#include "junk/recycle_bin.h"

namespace junk {

void ResetJunkLists() {
    for (int category = 0; category < kJunkCategoryCount; ++category) {
        JunkList(category).Clear();
        EmptyFolderList(category).Clear();
        StateOf(category) = CategoryState::Ready;
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
    for (const std::wstring& file : plan.files) ListSingleFile(list, file);
    if (core::StopRequested()) return false;
    const auto kept = core::KeptItemsNow();
    RemoveKept(list, *kept);
    RemoveKept(emptyFolders, *kept);
    return true;
}

bool ScanJunkCategory(int category, const CategorySources& sources) {
    JunkFileList& list = JunkList(category);
    JunkFileList& emptyFolders = EmptyFolderList(category);
    if (!CategoryPresent(category, sources)) {
        StateOf(category) = CategoryState::Absent;
        return true;
    }
    const Browser* browser = BrowserOf(category);
    StateOf(category) = browser && ProgramRuns(browser->program) ? CategoryState::Held : CategoryState::Ready;
    const CategoryPlan plan = PlanFor(category, sources);
    if (plan.walker == Walker::RecycleBin) ScanRecycleBin(list);
    if (!WalkCategoryRoots(plan, WalkRoots(plan.folders, sources), list, emptyFolders)) return false;
    Undeletables().RemoveListed(list);
    return true;
}

void RunJunkScan(const core::Policy& policy) {
    ResetJunkLists();
    const CategorySources sources = SystemSources();
    for (int category = 0; category < kJunkCategoryCount; ++category) {
        if (!TurnedOff(policy, Cleaner::Junk, category) && !ScanJunkCategory(category, sources)) break;
        const JunkFileList& list = JunkList(category);
        core::ReportScannedCategory(list.Count(), core::DecimalText(static_cast<std::int64_t>(list.Total())), 1, category,
                                    static_cast<int>(StateOf(category).load()));
        core::BroadcastProgress((category + 1) * 100 / kJunkCategoryCount);
    }
    std::uint64_t found = 0;
    for (int category = 0; category < kJunkCategoryCount; ++category) found += JunkList(category).Total();
    core::WriteWaitCleanSize(static_cast<std::int64_t>(found));
    core::ClearZoneBits(core::JUNKFILE_SCAN_WORKING);
}

engine::Value ScanJunkFile(core::BridgeArgs) {
    StartPolicy start = PolicyForStart();
    if (start.refusal) return start.refusal;
    return core::StartTask(core::Task::JunkScan, ResetJunkLists,
                           [policy = std::move(start.policy)] { RunJunkScan(policy); });
}

}  // namespace junk
