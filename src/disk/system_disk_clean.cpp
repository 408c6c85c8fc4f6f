#include "disk/system_disk_clean.h"

#include "app/worker_tasks.h"
#include "disk/clean_amount.h"
#include "disk/system_disk_scan.h"
#include "junk/junk_clean.h"
#include "junk/junk_lists.h"

namespace disk {

std::uint64_t CleanSystemDiskGroup(int group) {
    junk::JunkFileList& list = SystemDiskList(group);
    std::uint64_t cleaned = 0;
    const junk::WalkedFolder* checked = nullptr;
    bool safe = false;
    for (const junk::JunkFileEntry& entry : list) {
        if (app::StopFlag().load()) break;
        const junk::WalkedFolder& folder = list.FolderOf(entry);
        // A folder that became a link since the scan is not deleted through.
        if (&folder != checked) {
            checked = &folder;
            safe = junk::NoLinkBelowRoot(folder);
        }
        if (safe && junk::CleanJunkFile(entry.name, folder.path))
            cleaned += entry.size;
        else
            junk::Undeletables().Add(entry.name, folder, entry.size);
    }
    list.Clear();
    return cleaned;
}

void RunSystemDiskClean(const std::vector<junk::SelectionElement>& selection) {
    app::EnableCleanPrivileges();
    std::uint64_t cleaned = 0;
    for (const junk::SelectionElement& element : selection)
        if (element.kind == kSystemDiskRows && element.category >= 0 && element.category < kSystemDiskGroupCount)
            cleaned += CleanSystemDiskGroup(element.category);
    StoreCleanAmount(cleaned);
    app::ClearZoneBits(app::DISK_WORKING);
}

engine::Value CleanSystemFile(app::BridgeArgs args) {
    if (const std::uint32_t refusal = app::TaskRefusal(app::Task::SystemDiskClean)) return static_cast<int>(refusal);
    std::optional<std::vector<junk::SelectionElement>> selection = junk::ParseSelectionArray(args[0].ToText());
    if (!selection) return -3;
    return app::StartTask(app::Task::SystemDiskClean, {},
                          [selection = std::move(*selection)] { RunSystemDiskClean(selection); });
}

}  // namespace disk
