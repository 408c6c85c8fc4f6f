#pragma once
// The stores' folders of registry backups, and the one check of a backup
// before a restore reads it. A backup of HKEY_CURRENT_USER lies in the
// account's store, one of a machine-wide hive in the machine store's
// Backups, which Users may not read (the account's Run values and the like
// are in there). A restore reads only a file that is inside the Backups
// folder of the row's own store: a row whose path was changed to lead
// elsewhere (another account's backup, a file an unelevated program made)
// imports nothing.
#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "core/data_stores.h"
#include "db/local_database.h"

namespace core {

// The Backups folder of `store`, made or checked as a store folder; refused
// when the store's database is not open.
StoreFolder BackupsFolder(db::Store store);

// Whether `backup` (a final path) lies directly in one of `folders` (final
// paths, no trailing backslash), letter case aside.
bool IsInsideFolders(const std::wstring& backup, const std::vector<std::wstring>& folders);

// The backup file of a row of `store`, opened for reading when it is the
// plain file at that path (no link on the way) inside the store's Backups
// folder, or, for a row an earlier version wrote (`legacy`), the Backups
// folder beside the program or beside a database migrated from a replaced
// install's folder (store_migration.h: checked again as then); empty
// otherwise.
common::UniqueFile OpenOwnBackup(const std::wstring& backup, db::Store store, bool legacy);

}  // namespace core
