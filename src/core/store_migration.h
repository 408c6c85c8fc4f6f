#pragma once
// What earlier versions kept beside the program, moved into the data stores
// by the first start of this version that may: the window, or an orvane run
// as an administrator. The database beside the program is copied into the
// stores under the operation lock and renamed (db/legacy_migration.h);
// config.ini is copied into the account's store when that has none. A
// standard user's orvane reads nothing beside the program and moves nothing.
#include <string>

namespace core {

// What the start did: nothing to say (empty), or a line for the log or
// standard error.
struct MigrationNote {
    std::wstring text;
    bool failed = false;
};

// config.ini beside the program (`programFolder`, with its trailing
// backslash) copied into the account's store, `userStore`, when that has none.
MigrationNote CopyEarlierConfig(const std::wstring& programFolder, const std::wstring& userStore);

// The database beside the program copied into the stores and renamed,
// under the machine's operation lock.
MigrationNote MigrateEarlierDatabase(const std::wstring& programFolder);

// Whether an earlier version's database lies in `programFolder`.
bool EarlierDatabaseBeside(const std::wstring& programFolder);

}  // namespace core
