#pragma once
// The registry cleans in the change journal: each recorded before it
// deletes anything, and the retention of their backup files.
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

// Records a clean whose backup will be `backupPath` and removes expired
// backup files; the row's id, or nothing when it could not be written.
std::optional<std::int64_t> RecordRegistryClean(const std::wstring& backupPath);

}  // namespace registry
