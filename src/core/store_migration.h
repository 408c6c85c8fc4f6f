#pragma once
// What earlier versions kept beside the program, moved into the data stores
// by the first start of this version that may: the window, or an orvane run
// as an administrator. The database beside the program is copied into the
// stores under the operation lock and renamed (db/legacy_migration.h);
// config.ini is copied into the account's store when that has none. A
// standard user's orvane reads nothing beside the program and moves nothing.
//
// The same is done, once, for the folder a replaced 32-bit install lies in:
// the 64-bit package, when it removes an installed 32-bit one, records that
// product's folder as the value LegacyDir of HKLM\SOFTWARE\Quillmark\Orvane
// (the 64-bit registry). That folder is read only when it is a plain local
// folder, no link, that only SYSTEM, the administrators and TrustedInstaller
// may change; the value is removed once nothing is left there to move.
#include <windows.h>

#include <string>

#include "common/handles.h"

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
// under the machine's operation lock; then the replaced 32-bit install's
// database and config.ini, when the package recorded one.
MigrationNote MigrateEarlierDatabase(const std::wstring& programFolder);

// Whether an earlier version's database lies in `programFolder`.
bool EarlierDatabaseBeside(const std::wstring& programFolder);

// Where the 64-bit package records a replaced 32-bit install's folder.
inline constexpr wchar_t kRegistrationKey[] = L"SOFTWARE\\Quillmark\\Orvane";
inline constexpr wchar_t kReplacedInstallValue[] = L"LegacyDir";

// The folder a replaced install lies in, opened for reading what is there.
struct ReplacedFolder {
    common::UniqueFile handle;  // held without sharing deletion: it cannot be renamed or replaced meanwhile
    std::wstring path;          // with its trailing backslash; empty when refused or not there
    std::wstring refusal;       // why it is not read; empty with no path: it is not there
};

// Opens the folder `path` (as recorded, with or without a trailing
// backslash) when it is a plain folder on a fixed local drive, at its path
// (no link on the way), that nobody but SYSTEM, the administrators and
// TrustedInstaller may change.
ReplacedFolder OpenReplacedFolder(const std::wstring& path);

}  // namespace core
