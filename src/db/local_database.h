#pragma once
// LocalDatabase: one SQLite connection, to "mydatabase.db" in a store's
// folder; the process has two, the same schema in each: the machine store's
// (seeded with service recommendations from "newupdate.db" beside the
// program when the program starts) and the running account's. Every journal
// row names the account whose hive or profile the change touched, or that
// made a machine-wide change: the account the database was opened for.
// Used from the UI thread
// and from the workers that record their changes in the journal: each call
// holds the connection alone, so that a new row's id, a count of changed
// rows or a transaction is that call's and no other thread's. A locked
// database is waited for a while; one that cannot be read is set aside
// (kept, never deleted) and replaced by a fresh one holding the user's rows
// that could still be read from it; every write answers whether it was made.
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/registry_value.h"
#include "db/database_recovery.h"
#include "db/startup_rows.h"

struct sqlite3;

namespace db {

struct ServiceRecommendationRow {
    std::int32_t id = 0;
    std::wstring servrName;
    std::int32_t suguestStatus = 0;  // 0 maintain, 1 must open, 2 suggest opening, 3 suggest disabling
    std::int32_t forbitRate = 0;     // disable rate in percent; 0 shows no figure
    std::int32_t startTime = 0;
    std::int32_t categoty = 0;
    bool operator==(const ServiceRecommendationRow&) const = default;
};

// Name, date and time stay in the 8-bit form they are stored in.
struct ServiceOperationRow {
    std::int32_t id = 0;
    std::string servrName;
    std::int32_t oldStatus = 0;
    std::int32_t newStatus = 0;
    std::string data;  // DD/MM/YYYY
    std::string time;  // hh:mm:ss
    bool restored = false;  // given back, or settled as the user changed it since
    std::optional<std::wstring> account{};  // nothing: written by an earlier version
    bool operator==(const ServiceOperationRow&) const = default;
};

struct OperationTimeTexts {
    std::string date;
    std::string time;
    bool operator==(const OperationTimeTexts&) const = default;
};
// The date and time texts of an operation log row for a local calendar time;
// null (time unknown) gives 00/00/0000 and -1:-1:-1.
OperationTimeTexts FormatOperationTime(const std::tm* local);

// One registry clean in the change journal: its backup file and how many
// entries it removed, for the user to restore.
struct RegistryCleanRow {
    std::int64_t id = 0;
    std::int64_t stamp = 0;   // when, in seconds since 1970 (UTC)
    std::wstring backup;      // the backup file's path
    std::int64_t entries = 0;
    bool restored = false;
    std::optional<std::wstring> account{};  // the SID; nothing: written by an earlier version
    bool operator==(const RegistryCleanRow&) const = default;
};

// One startup switch in the change journal: the entry as it was listed and
// the state the switch gave it (`item.bStatus`, 0 on). Its identity, which
// finds it again, is the Run value's hive, key and name, or the shortcut's
// path.
struct StartupSwitchRow {
    std::int64_t id = 0;
    std::int64_t stamp = 0;  // when, in seconds since 1970 (UTC)
    StartupItem item;
    bool restored = false;
    std::optional<std::wstring> account{};
    bool operator==(const StartupSwitchRow&) const = default;
};

// A Downloads setting as a move found it before pointing it at the target.
struct DownloadSettingBefore {
    std::wstring key;    // below HKEY_CURRENT_USER
    std::wstring value;
    std::optional<common::RegistryValue> previous;  // nothing: the value did not exist
    bool operator==(const DownloadSettingBefore&) const = default;
};

// One Downloads move in the change journal: the settings it rewrote.
struct DownloadMoveRow {
    std::int64_t id = 0;
    std::int64_t stamp = 0;
    std::wstring target;
    std::vector<DownloadSettingBefore> settings;
    bool restored = false;
    std::optional<std::wstring> account{};
    bool operator==(const DownloadMoveRow&) const = default;
};

// Something a Downloads move under way has made: a folder, or a copy of
// `source` as it was then (size, last write time) that is the file
// `volume`/`index`. Recorded before the copy takes its real name.
struct MoveMadeRow {
    std::wstring path;
    std::wstring source;  // empty for a folder
    std::int64_t size = 0;
    std::int64_t written = 0;  // FILETIME as one number
    std::int64_t volume = 0;
    std::int64_t index = 0;
    bool operator==(const MoveMadeRow&) const = default;
};

// A Downloads move from before its first write until its end, so that the
// next start can take back or finish one that was cut short: whose move it
// is (the user's SID), its target, the names its part files start with
// there, the journal row of the settings once they are being written, and
// what it made.
struct MoveUnderwayRow {
    std::int64_t id = 0;
    std::wstring user;
    std::wstring target;
    std::wstring parts;
    std::optional<std::int64_t> settings;
    std::vector<MoveMadeRow> made;
    bool operator==(const MoveUnderwayRow&) const = default;
};

// One item of the keep list.
struct KeepItemRow {
    std::int64_t id = 0;
    std::wstring text;
    bool operator==(const KeepItemRow&) const = default;
};

// The keep list was lost with a damaged database: its rows could not all be
// read from the file set aside. Until the user confirms that he has seen it,
// nothing may be deleted.
struct KeepListLoss {
    std::int64_t stamp = 0;  // when, in seconds since 1970 (UTC)
    std::wstring aside;      // the damaged file
    std::int64_t recovered = 0;  // rows that could be read and were copied
    bool operator==(const KeepListLoss&) const = default;
};

// The keep list as one read finds it, with the database's data version (it
// changes when another connection commits) and its file's change counter
// (raised by every commit; nothing where it is not kept) at that read.
struct KeepListRead {
    std::vector<KeepItemRow> rows;  // oldest first
    std::optional<KeepListLoss> loss;
    std::int64_t dataVersion = 0;
    std::optional<std::uint32_t> changeCounter;
};

// What an open finds in the working file.
enum class DatabaseState {
    Usable,
    Unreadable,  // not a database, or damaged: to be set aside
    Unavailable, // locked, or failing otherwise: left as it is
};
// The state answered by the integrity check: its result code and first row.
DatabaseState ClassifyCheck(int resultCode, std::string_view firstRow);

// SQLite's companions of a database file, which belong to it when it is
// set aside or renamed.
inline constexpr const wchar_t* kDatabaseCompanions[] = {L"-journal", L"-wal", L"-shm"};

// Makes the tables a database of this version has, and the columns added
// since an earlier version made them; false when one could not be made.
bool MakeTables(sqlite3* connection);

// The name a set-aside working file takes: "mydatabase.unreadable-<stamp>.db".
std::wstring SetAsideName(const std::wstring& folder, const std::wstring& stamp);

// The two stores' databases: what belongs to the machine (the service log
// and data, machine-wide startup entries, HKLM cleans, the machine keep
// list), and what belongs to the running account (HKCU cleans, its own
// startup entries, Downloads moves, its keep list).
enum class Store { Machine, User };
inline constexpr Store kStores[] = {Store::Machine, Store::User};

class LocalDatabase {
public:
    static constexpr int kBusyMilliseconds = 3000;

    LocalDatabase() = default;
    ~LocalDatabase();
    LocalDatabase(const LocalDatabase&) = delete;
    LocalDatabase& operator=(const LocalDatabase&) = delete;

    // The start sequence in `folder` (with its trailing backslash): opens
    // "mydatabase.db", replacing an unreadable one first, creates its tables
    // and imports the rows of the seed file, deleting the seed once all of
    // them are in. `account` is the SID its new journal rows name (empty:
    // none, NULL); `seed` the seed file (empty: none). Closes an earlier connection first. An unreadable file is
    // copied aside, a fresh database with the rows recovered from it (and the
    // keep list's loss, when it did not come back whole) is made under
    // another name, and only then takes the working file's place in one
    // rename: whenever the program ends, the next start finds either the
    // damaged file or the complete fresh one.
    void Open(const std::wstring& folder, const std::wstring& account = {}, const std::wstring& seed = {});
    // Opens a store this process may read but never change: nothing is
    // created, replaced or imported, and every write fails. Where no
    // database was ever made, an empty one in memory stands for it.
    void OpenReadOnly(const std::wstring& folder, const std::wstring& account);
    void Close();
    bool IsOpen() const { return connection_ != nullptr; }
    // The folder it was opened in (with its trailing backslash), and the
    // account its journal rows name.
    std::wstring Folder() const;
    std::wstring Account() const;
    // What the last Open recovered from a file it set aside, once: the
    // second call answers nothing.
    std::optional<DatabaseRecovery> TakeRecovery();

    // Each answers whether its statement ran.
    bool ReadServiceRecommendations(std::vector<ServiceRecommendationRow>& rows) const;
    // The new record's id; nothing when it was not written.
    std::optional<std::int64_t> AddServiceOperation(std::wstring_view serviceName, int oldStatus, int newStatus);
    bool ReadServiceOperations(std::vector<ServiceOperationRow>& rows) const;  // oldest first
    // Takes away the record of a change that was not made.
    bool DeleteServiceOperation(std::int64_t id);
    // False when the record is not there or was restored already.
    bool MarkServiceOperationRestored(std::int64_t id);
    // Shortcuts that earlier versions switched off by deleting them.
    bool ReadDisabledStartupItems(std::vector<StartupItem>& items) const;
    bool RemoveDisabledStartupItem(std::int64_t rowId);
    // Entries kept whole while they are switched off. Adding answers the
    // new row's id; nothing when it was not stored (also for a text that is
    // not well-formed UTF-16 and so could not come back exactly).
    std::optional<std::int64_t> AddKeptStartupEntry(const KeptEntry& entry);
    bool ReadKeptStartupEntries(std::vector<KeptEntry>& entries) const;
    bool RemoveKeptStartupEntry(std::int64_t id);
    // The change journal's registry cleans. A clean is recorded before it
    // deletes anything (with no entries yet), then counts what it removed.
    std::optional<std::int64_t> AddRegistryClean(const std::wstring& backup);
    bool CountRegistryCleanEntries(std::int64_t id, std::int64_t removed);
    bool ReadRegistryCleans(std::vector<RegistryCleanRow>& rows) const;  // newest first
    // False when the row is not there or was restored already.
    bool MarkRegistryCleanRestored(std::int64_t id);
    // The change journal's startup switches and Downloads moves, each
    // recorded before the change; a change that failed takes its row away.
    std::optional<std::int64_t> AddStartupSwitch(const StartupItem& item);
    bool RemoveStartupSwitch(std::int64_t id);
    bool ReadStartupSwitches(std::vector<StartupSwitchRow>& rows) const;  // newest first
    bool MarkStartupSwitchRestored(std::int64_t id);
    // A move under way (`underway`) is linked to its settings row in the
    // same transaction.
    std::optional<std::int64_t> AddDownloadMove(const std::wstring& target,
                                                const std::vector<DownloadSettingBefore>& settings,
                                                std::optional<std::int64_t> underway = std::nullopt);
    bool RemoveDownloadMove(std::int64_t id);
    bool ReadDownloadMoves(std::vector<DownloadMoveRow>& rows) const;  // newest first
    bool MarkDownloadMoveRestored(std::int64_t id);
    // Downloads moves under way: begun before the first write, each thing
    // made added before it is in place, ended (with what it made) when done.
    std::optional<std::int64_t> BeginMoveUnderway(const std::wstring& user, const std::wstring& target,
                                                  const std::wstring& parts);
    bool AddMoveMade(std::int64_t move, const std::vector<MoveMadeRow>& made);  // all or none
    bool ReadMovesUnderway(std::vector<MoveUnderwayRow>& rows) const;  // oldest first
    bool EndMoveUnderway(std::int64_t move);

    // The keep list: items never listed or deleted again, each text stored
    // as given. Deciding what is the same item is the caller's.
    std::optional<std::int64_t> AddKeepItem(const std::wstring& text);
    bool ReadKeepList(std::vector<KeepItemRow>& rows) const;  // oldest first
    bool RemoveKeepItem(std::int64_t id);
    // The keep list, its loss and the data version, in one read.
    bool ReadKeepListState(KeepListRead& read) const;
    // The data version now: whether another connection (another process)
    // committed since the last read. It takes the file's read lock.
    std::optional<std::int64_t> DataVersion() const;
    // The file's change counter now, read from its header without a lock:
    // the cheapest look at whether anything was committed since a read (a
    // commit still under way may not show yet). Nothing when it cannot be
    // read, or in WAL mode, where the counter is not raised.
    std::optional<std::uint32_t> ChangeCounter() const;
    // Takes the record of a lost keep list away: how many there were (0:
    // nothing to confirm); nothing when that failed.
    std::optional<std::int64_t> ConfirmKeepListLoss();

private:
    DatabaseState OpenWorkingFile();
    // The account as a statement's value: NULL when none was given.
    std::variant<int, std::int64_t, std::string, std::wstring, std::vector<BYTE>, std::monostate> AccountBinding() const;
    bool ReplaceUnreadableFile();
    void Import(const std::vector<ServiceRecommendationRow>& rows);

    std::wstring folder_;
    std::wstring account_;
    std::wstring seed_;
    sqlite3* connection_ = nullptr;
    std::optional<DatabaseRecovery> recovery_;
    mutable std::recursive_mutex lock_;
};

// The process's database of `store`, opened by the program's start.
LocalDatabase& Database(Store store);

}  // namespace db
