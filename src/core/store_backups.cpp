#include "common/account_sid.h"
#include "core/store_backups.h"

#include "common/app_directory.h"
#include "common/listed_delete.h"
#include "core/store_migration.h"
#include "db/legacy_migration.h"

namespace core {

namespace {

constexpr wchar_t kBackups[] = L"Backups";
constexpr wchar_t kDatabase[] = L"mydatabase.db";

// The store's folder without its trailing backslash; empty when not open.
std::wstring StoreFolderOf(db::Store store) {
    std::wstring folder = db::Database(store).Folder();
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

}  // namespace

StoreFolder BackupsFolder(db::Store store) {
    const std::wstring parent = StoreFolderOf(store);
    if (parent.empty() || !db::Database(store).IsOpen())
        return {{}, L"The registry backup cannot be written: the program's data store is not open."};
    return EnsureStoreFolder(parent, kBackups,
                             store == db::Store::Machine ? MachineRule(false) : AccountRule(common::TokenAccountSid()));
}

bool IsInsideFolders(const std::wstring& backup, const std::vector<std::wstring>& folders) {
    const std::size_t slash = backup.rfind(L'\\');
    if (slash == std::wstring::npos || slash + 1 == backup.size()) return false;
    const std::wstring_view parent = std::wstring_view(backup).substr(0, slash);
    for (const std::wstring& folder : folders)
        if (!folder.empty() && common::SamePathText(parent, folder)) return true;
    return false;
}

common::UniqueFile OpenOwnBackup(const std::wstring& backup, db::Store store, bool legacy) {
    // Never a folder relative to the working folder: a store or program
    // folder that is not known adds none.
    std::vector<std::wstring> candidates;
    if (const std::wstring folder = StoreFolderOf(store); !folder.empty())
        candidates.push_back(folder + L"\\" + kBackups);
    // An earlier version's backups: beside the program, or beside a database
    // migrated from a replaced install's folder that is still the
    // administrators' alone (held until the backup is open).
    std::vector<ReplacedFolder> replaced;
    if (legacy) {
        if (const std::wstring program = common::GetAppDirectory().Text(); !program.empty())
            candidates.push_back(program + kBackups);
        if (const std::wstring machine = StoreFolderOf(db::Store::Machine); !machine.empty())
            for (const std::wstring& source : db::MigratedDatabases(machine + L"\\" + kDatabase))
                if (ReplacedFolder folder = OpenReplacedFolder(source.substr(0, source.rfind(L'\\') + 1));
                    !folder.path.empty()) {
                    candidates.push_back(folder.path + kBackups);
                    replaced.push_back(std::move(folder));
                }
    }
    std::vector<std::wstring> folders;
    for (const std::wstring& candidate : candidates)
        if (const std::optional<std::wstring> resolved = common::ResolvedFolder(candidate)) folders.push_back(*resolved);
    if (!IsInsideFolders(backup, folders)) return {};
    // The file opened must be the one at that path: no link to elsewhere.
    return common::OpenListedFileToRead(backup);
}

}  // namespace core
