#include "disk/system_disk_clean.h"

#include "common/listed_delete.h"
#include "core/event_trail.h"
#include "core/keep_list.h"
#include "core/worker_tasks.h"
#include "disk/clean_amount.h"
#include "disk/system_disk_scan.h"
#include "junk/junk_lists.h"

namespace disk {

common::DeleteTally CleanSystemDiskGroup(int group) {
    junk::JunkFileList& list = SystemDiskList(group);
    common::DeleteTally tally;
    std::wstring path;
    for (const junk::JunkFileEntry& entry : list) {
        if (core::StopRequested()) break;
        const junk::WalkedFolder& folder = list.FolderOf(entry);
        // Deleted only where the path still leads to the file the scan listed,
        // and only while the keep list (read again after another program's
        // change) can be read and does not keep it.
        path.assign(folder.path).append(entry.name);
        const std::shared_ptr<const common::KeptItems> kept = core::KeptItemsForDeletion();
        if (!kept) break;
        if (common::IsKept(*kept, path)) continue;
        const common::DeleteResult result = common::DeleteListedFile(path);
        tally.Add(result, entry.size);
        if (!common::IsCleaned(result)) junk::Undeletables().Add(entry.name, folder, entry.size);
    }
    list.Clear();
    return tally;
}

void RunSystemDiskClean(const std::vector<junk::SelectionElement>& selection) {
    core::EnableCleanPrivileges();
    common::DeleteTally cleaned;
    for (const junk::SelectionElement& element : selection) {
        if (core::KeepRefusalNow() != core::KeepRefusal::None) break;
        if (element.kind == kSystemDiskRows && element.category >= 0 && element.category < kSystemDiskGroupCount) {
            cleaned += CleanSystemDiskGroup(element.category);
        }
    }
    StoreCleanAmount(cleaned.freedBytes);
    core::ClearZoneBits(core::DISK_WORKING);
    const bool refused = core::KeepRefusalNow() != core::KeepRefusal::None;
    core::TellKeepListStop();
    // The page's groups go by the page's one id, as the policy names them.
    core::WriteTrail(core::TrailKind::SystemDiskClean, L"window, clean disk", cleaned.deleted, cleaned.freedBytes,
                     refused ? core::kTrailRefused
                     : cleaned.failed || core::StopRequested() ? core::kTrailSomeLeft
                                                               : core::kTrailDone);
}

engine::Value CleanSystemFile(core::BridgeArgs args) {
    if (const std::uint32_t refusal = core::TaskRefusal(core::Task::SystemDiskClean)) return static_cast<int>(refusal);
    const std::optional<std::wstring> text = junk::SelectionArgument(args[0]);
    std::optional<std::vector<junk::SelectionElement>> selection;
    if (text) selection = junk::ParseSelectionArray(*text);
    if (!selection) return -3;
    if (const int refusal = SystemDiskPolicyRefusal()) return refusal;
    return core::StartTask(core::Task::SystemDiskClean, {},
                          [selection = std::move(*selection)] { RunSystemDiskClean(selection); });
}

}  // namespace disk
