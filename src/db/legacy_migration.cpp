#include "db/legacy_migration.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/crash_point.h"
#include "common/handles.h"
#include "common/listed_delete.h"
#include "db/local_database.h"
#include "db/sqlite_statement.h"
#include "engine/wire_format.h"

namespace db {

namespace {

// The migrations made: which file (by its volume and index, which a rename
// keeps) went into the stores, and the name it was to take.
constexpr const char* kRecordTable =
    "create table if not exists main.tbl_migration (id integer primary key,stamp integer,source TEXT,"
    "volume integer,fileindex integer,renamed TEXT,account TEXT);";

// A hive as the tables store it: the handle's value as a 32-bit number.
int CurrentUserHive() { return static_cast<int>(reinterpret_cast<std::intptr_t>(HKEY_CURRENT_USER)); }

struct FileIdentity {
    std::int64_t volume = 0;
    std::int64_t index = 0;
};

// The identity of the plain file at `path`; nothing, with the reason, when
// it is not there (an empty reason) or cannot be read.
std::optional<FileIdentity> IdentityOf(const std::wstring& path, std::wstring& why) {
    const common::UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            why = L"it cannot be opened (error " + std::to_wstring(error) + L")";
        return std::nullopt;
    }
    if (!GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = L"it is not a file";
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber,
                        (static_cast<std::int64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class Connection {
public:
    explicit Connection(const std::wstring& path) {
        if (sqlite3_open_v2(engine::Utf8FromWide(path).c_str(), &connection_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK)
            sqlite3_busy_timeout(connection_, LocalDatabase::kBusyMilliseconds);
        else
            Close();
    }
    ~Connection() { Close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* get() const { return connection_; }
    // Closed whole, so that the files can be renamed.
    bool Close() { return sqlite3_close(std::exchange(connection_, nullptr)) == SQLITE_OK; }
    std::wstring Error() const {
        return connection_ ? engine::WideFromUtf8(sqlite3_errmsg(connection_)) : L"it cannot be opened";
    }

private:
    sqlite3* connection_ = nullptr;
};

using Parameter = std::optional<std::int64_t>;  // nothing: NULL

// Runs `sql` with `parameters`, handing each result row to `row`.
template <typename Row>
bool Run(sqlite3* connection, const std::string& sql, const std::vector<Parameter>& parameters, Row&& row) {
    const Statement statement(connection, sql);
    if (!statement) return false;
    int index = 0;
    for (const Parameter& parameter : parameters)
        if ((parameter ? sqlite3_bind_int64(statement.get(), ++index, *parameter)
                       : sqlite3_bind_null(statement.get(), ++index)) != SQLITE_OK)
            return false;
    int status;
    while ((status = sqlite3_step(statement.get())) == SQLITE_ROW) row(statement.get());
    return status == SQLITE_DONE;
}
bool Run(sqlite3* connection, const std::string& sql, const std::vector<Parameter>& parameters = {}) {
    return Run(connection, sql, parameters, [](sqlite3_stmt*) {});
}

bool Attach(sqlite3* connection, const std::wstring& path, const char* schema) {
    const Statement attach(connection, std::string("attach database ? as ") + schema);
    const std::string name = engine::Utf8FromWide(path);
    return attach && sqlite3_bind_text(attach.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
           sqlite3_step(attach.get()) == SQLITE_DONE;
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// The columns `table` has in `schema`: none when it has no such table.
std::vector<std::string> ColumnsOf(sqlite3* connection, const char* schema, const char* table) {
    std::vector<std::string> columns;
    const Statement info(connection, "select name from pragma_table_info(?1, ?2)");
    if (info && sqlite3_bind_text(info.get(), 1, table, -1, SQLITE_STATIC) == SQLITE_OK &&
        sqlite3_bind_text(info.get(), 2, schema, -1, SQLITE_STATIC) == SQLITE_OK)
        while (sqlite3_step(info.get()) == SQLITE_ROW)
            columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 0)));
    return columns;
}

// How the rows of one old table are copied into `to` ("main", the machine
// store, or "usr").
struct Copy {
    const char* table;
    const char* to;
    std::string where = {};  // "" for every row; its "?" follow the overrides'
    std::vector<Parameter> whereValues = {};
    std::vector<std::pair<std::string, Parameter>> overrides = {};  // columns given anew (remapped keys)
    bool keepIds = false;  // the row ids too, a row already there kept
};

// Copies the rows; the columns both tables have go as stored, except the
// account, which an earlier version never knew (NULL), and the row id, which
// the store gives anew unless kept.
bool CopyRows(sqlite3* connection, const Copy& copy) {
    const std::vector<std::string> had = ColumnsOf(connection, "old", copy.table);
    if (had.empty()) return true;  // an earlier version without this table
    const std::vector<std::string> has = ColumnsOf(connection, copy.to, copy.table);
    std::string into, from;
    std::vector<Parameter> parameters;
    for (const auto& [column, value] : copy.overrides) {
        into += (into.empty() ? "" : ",") + Quoted(column);
        from += std::string(from.empty() ? "" : ",") + "?";
        parameters.push_back(value);
    }
    for (const std::string& column : had) {
        const bool overridden = std::any_of(copy.overrides.begin(), copy.overrides.end(),
                                            [&](const auto& override) { return override.first == column; });
        if (column == "account" || (column == "id" && !copy.keepIds) || overridden ||
            std::find(has.begin(), has.end(), column) == has.end())
            continue;
        into += (into.empty() ? "" : ",") + Quoted(column);
        from += (from.empty() ? "" : ",") + Quoted(column);
    }
    if (into.empty()) return true;
    parameters.insert(parameters.end(), copy.whereValues.begin(), copy.whereValues.end());
    return Run(connection,
               std::string(copy.keepIds ? "insert or ignore" : "insert") + " into " + copy.to + "." +
                   Quoted(copy.table) + "(" + into + ") select " + from + " from old." + Quoted(copy.table) +
                   (copy.where.empty() ? "" : " where " + copy.where) + " order by rowid",
               parameters);
}

// The SQL function user_row(hKey, iconPath): whether an old startup row is
// the migrating account's.
void UserRow(sqlite3_context* context, int, sqlite3_value** values) {
    const auto* startup = static_cast<const std::wstring*>(sqlite3_user_data(context));
    const auto* path = static_cast<const wchar_t*>(sqlite3_value_text16(values[1]));
    const std::wstring_view shortcut =
        path ? std::wstring_view(path, static_cast<std::size_t>(sqlite3_value_bytes16(values[1])) / sizeof(wchar_t))
             : std::wstring_view();
    sqlite3_result_int(context, StartupRowStore(sqlite3_value_int64(values[0]), shortcut, *startup) == RowStore::User);
}

// Ids of an old table's rows with a second column (NULL as nothing).
std::vector<std::pair<std::int64_t, Parameter>> OldIds(sqlite3* connection, const char* table, const char* second) {
    std::vector<std::pair<std::int64_t, Parameter>> ids;
    if (ColumnsOf(connection, "old", table).empty()) return ids;
    Run(connection, std::string("select id,") + second + " from old." + table + " order by id", {},
        [&ids](sqlite3_stmt* row) {
            ids.emplace_back(sqlite3_column_int64(row, 0), sqlite3_column_type(row, 1) == SQLITE_NULL
                                                               ? Parameter()
                                                               : Parameter(sqlite3_column_int64(row, 1)));
        });
    return ids;
}

// The Downloads moves, their settings, the moves under way and what they
// made, into the account's store: the stores give new ids, so the keys that
// name them are given the new ones.
bool CopyDownloadMoves(sqlite3* connection) {
    std::map<std::int64_t, std::int64_t> moves;
    for (const auto& row : OldIds(connection, "tbl_downloadmove", "id")) {
        const std::int64_t id = row.first;
        if (!CopyRows(connection, {"tbl_downloadmove", "usr", "id=?", {id}, {}})) return false;
        moves[id] = sqlite3_last_insert_rowid(connection);
        if (!CopyRows(connection, {"tbl_downloadsetting", "usr", "move=?", {id}, {{"move", moves[id]}}}))
            return false;
    }
    for (const auto& [id, settings] : OldIds(connection, "tbl_moveunderway", "settings")) {
        const auto found = settings ? moves.find(*settings) : moves.end();
        const Parameter remapped = found == moves.end() ? Parameter() : Parameter(found->second);
        if (!CopyRows(connection, {"tbl_moveunderway", "usr", "id=?", {id}, {{"settings", remapped}}})) return false;
        const std::int64_t underway = sqlite3_last_insert_rowid(connection);
        if (!CopyRows(connection, {"tbl_movemade", "usr", "move=?", {id}, {{"move", underway}}})) return false;
    }
    return true;
}

bool CopyEverything(sqlite3* connection) {
    static const char* const kMachineTables[] = {"tbl_serversOperation", "tbl_startupinfo", "tbl_keeplist",
                                                 "tbl_keeplistloss", "tbl_registryclean"};
    for (const char* table : kMachineTables)
        if (!CopyRows(connection, {table, "main"})) return false;
    // Recommendations a newer seed already gave are kept as they are.
    Copy recommendations{"tbl_serversInitData", "main"};
    recommendations.keepIds = true;
    if (!CopyRows(connection, recommendations)) return false;
    for (const char* table : {"tbl_startupswitch", "tbl_startupkept"})
        if (!CopyRows(connection, {table, "main", "user_row(hKey,iconPath)=0"}) ||
            !CopyRows(connection, {table, "usr", "user_row(hKey,iconPath)=1"}))
            return false;
    return CopyDownloadMoves(connection);
}

bool IsRollbackJournal(sqlite3* connection, const char* schema) {
    bool wal = true;
    Run(connection, std::string("pragma ") + schema + ".journal_mode", {}, [&wal](sqlite3_stmt* row) {
        wal = sqlite3_stricmp(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)), "wal") == 0;
    });
    return !wal;
}

// A name free for the old file and each of its companions.
std::wstring FreeMigratedName(const std::wstring& legacy) {
    const std::wstring folder = legacy.substr(0, legacy.rfind(L'\\') + 1);
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (int attempt = 0;; ++attempt) {
        const std::wstring name = folder + MigratedName(now, attempt);
        bool free = !Exists(name);
        for (const wchar_t* companion : kDatabaseCompanions) free = free && !Exists(name + companion);
        if (free) return name;
    }
}

MigrationResult Failure(const std::wstring& why) { return {MigrationResult::Kind::Failed, {}, why}; }

// The companions first: until the file itself moves, its record finds it
// again, and the next start moves what is left.
MigrationResult RenameLegacy(const std::wstring& legacy, const std::wstring& renamed) {
    for (const wchar_t* companion : kDatabaseCompanions) {
        const std::wstring from = legacy + companion;
        if (!Exists(from)) continue;
        if (!MoveFileExW(from.c_str(), (renamed + companion).c_str(), MOVEFILE_WRITE_THROUGH))
            return Failure(L"The old database's " + std::wstring(companion) + L" file cannot be renamed (error " +
                           std::to_wstring(GetLastError()) + L").");
        common::CrashPoint("migration.renamed");
    }
    if (!MoveFileExW(legacy.c_str(), renamed.c_str(), MOVEFILE_WRITE_THROUGH))
        return Failure(L"The old database cannot be renamed (error " + std::to_wstring(GetLastError()) + L").");
    common::CrashPoint("migration.renamed");
    return {MigrationResult::Kind::Migrated, renamed, {}};
}

}  // namespace

RowStore StartupRowStore(std::int64_t hive, std::wstring_view shortcut, std::wstring_view userStartup) {
    if (static_cast<int>(hive) == CurrentUserHive()) return RowStore::User;
    const bool inStartup = !userStartup.empty() && shortcut.size() > userStartup.size() &&
                           shortcut[userStartup.size()] == L'\\' &&
                           common::SamePathText(shortcut.substr(0, userStartup.size()), userStartup);
    return inStartup ? RowStore::User : RowStore::Machine;
}

std::wstring MigratedName(const SYSTEMTIME& time, int attempt) {
    wchar_t stamp[40];
    std::swprintf(stamp, std::size(stamp), L"%04u%02u%02u-%02u%02u%02u", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond);
    return L"mydatabase.migrated-" + std::wstring(stamp) + (attempt ? L"-" + std::to_wstring(attempt) : L"") + L".db";
}

MigrationResult MigrateLegacyDatabase(const MigrationPlaces& places) {
    std::wstring why;
    const std::optional<FileIdentity> identity = IdentityOf(places.legacy, why);
    if (!identity) return why.empty() ? MigrationResult{} : Failure(L"The old database " + places.legacy + L" " + why + L".");
    if (sqlite3_initialize() != SQLITE_OK) return Failure(L"The database engine cannot start.");
    {
        Connection user(places.user);
        if (!user.get() || !MakeTables(user.get()))
            return Failure(L"The account's database " + places.user + L" cannot be made: " + user.Error());
    }
    Connection connection(places.machine);
    sqlite3* machine = connection.get();
    if (!machine || !MakeTables(machine) || !Run(machine, kRecordTable) || !Attach(machine, places.user, "usr") ||
        !Attach(machine, places.legacy, "old"))
        return Failure(L"The stores' databases cannot be opened: " + connection.Error());
    // Only in a rollback journal do the two store files commit at once.
    if (!IsRollbackJournal(machine, "main") || !IsRollbackJournal(machine, "usr"))
        return Failure(L"The stores' databases are in WAL mode: the rows cannot be copied atomically.");
    if (sqlite3_create_function_v2(machine, "user_row", 2, SQLITE_UTF16 | SQLITE_DETERMINISTIC,
                                   const_cast<std::wstring*>(&places.userStartup), UserRow, nullptr, nullptr,
                                   nullptr) != SQLITE_OK ||
        !Run(machine, "BEGIN IMMEDIATE;"))
        return Failure(L"The stores' databases cannot be written: " + connection.Error());

    std::optional<std::wstring> renamed;
    const std::vector<Parameter> file{identity->volume, identity->index};
    const bool read = Run(machine, "select renamed from main.tbl_migration where volume=? and fileindex=?", file,
                          [&renamed](sqlite3_stmt* row) {
                              const auto* text = static_cast<const wchar_t*>(sqlite3_column_text16(row, 0));
                              if (text) renamed = text;
                          });
    if (!read) {
        const std::wstring error = connection.Error();
        Run(machine, "ROLLBACK;");
        return Failure(L"The record of earlier migrations cannot be read: " + error);
    }
    if (renamed) {
        // An earlier start copied it and was ended before the rename.
        Run(machine, "ROLLBACK;");
    } else {
        renamed = FreeMigratedName(places.legacy);
        const auto failed = [&] {
            const std::wstring error = connection.Error();
            Run(machine, "ROLLBACK;");
            return Failure(L"The old database's rows cannot be copied into the stores: " + error);
        };
        if (!CopyEverything(machine)) return failed();
        common::CrashPoint("migration.copied");
        const Statement record(machine,
                               "insert into main.tbl_migration(stamp,source,volume,fileindex,renamed,account) "
                               "values(?,?,?,?,?,?)");
        const bool recorded = record &&
                 sqlite3_bind_int64(record.get(), 1, static_cast<std::int64_t>(std::time(nullptr))) == SQLITE_OK &&
                 sqlite3_bind_text16(record.get(), 2, places.legacy.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
                 sqlite3_bind_int64(record.get(), 3, identity->volume) == SQLITE_OK &&
                 sqlite3_bind_int64(record.get(), 4, identity->index) == SQLITE_OK &&
                 sqlite3_bind_text16(record.get(), 5, renamed->c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
                 sqlite3_bind_text16(record.get(), 6, places.account.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK &&
                 sqlite3_step(record.get()) == SQLITE_DONE;
        if (!recorded || !Run(machine, "COMMIT;")) return failed();
        common::CrashPoint("migration.committed");
    }
    if (!connection.Close()) return Failure(L"The old database cannot be closed.");
    return RenameLegacy(places.legacy, *renamed);
}

std::vector<std::wstring> MigratedDatabases(const std::wstring& machine) {
    std::vector<std::wstring> sources;
    sqlite3* connection = nullptr;
    if (sqlite3_open_v2(engine::Utf8FromWide(machine).c_str(), &connection, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_busy_timeout(connection, LocalDatabase::kBusyMilliseconds);
        if (!ColumnsOf(connection, "main", "tbl_migration").empty())
            Run(connection, "select source from main.tbl_migration order by id", {}, [&sources](sqlite3_stmt* row) {
                const auto* text = static_cast<const wchar_t*>(sqlite3_column_text16(row, 0));
                if (text) sources.push_back(text);
            });
    }
    sqlite3_close(connection);
    return sources;
}

}  // namespace db
