#include "core/store_migration.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "common/account_sid.h"
#include "core/data_stores.h"
#include "core/operation_lock.h"
#include "db/legacy_migration.h"

namespace core {

namespace {

constexpr wchar_t kDatabase[] = L"mydatabase.db";
constexpr wchar_t kConfig[] = L"config.ini";
// Long enough for another start's migration, short beside a scan.
constexpr DWORD kLockWaitMilliseconds = 5000;

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring StartupFolder() {
    wchar_t* path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_DONT_VERIFY, nullptr, &path))) folder = path;
    CoTaskMemFree(path);
    return folder;
}

}  // namespace

bool EarlierDatabaseBeside(const std::wstring& programFolder) { return Exists(programFolder + kDatabase); }

MigrationNote CopyEarlierConfig(const std::wstring& programFolder, const std::wstring& userStore) {
    const std::wstring from = programFolder + kConfig;
    // The copy keeps what the account has set in its store since.
    if (!Exists(from) || CopyFileW(from.c_str(), (userStore + L"\\" + kConfig).c_str(), TRUE) ||
        GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
        return {};
    return {L"config.ini cannot be copied into " + userStore + L" (error " + std::to_wstring(GetLastError()) + L").",
            true};
}

MigrationNote MigrateEarlierDatabase(const std::wstring& programFolder) {
    if (!EarlierDatabaseBeside(programFolder)) return {};
    const StoreFolder user = UserStore();
    if (!user) return {L"The earlier version's database is not moved: " + user.refusal, true};
    const StoreFolder machine = MachineStore();
    if (!machine) return {L"The earlier version's database is not moved: " + machine.refusal, true};
    OperationLock lock(LockScope::Machine);
    if (!lock.Take(kLockWaitMilliseconds))
        return {L"The earlier version's database is not moved now: " +
                    (lock.Refusal().empty() ? L"another Quillmark Orvane is at work." : lock.Refusal()),
                true};
    const db::MigrationResult result = db::MigrateLegacyDatabase({programFolder + kDatabase,
                                                                  machine.path + L"\\" + kDatabase,
                                                                  user.path + L"\\" + kDatabase, StartupFolder(),
                                                                  common::TokenAccountSid()});
    lock.Release();
    switch (result.kind) {
        case db::MigrationResult::Kind::Nothing: return {};
        case db::MigrationResult::Kind::Migrated:
            return {L"The earlier version's database was copied into the stores and kept as " + result.renamed + L".",
                    false};
        case db::MigrationResult::Kind::Failed: break;
    }
    return {result.error, true};
}

}  // namespace core
