#include "registry/registry_repair.h"

#include "app/worker_tasks.h"
#include "common/fs_redirection.h"
#include "registry/registry_access.h"

namespace registry {

namespace {

bool DeleteIssue(const RegistryIssue& issue) {
    const HKEY root = RootKey(issue.root);
    if (issue.IsValueIssue()) {
        const common::UniqueRegKey key = OpenKeyInEitherView(root, issue.keyPath + issue.keyName, nullptr);
        return key && RegDeleteValueW(key.get(), issue.valueName.c_str()) == ERROR_SUCCESS;
    }
    if (issue.keyName.empty()) return false;
    REGSAM view = 0;
    const common::UniqueRegKey parent = OpenKeyInEitherView(root, issue.keyPath, &view);
    // A key that gained sub-keys since the scan is not deleted: the call fails.
    return parent && RegDeleteKeyExW(parent.get(), issue.keyName.c_str(), view, 0) == ERROR_SUCCESS;
}

}  // namespace

std::uint32_t RepairCategory(const RegistryIssueList& issues, RegistryBackup& backup) {
    const common::FsRedirectionOff redirectionOff;
    if (issues.empty() || !backup.Append(CaptureIssues(issues))) return 0;
    std::uint32_t removed = 0;
    for (const RegistryIssue& issue : issues) {
        if (app::StopFlag().load()) break;
        if (DeleteIssue(issue)) ++removed;
    }
    return removed;
}

}  // namespace registry
