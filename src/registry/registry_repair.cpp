#include "registry/registry_repair.h"

#include "common/crash_point.h"
#include "common/fs_redirection.h"
#include "core/keep_list.h"
#include "core/worker_tasks.h"
#include "registry/registry_access.h"

namespace registry {

namespace {

// Deletes the entry only when it still is exactly what the backup holds.
bool DeleteCaptured(const RegistryIssue& issue, const CapturedIssue& captured) {
    const HKEY root = RootKey(issue.root);
    const REGSAM access = KEY_ALL_ACCESS | captured.view;
    if (issue.IsValueIssue()) {
        const common::UniqueRegKey key = OpenKey(root, issue.keyPath + issue.keyName, access);
        if (!key || ReadValue(key.get(), issue.valueName) != captured.key.values.front()) return false;
        return RegDeleteValueW(key.get(), issue.valueName.c_str()) == ERROR_SUCCESS;
    }
    const common::UniqueRegKey parent = OpenKey(root, issue.keyPath, access);
    if (!parent) return false;
    {
        const common::UniqueRegKey key = OpenKey(parent.get(), issue.keyName, KEY_READ);
        const std::optional<std::vector<BackupValue>> values = key ? ReadAllValues(key.get()) : std::nullopt;
        if (!values || !SameValues(*values, captured.key.values)) return false;
    }
    // A key that gained sub-keys meanwhile is not deleted: the call fails.
    return RegDeleteKeyExW(parent.get(), issue.keyName.c_str(), captured.view, 0) == ERROR_SUCCESS;
}

}  // namespace

std::optional<RepairCount> RepairCategory(const RegistryIssueList& issues, RegistryBackup& backup) {
    const common::FsRedirectionOff redirectionOff;
    // What was kept since the scan listed it is neither saved nor deleted.
    const std::shared_ptr<const common::KeptItems> keptBefore = core::KeptItemsForDeletion();
    if (!keptBefore) return std::nullopt;
    RegistryIssueList wanted = issues;
    RemoveKept(wanted, *keptBefore);
    const auto wantedCount = static_cast<std::uint32_t>(wanted.size());
    const std::vector<CapturedIssue> captured = CaptureIssues(wanted);
    if (captured.empty()) return RepairCount{0, wantedCount};
    if (!backup.Append(captured)) return std::nullopt;
    common::CrashPoint("registry.repair.backup");
    std::uint32_t removed = 0;
    for (const CapturedIssue& entry : captured) {
        if (core::StopRequested()) break;
        // Kept meanwhile (by another program): saved, but left in place.
        const std::shared_ptr<const common::KeptItems> kept = core::KeptItemsForDeletion();
        if (!kept) break;
        if (common::IsKept(*kept, KeepTextOf(wanted[entry.index]))) continue;
        if (DeleteCaptured(wanted[entry.index], entry)) ++removed;
        common::CrashPoint("registry.repair.delete");
    }
    return RepairCount{removed, wantedCount - removed};
}

}  // namespace registry
