#include "registry/registry_journal.h"

#include <algorithm>
#include <ctime>

#include "common/listed_delete.h"

namespace registry {

std::vector<std::int64_t> ExpiredBackups(const std::vector<db::RegistryCleanRow>& newestFirst, std::int64_t now) {
    std::vector<std::int64_t> expired;
    for (std::size_t i = kNewestKept; i < newestFirst.size(); ++i)
        if (now - newestFirst[i].stamp > kBackupDays * 24 * 60 * 60) expired.push_back(newestFirst[i].id);
    return expired;
}

std::optional<std::int64_t> RecordRegistryClean(const std::wstring& backupPath) {
    const std::optional<std::int64_t> id = db::Database().AddRegistryClean(backupPath);
    if (!id) return std::nullopt;
    std::vector<db::RegistryCleanRow> rows;
    if (db::Database().ReadRegistryCleans(rows)) {
        const std::vector<std::int64_t> expired = ExpiredBackups(rows, std::time(nullptr));
        // The rows stay: their backups show as gone.
        for (const db::RegistryCleanRow& row : rows)
            if (std::find(expired.begin(), expired.end(), row.id) != expired.end()) common::DeleteListedFile(row.backup);
    }
    return id;
}

}  // namespace registry
