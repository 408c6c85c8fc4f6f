#include "suite/undo_changes.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <ctime>
#include <optional>

#include "common/ansi_text.h"
#include "common/listed_delete.h"
#include "common/windows_version.h"
#include "core/settings_store_values.h"
#include "core/store_backups.h"
#include "db/local_database.h"
#include "db/row_access.h"
#include "disk/download_folders.h"
#include "engine/shell_launch.h"
#include "registry/registry_restore.h"
#include "services/service_change.h"
#include "services/start_type.h"
#include "startup/startup_journal.h"

namespace suite {

namespace {

constexpr std::string_view kRegistry = "registry-";
constexpr std::string_view kService = "service-";
constexpr std::string_view kStartup = "startup-";
constexpr std::string_view kDownloads = "downloads-";

std::wstring LocalTime(std::int64_t stamp) {
    const std::time_t time = static_cast<std::time_t>(stamp);
    std::tm local{};
    wchar_t text[32] = {};
    if (localtime_s(&local, &time) == 0) std::wcsftime(text, 32, L"%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// A row named by a restore: its store and its id there.
struct RowName {
    db::Store store;
    std::int64_t id;
};

std::string IdOf(std::string_view prefix, db::Store store, std::int64_t id) {
    return std::string(prefix) + (store == db::Store::User ? "u" : "") + std::to_string(id);
}

std::optional<RowName> IdAfter(std::string_view id, std::string_view prefix) {
    if (!id.starts_with(prefix)) return std::nullopt;
    id.remove_prefix(prefix.size());
    const db::Store store = id.starts_with('u') ? db::Store::User : db::Store::Machine;
    if (store == db::Store::User) id.remove_prefix(1);
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), number);
    if (error != std::errc() || end != id.data() + id.size() || number <= 0) return std::nullopt;
    return RowName{store, number};
}

// The journal row `name` of those `read` answers; nothing when it is not there.
template <typename Row>
std::optional<Row> JournalRow(bool (db::LocalDatabase::*read)(std::vector<Row>&) const, RowName name) {
    std::vector<Row> rows;
    (db::Database(name.store).*read)(rows);
    for (Row& row : rows)
        if (row.id == name.id) return std::move(row);
    return std::nullopt;
}

RestoreOutcome Answer(RestoreStatus status, std::size_t restored = 0, std::vector<std::wstring> failed = {}) {
    RestoreOutcome outcome;
    outcome.status = status;
    outcome.restored = restored;
    outcome.failed = std::move(failed);
    return outcome;
}

// The answer for a row that cannot be restored: not there, restored once,
// or not this process's to restore.
template <typename Row>
std::optional<RestoreOutcome> Refusal(const std::optional<Row>& row, db::Store store) {
    if (!row) return RestoreOutcome{};
    if (row->restored) return Answer(RestoreStatus::AlreadyRestored);
    switch (db::AccessToRow(store, row->account, db::Database(store).Account(), engine::ProcessIsElevated())) {
        case db::RowAccess::Permitted: return std::nullopt;
        case db::RowAccess::OtherAccount: return Answer(RestoreStatus::OtherAccount);
        case db::RowAccess::NotPermitted: break;
    }
    return Answer(RestoreStatus::NotPermitted);
}

RestoreOutcome Reported(RestoreStatus status, registry::RestoreReport&& report) {
    RestoreOutcome outcome = Answer(status, report.restored, std::move(report.failed));
    outcome.existing = std::move(report.existing);
    return outcome;
}

// A restore that gave back all it could is marked by `mark`: what exists
// again counts as back, since a retry would find it the same. One that
// failed somewhere stays restorable, and a retry is safe: a restore never
// overwrites, so what came back the first time is then found there.
template <typename Mark>
RestoreOutcome Settled(registry::RestoreReport&& report, Mark mark) {
    const bool marked = report.failed.empty() && mark();
    return Reported(marked ? RestoreStatus::Restored : RestoreStatus::Failed, std::move(report));
}

RestoreOutcome RestoreRegistryClean(RowName name) {
    const std::optional<db::RegistryCleanRow> row = JournalRow(&db::LocalDatabase::ReadRegistryCleans, name);
    if (std::optional<RestoreOutcome> refusal = Refusal(row, name.store)) return *refusal;
    if (GetFileAttributesW(row->backup.c_str()) == INVALID_FILE_ATTRIBUTES) return Answer(RestoreStatus::BackupGone);
    // Read only from the store's own Backups folder (an earlier version's
    // row also from the one beside the program), through the handle checked.
    const common::UniqueFile file = core::OpenOwnBackup(row->backup, name.store, !row->account);
    if (!file) return Answer(RestoreStatus::BackupRefused);
    const std::optional<std::vector<registry::BackupKey>> keys = registry::ReadBackupFrom(file.get());
    if (!keys) return Answer(RestoreStatus::BackupGone);
    return Settled(registry::RestoreKeys(*keys),
                   [name] { return db::Database(name.store).MarkRegistryCleanRestored(name.id); });
}

RestoreOutcome RestoreServiceChange(RowName name) {
    const std::optional<db::ServiceOperationRow> record = JournalRow(&db::LocalDatabase::ReadServiceOperations, name);
    if (std::optional<RestoreOutcome> refusal = Refusal(record, name.store)) return *refusal;
    const std::wstring serviceName = common::FromAnsi(record->servrName);
    const services::ServiceRestore restore = services::RestoreLoggedChange(*record);
    switch (restore.outcome) {
    case services::Restore::Restored:
        return Answer(RestoreStatus::Restored, 1);
    case services::Restore::ChangedSince: {
        // Kept as the user set it, like a setting or an entry there again.
        RestoreOutcome outcome = Answer(RestoreStatus::Restored);
        outcome.existing.push_back(serviceName + L" " + std::to_wstring(restore.startType));
        return outcome;
    }
    case services::Restore::AlreadyRestored:
        return Answer(RestoreStatus::AlreadyRestored);
    case services::Restore::Failed:
        break;
    }
    return Answer(RestoreStatus::Failed, 0, {serviceName});
}

// A startup entry as the journal names it: its description, else its value
// name or shortcut.
std::wstring EntryName(const startup::StartupItem& item) {
    if (!item.fileDescription.empty()) return item.fileDescription;
    return item.uFilePathFlag != 0 ? item.strName : item.iconPath;
}

RestoreOutcome RestoreStartupSwitch(RowName name) {
    const std::optional<db::StartupSwitchRow> row = JournalRow(&db::LocalDatabase::ReadStartupSwitches, name);
    if (std::optional<RestoreOutcome> refusal = Refusal(row, name.store)) return *refusal;
    switch (startup::SwitchBackRecorded(*row, common::GetWindowsGeneration())) {
    case startup::SwitchBack::Gone:
        return {};  // the entry is no longer there
    case startup::SwitchBack::Failed:
        return Answer(RestoreStatus::Failed, 0, {EntryName(row->item)});
    case startup::SwitchBack::Done:
        break;
    }
    return Answer(db::Database(name.store).MarkStartupSwitchRestored(name.id) ? RestoreStatus::Restored
                                                                              : RestoreStatus::Failed,
                  1);
}

RestoreOutcome RestoreDownloadMove(RowName name) {
    const std::optional<db::DownloadMoveRow> row = JournalRow(&db::LocalDatabase::ReadDownloadMoves, name);
    if (std::optional<RestoreOutcome> refusal = Refusal(row, name.store)) return *refusal;
    // A setting changed since is the user's and counts as back.
    return Settled(disk::RestoreDownloadFolders(*row),
                   [name] { return db::Database(name.store).MarkDownloadMoveRestored(name.id); });
}

// The folder a move's shell setting named before, as stored.
std::wstring FolderBefore(const db::DownloadMoveRow& row) {
    for (const db::DownloadSettingBefore& setting : row.settings) {
        if (setting.value == disk::kShellDownloadValue && setting.previous)
            return core::TerminatedRegistryText(setting.previous->type, setting.previous->data).value_or(L"");
    }
    return {};
}

void AppendChanges(db::Store store, std::vector<Change>& changes) {
    const db::LocalDatabase& database = db::Database(store);
    std::vector<db::RegistryCleanRow> cleans;
    database.ReadRegistryCleans(cleans);
    for (const db::RegistryCleanRow& row : cleans) {
        const bool gone = GetFileAttributesW(row.backup.c_str()) == INVALID_FILE_ATTRIBUTES;
        // Nothing was removed: nothing to undo. A clean cut off before it
        // counted its entries still has its backup, which holds every entry
        // it may have removed: it stays listed.
        if (row.entries == 0 && gone) continue;
        changes.push_back({IdOf(kRegistry, store, row.id), "registry", LocalTime(row.stamp), row.backup, {},
                           row.entries, row.restored, gone});
    }
    std::vector<db::ServiceOperationRow> records;
    if (store == db::Store::Machine) database.ReadServiceOperations(records);
    // Oldest first as read: reversed, so that changes made within one second
    // still list newest first.
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        const std::wstring name = common::FromAnsi(record->servrName);
        const std::wstring before = std::to_wstring(record->oldStatus);
        const std::wstring after = std::to_wstring(record->newStatus);
        changes.push_back({IdOf(kService, store, record->id), "service", ServiceLogTime(record->data, record->time),
                           name + L" " + before + L" -> " + after, {services::ServiceDisplayName(name), before, after},
                           1, record->restored, false});
    }
    std::vector<db::StartupSwitchRow> switches;
    database.ReadStartupSwitches(switches);
    for (const db::StartupSwitchRow& row : switches)
        changes.push_back({IdOf(kStartup, store, row.id), row.item.bStatus != 0 ? "startup-off" : "startup-on",
                           LocalTime(row.stamp), EntryName(row.item), {EntryName(row.item)}, 1, row.restored, false});
    std::vector<db::DownloadMoveRow> moves;
    database.ReadDownloadMoves(moves);
    for (const db::DownloadMoveRow& row : moves)
        changes.push_back({IdOf(kDownloads, store, row.id), "downloads", LocalTime(row.stamp),
                           FolderBefore(row) + L" -> " + row.target, {FolderBefore(row), row.target},
                           static_cast<std::int64_t>(row.settings.size()), row.restored, false});
}

}  // namespace

std::wstring ServiceLogTime(const std::string& date, const std::string& time) {
    // DD/MM/YYYY
    if (date.size() != 10 || date[2] != '/' || date[5] != '/') return common::FromAnsi(date + " " + time);
    return common::FromAnsi(date.substr(6, 4) + "-" + date.substr(3, 2) + "-" + date.substr(0, 2) + " " + time);
}

std::vector<Change> ListChanges() {
    std::vector<Change> changes;
    for (const db::Store store : db::kStores) AppendChanges(store, changes);
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.when > b.when; });
    return changes;
}

RestoreOutcome RestoreChange(std::string_view id) {
    if (const std::optional<RowName> name = IdAfter(id, kRegistry)) return RestoreRegistryClean(*name);
    if (const std::optional<RowName> name = IdAfter(id, kService)) return RestoreServiceChange(*name);
    if (const std::optional<RowName> name = IdAfter(id, kStartup)) return RestoreStartupSwitch(*name);
    if (const std::optional<RowName> name = IdAfter(id, kDownloads)) return RestoreDownloadMove(*name);
    return {};
}

}  // namespace suite
