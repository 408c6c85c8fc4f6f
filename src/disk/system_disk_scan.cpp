#include "disk/system_disk_scan.h"

#include <array>

#include "core/keep_list.h"
#include "core/settings_store_values.h"
#include "core/worker_tasks.h"
#include "junk/category_policy.h"
#include "junk/folder_walk.h"

namespace disk {

namespace {

constexpr int kTemporaryFilesCategory = 0;

}  // namespace

junk::JunkFileList& SystemDiskList(int group) {
    static std::array<junk::JunkFileList, kSystemDiskGroupCount> lists;
    return lists.at(static_cast<std::size_t>(group));
}

void ResetSystemDiskLists() {
    for (int group = 0; group < kSystemDiskGroupCount; ++group) SystemDiskList(group).Clear();
}

std::vector<std::wstring> GroupFolders(int group, const junk::CategorySources& sources) {
    static constexpr const wchar_t* kCaches[] = {L"\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache",
                                                 L"\\AppData\\Local\\Mozilla\\Firefox",
                                                 L"\\AppData\\Local\\Microsoft\\Windows\\INetCache"};
    if (group == 3) return junk::PlanFor(kTemporaryFilesCategory, sources).folders;
    if (group < 0 || group > 3) return {};
    return junk::AccountFolders({sources.variable(L"USERPROFILE") + kCaches[group]}, sources);
}

void RunSystemDiskScan() {
    const junk::CategorySources sources = junk::SystemSources();
    // The file-free folders the walks find stay with this scan: the junk
    // categories' EmptyFolderLists belong to the junk scan and clean, which
    // may be running on another worker now.
    junk::JunkFileList emptyFolders;
    std::size_t count = 0;
    std::uint64_t size = 0;
    const auto kept = core::KeptItemsNow();
    for (int group = 0; group < kSystemDiskGroupCount; ++group) {
        junk::JunkFileList& list = SystemDiskList(group);
        for (const std::wstring& folder : junk::WalkRoots(GroupFolders(group, sources), sources))
            junk::ScanJunkFolder(list, emptyFolders, folder, junk::kWalkSinceBoot);
        junk::Undeletables().RemoveListed(list);
        junk::RemoveKept(list, *kept);
        count += list.Count();
        size += list.Total();
        core::CallScriptFunction("SystemDiskCleanScanData",
                                {static_cast<int>(count), core::DecimalText(static_cast<std::int64_t>(size)),
                                 group == kSystemDiskGroupCount - 1 ? 1 : 0});
    }
    core::ClearZoneBits(core::DISK_WORKING);
}

int SystemDiskPolicyRefusal() {
    const junk::StartPolicy start = junk::PolicyForStart();
    if (start.refusal) return start.refusal;
    return core::PolicyDisables(start.policy, kSystemDiskPolicyWord) ? core::kPolicyTurnsOff : 0;
}

engine::Value SetScandiskEntry(core::BridgeArgs) {
    if (const int refusal = SystemDiskPolicyRefusal()) return refusal;
    return core::StartTask(core::Task::SystemDiskScan, ResetSystemDiskLists, RunSystemDiskScan);
}

}  // namespace disk
