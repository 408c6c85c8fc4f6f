#include "core/store_migration.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <optional>
#include <utility>

#include "common/account_sid.h"
#include "common/listed_delete.h"
#include "common/local_drive_path.h"
#include "common/registry_value.h"
#include "common/text.h"
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

// The database in `folder` (with its trailing backslash) copied into the
// stores and renamed there.
MigrationNote MigrateDatabaseIn(const std::wstring& folder) {
    if (!EarlierDatabaseBeside(folder)) return {};
    const StoreFolder user = UserStore();
    if (!user) return {L"The earlier version's database is not moved: " + user.refusal, true};
    const StoreFolder machine = MachineStore();
    if (!machine) return {L"The earlier version's database is not moved: " + machine.refusal, true};
    OperationLock lock(LockScope::Machine);
    if (!lock.Take(kLockWaitMilliseconds))
        return {L"The earlier version's database is not moved now: " +
                    (lock.Refusal().empty() ? L"another Quillmark Orvane is at work." : lock.Refusal()),
                true};
    const db::MigrationResult result = db::MigrateLegacyDatabase({folder + kDatabase,
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

MigrationNote Joined(MigrationNote first, const MigrationNote& second) {
    if (!second.text.empty()) first.text += (first.text.empty() ? L"" : L" ") + second.text;
    first.failed = first.failed || second.failed;
    return first;
}

// The folder the package recorded: nothing, with ERROR_FILE_NOT_FOUND in
// `status`, when it recorded none. A value that is not a text is not read.
std::optional<std::wstring> RecordedReplacedFolder(LSTATUS& status) {
    HKEY raw = nullptr;
    status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistrationKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw);
    if (status != ERROR_SUCCESS) return std::nullopt;
    const common::UniqueRegKey key(raw);
    common::RegistryValue value;
    status = common::ReadRegistryValue(key.get(), kReplacedInstallValue, value);
    if (status != ERROR_SUCCESS) return std::nullopt;
    if (value.type != REG_SZ) {
        status = ERROR_INVALID_DATA;
        return std::nullopt;
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

LSTATUS ForgetReplacedFolder() {
    HKEY raw = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegistrationKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &raw);
    if (status != ERROR_SUCCESS) return status;
    const common::UniqueRegKey key(raw);
    status = RegDeleteValueW(key.get(), kReplacedInstallValue);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// The replaced install's config.ini and database moved into the stores, the
// folder held open meanwhile; the record of it removed once nothing is left
// there to move, so that a start killed on the way moves the rest next time.
MigrationNote MigrateReplacedInstall() {
    LSTATUS status = ERROR_SUCCESS;
    const std::optional<std::wstring> recorded = RecordedReplacedFolder(status);
    if (!recorded) {
        if (status == ERROR_FILE_NOT_FOUND) return {};
        return {L"The folder of the replaced 32-bit install cannot be read from the registry (error " +
                    std::to_wstring(status) + L").",
                true};
    }
    const ReplacedFolder folder = OpenReplacedFolder(*recorded);
    if (!folder.refusal.empty())
        return {L"The replaced 32-bit install's data in " + *recorded + L" is not moved: " + folder.refusal + L".",
                true};
    MigrationNote note;
    if (!folder.path.empty()) {
        const StoreFolder user = UserStore();
        note = user ? CopyEarlierConfig(folder.path, user.path)
                    : MigrationNote{L"The replaced 32-bit install's config.ini is not moved: " + user.refusal, true};
        note = Joined(note, MigrateDatabaseIn(folder.path));
    }
    if (note.failed) return note;
    status = ForgetReplacedFolder();
    if (status != ERROR_SUCCESS)
        return Joined(note, {L"The record of the replaced 32-bit install's folder cannot be removed (error " +
                                 std::to_wstring(status) + L").",
                             true});
    return note;
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
    return Joined(MigrateDatabaseIn(programFolder), MigrateReplacedInstall());
}

ReplacedFolder OpenReplacedFolder(const std::wstring& path) {
    const std::wstring folder(common::WithoutTrailingBackslashes(path));
    const auto refused = [](const wchar_t* why) { return ReplacedFolder{{}, {}, why}; };
    // Never a share or a device: opening one would reach out as the administrator.
    if (!common::IsOnLocalFixedDrive(folder + L"\\")) return refused(L"it is not a folder on a local fixed disk");
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        return refused(L"it cannot be read");
    }
    // Wine, which follows every link, shows one only in the path's attributes.
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != FILE_ATTRIBUTE_DIRECTORY)
        return refused(L"it is a link or not a folder");
    common::UniqueFile handle(CreateFileW(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return refused(L"it cannot be opened");
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle.get(), &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
            FILE_ATTRIBUTE_DIRECTORY ||
        !common::IsOpenedAt(handle.get(), folder))
        return refused(L"it is a link or not a folder");
    const std::optional<ObjectSecurity> security = ReadSecurity(handle.get());
    if (!security) return refused(L"its owner and permissions cannot be read");
    if (!InstallFolderTrusted(*security, ShownRule(InstallFolderRule())))
        return refused(
            L"an account other than SYSTEM, the administrators and TrustedInstaller owns it or may change it");
    return {std::move(handle), folder + L"\\", {}};
}

}  // namespace core
