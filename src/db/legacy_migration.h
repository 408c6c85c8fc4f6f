#pragma once
// The database that earlier versions kept beside the program, copied once
// into the two stores' databases: what changed the machine (the service log
// and recommendations, registry cleans, whose backups hold both hives, the
// keep list and its loss records, the machine's startup entries) into the
// machine store's, what changed the migrating account (its Run values and
// Startup folder shortcuts, its Downloads moves) into that account's store.
// Journal rows carry no account: they are an earlier version's, which only
// an administrator may restore.
//
// The copy and the record that it was made commit together (one connection,
// both store files attached, in rollback-journal mode: SQLite commits the
// two files at once through a super-journal); the old file and its
// companions are then renamed, never deleted, to the name the record holds.
// A start that finds the record for the file lying there only completes the
// renames, so that no kill copies anything twice.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace db {

enum class RowStore { Machine, User };

// Which store an old startup row (a switch, or an entry kept while off)
// belongs to: a Run value of HKEY_CURRENT_USER or a shortcut inside the
// account's Startup folder `userStartup` the account's, anything else the
// machine's.
RowStore StartupRowStore(std::int64_t hive, std::wstring_view shortcut, std::wstring_view userStartup);

// The name the old database takes: "mydatabase.migrated-<yyyyMMdd-HHmmss>.db",
// with "-<n>" before ".db" from the second try on.
std::wstring MigratedName(const SYSTEMTIME& time, int attempt);

struct MigrationPlaces {
    std::wstring legacy;       // the old database file beside the program
    std::wstring machine;      // the machine store's database file
    std::wstring user;         // the migrating account's store's database file
    std::wstring userStartup;  // that account's Startup folder, no trailing backslash
    std::wstring account;      // that account's SID, for the record
};

struct MigrationResult {
    enum class Kind {
        Nothing,   // no old database lies there
        Migrated,  // copied now or by an earlier start, and renamed
        Failed,    // nothing renamed; what was copied is recorded
    } kind = Kind::Nothing;
    std::wstring renamed;  // Migrated: the old database's path now
    std::wstring error;    // Failed: why, in English
};

// Copies the old database into the stores' databases (making their tables
// first) and renames it. The caller holds the operation lock.
MigrationResult MigrateLegacyDatabase(const MigrationPlaces& places);

// The old databases the machine store's database `machine` records as
// migrated, by the paths they had (their folders hold the backups their
// registry cleans name); none when it records none or cannot be read.
std::vector<std::wstring> MigratedDatabases(const std::wstring& machine);

}  // namespace db
