#include "registry/registry_journal.h"

#include <algorithm>
#include <ctime>

#include "common/listed_delete.h"

namespace registry {

std::vector<std::int64_t> ExpiredBackups(const std::vector<db::RegistryCleanRow>& newestFirst, std::int64_t now) {
    std::vector<std::int64_t> expired;
    std::size_t newest = 0;
    for (const db::RegistryCleanRow& row : newestFirst) {
        // Cleans that removed nothing have nothing to undo: they never push
        // a backup that holds entries out of the newest ten.
        if (row.entries > 0 && newest < kNewestKept) {
            ++newest;
            continue;
        }
        if (now - row.stamp > kBackupDays * 24 * 60 * 60) expired.push_back(row.id);
    }
    return expired;
}

db::Store CategoryStore(int category) {
    // The MUI cache and the empty keys below Software are the account's.
    return category == 1 || category == 2 ? db::Store::User : db::Store::Machine;
}

std::optional<std::int64_t> RecordRegistryClean(db::Store store, const std::wstring& backupPath) {
    db::LocalDatabase& journal = db::Database(store);
    const std::optional<std::int64_t> id = journal.AddRegistryClean(backupPath);
    if (!id) return std::nullopt;
    std::vector<db::RegistryCleanRow> rows;
    if (journal.ReadRegistryCleans(rows)) {
        const std::vector<std::int64_t> expired = ExpiredBackups(rows, std::time(nullptr));
        // The rows stay: their backups show as gone.
        for (const db::RegistryCleanRow& row : rows)
            if (std::find(expired.begin(), expired.end(), row.id) != expired.end()) common::DeleteListedFile(row.backup);
    }
    return id;
}

}  // namespace registry
