#pragma once
// The registry cleans in the change journal: each recorded before it
// deletes anything, in the store of the hive it cleans, and the retention of
// their backup files.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/local_database.h"

namespace registry {

// Backups are kept for 30 days, and the newest ten that hold entries
// whatever their age.
inline constexpr std::int64_t kBackupDays = 30;
inline constexpr std::size_t kNewestKept = 10;

// The rows (newest first) whose backup files have had their time at `now`.
std::vector<std::int64_t> ExpiredBackups(const std::vector<db::RegistryCleanRow>& newestFirst, std::int64_t now);

// The store that records the cleans of a category: each category's entries
// lie in one hive, HKEY_CURRENT_USER (the account's store) or a machine-wide
// one (the machine's).
db::Store CategoryStore(int category);

// Records in `store` a clean whose backup will be `backupPath` and removes
// that store's expired backup files; the row's id, or nothing when it could
// not be written.
std::optional<std::int64_t> RecordRegistryClean(db::Store store, const std::wstring& backupPath);

}  // namespace registry
