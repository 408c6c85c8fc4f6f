#include "db/local_database.h"

#include <windows.h>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>

#include "common/ansi_text.h"
#include "common/crash_point.h"
#include "engine/wire_format.h"

namespace db {

namespace {

constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
constexpr const wchar_t* kWorkingFile = L"mydatabase.db";
// Where the fresh database is made before it replaces an unreadable one.
constexpr const wchar_t* kRecoveringFile = L"mydatabase.recovering.db";

constexpr const char* kCreateStatements[] = {
    "create table if not exists tbl_serversOperation (id integer primary key,servrName char NOT NULL,"
    "oldStatus integer,newStatus integer,data data ,time time);",
    "create table if not exists tbl_serversInitData (id integer primary key,servrName char NOT NULL,"
    "suguestStatus integer,forbitRate integer,startTime integer ,categoty integer);",
    "create table if not exists tbl_startupinfo (\t\t\tid integer primary key,\t\t\t\t\t\t\t\t\t"
    "iconPath TEXT,\t\t\t\tfileDescription TEXT,\t\t\tcompanyName TEXT,\t\t\tstrPath TEXT,\t\t\t"
    "strName TEXT,\t\t\thKey integer,\t\t\tuFilePathFlag integer,\t\t\tbStatus integer);",
    "create table if not exists tbl_startupkept (id integer primary key,iconPath TEXT,fileDescription TEXT,"
    "companyName TEXT,strPath TEXT,strName TEXT,hKey integer,uFilePathFlag integer,valueType integer,"
    "content BLOB,data data,time time);",
    "create table if not exists tbl_registryclean (id integer primary key,stamp integer,backup TEXT,"
    "entries integer,restored integer);",
    "create table if not exists tbl_startupswitch (id integer primary key,stamp integer,iconPath TEXT,"
    "fileDescription TEXT,strPath TEXT,strName TEXT,hKey integer,uFilePathFlag integer,bStatus integer,"
    "restored integer);",
    "create table if not exists tbl_downloadmove (id integer primary key,stamp integer,target TEXT,"
    "restored integer);",
    "create table if not exists tbl_downloadsetting (move integer,key TEXT,value TEXT,existed integer,"
    "type integer,data BLOB);",
    "create table if not exists tbl_keeplist (id integer primary key,item TEXT,stamp integer);",
    "create table if not exists tbl_moveunderway (id integer primary key,stamp integer,user TEXT,target TEXT,"
    "parts TEXT,settings integer);",
    "create table if not exists tbl_movemade (move integer,path TEXT,source TEXT,size integer,written integer,"
    "volume integer,fileindex integer);",
    // A keep list lost with a damaged database, until the user confirms it.
    "create table if not exists tbl_keeplistloss (id integer primary key,stamp integer,aside TEXT,"
    "recovered integer);",
};

// Columns added to tables that earlier versions made without them: a
// database from before gets them when it is opened.
struct AddedColumn {
    const char* table;
    const char* column;
    const char* statement;
};
constexpr AddedColumn kAddedColumns[] = {
    {"tbl_serversOperation", "restored",
     "alter table tbl_serversOperation add column restored integer not null default 0;"},
    // The account whose change a row records; NULL in an earlier version's rows.
    {"tbl_serversOperation", "account", "alter table tbl_serversOperation add column account TEXT;"},
    {"tbl_registryclean", "account", "alter table tbl_registryclean add column account TEXT;"},
    {"tbl_startupswitch", "account", "alter table tbl_startupswitch add column account TEXT;"},
    {"tbl_downloadmove", "account", "alter table tbl_downloadmove add column account TEXT;"},
    {"tbl_startupkept", "account", "alter table tbl_startupkept add column account TEXT;"},
};

// Values travel as bound parameters, never inside the statement text, so no
// name, path or description can change what a statement does. 8-bit texts
// are the code page's bytes; UTF-16 texts are stored as SQLite's text.
// std::monostate is NULL.
using Binding = std::variant<int, std::int64_t, std::string, std::wstring, std::vector<BYTE>, std::monostate>;

bool Execute(sqlite3* connection, const char* sql, int (*callback)(void*, int, char**, char**) = nullptr,
             void* context = nullptr) {
    return connection && sqlite3_exec(connection, sql, callback, context, nullptr) == SQLITE_OK;
}

bool Bind(sqlite3_stmt* statement, int index, const Binding& binding) {
    if (std::holds_alternative<std::monostate>(binding)) return sqlite3_bind_null(statement, index) == SQLITE_OK;
    if (const int* number = std::get_if<int>(&binding)) return sqlite3_bind_int(statement, index, *number) == SQLITE_OK;
    if (const std::int64_t* wide = std::get_if<std::int64_t>(&binding))
        return sqlite3_bind_int64(statement, index, *wide) == SQLITE_OK;
    if (const std::string* text = std::get_if<std::string>(&binding))
        return sqlite3_bind_text(statement, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT) ==
               SQLITE_OK;
    if (const std::wstring* text = std::get_if<std::wstring>(&binding))
        return sqlite3_bind_text16(statement, index, text->data(), static_cast<int>(text->size() * sizeof(wchar_t)),
                                   SQLITE_TRANSIENT) == SQLITE_OK;
    const std::vector<BYTE>& bytes = std::get<std::vector<BYTE>>(binding);
    return sqlite3_bind_blob(statement, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT) ==
           SQLITE_OK;
}

// Runs one statement with its bindings, handing each result row to `row`.
bool Execute(sqlite3* connection, const char* sql, std::initializer_list<Binding> bindings,
             const std::function<void(sqlite3_stmt*)>& row = {}) {
    if (!connection) return false;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    int index = 0;
    bool bound = true;
    for (const Binding& binding : bindings) bound = bound && Bind(statement, ++index, binding);
    int status = SQLITE_DONE;
    if (bound) {
        while ((status = sqlite3_step(statement)) == SQLITE_ROW)
            if (row) row(statement);
    }
    return sqlite3_finalize(statement) == SQLITE_OK && bound && status == SQLITE_DONE;
}

std::wstring ColumnText16(sqlite3_stmt* statement, int column) {
    const auto* text = static_cast<const wchar_t*>(sqlite3_column_text16(statement, column));
    return text ? std::wstring(text, static_cast<std::size_t>(sqlite3_column_bytes16(statement, column)) / sizeof(wchar_t))
                : std::wstring();
}

std::optional<std::wstring> ColumnAccount(sqlite3_stmt* statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) return std::nullopt;
    return ColumnText16(statement, column);
}

std::string ColumnBytesOf(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))) : std::string();
}

// Whether a UTF-16 text survives SQLite's text unchanged: no lone surrogate.
bool IsWellFormed(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

int HiveNumber(HKEY root) { return static_cast<int>(reinterpret_cast<std::intptr_t>(root)); }
HKEY HiveOf(std::int64_t number) { return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<int>(number))); }

OperationTimeTexts CurrentTimeTexts() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    return FormatOperationTime(localtime_s(&local, &now) == 0 ? &local : nullptr);
}

// Columns as the row callbacks read them: the C atoi rules, NULL as 0 or "".
int ColumnInt(const char* value) { return value ? std::atoi(value) : 0; }
std::string ColumnBytes(const char* value) { return value ? value : ""; }
std::wstring ColumnText(const char* value) { return common::FromAnsi(ColumnBytes(value)); }

int AppendRecommendation(void* context, int columns, char** values, char**) {
    if (columns != 6) return 0;
    static_cast<std::vector<ServiceRecommendationRow>*>(context)->push_back(
        {ColumnInt(values[0]), ColumnText(values[1]), ColumnInt(values[2]), ColumnInt(values[3]),
         ColumnInt(values[4]), ColumnInt(values[5])});
    return 0;
}

int AppendOperation(void* context, int columns, char** values, char**) {
    if (columns != 8) return 0;
    static_cast<std::vector<ServiceOperationRow>*>(context)->push_back(
        {ColumnInt(values[0]), ColumnBytes(values[1]), ColumnInt(values[2]), ColumnInt(values[3]),
         ColumnBytes(values[4]), ColumnBytes(values[5]), ColumnInt(values[6]) != 0,
         values[7] ? std::optional<std::wstring>(ColumnText(values[7])) : std::nullopt});
    return 0;
}

int AppendStartupItem(void* context, int columns, char** values, char**) {
    if (columns != 9) return 0;
    StartupItem item;
    item.iconPath = ColumnText(values[1]);
    item.fileDescription = ColumnText(values[2]);
    item.companyName = ColumnText(values[3]);
    item.strPath = ColumnText(values[4]);
    item.strName = ColumnText(values[5]);
    item.hKey = HiveOf(ColumnInt(values[6]));
    item.uFilePathFlag = static_cast<std::uint16_t>(ColumnInt(values[7]));
    item.bStatus = ColumnInt(values[8]);
    item.origin = StartupOrigin::OldRow;
    item.rowId = ColumnInt(values[0]);
    static_cast<std::vector<StartupItem>*>(context)->push_back(std::move(item));
    return 0;
}

bool ReadRecommendations(sqlite3* connection, std::vector<ServiceRecommendationRow>& rows) {
    return Execute(connection, "select * from tbl_serversInitData", AppendRecommendation, &rows);
}

bool HasColumn(sqlite3* connection, const char* table, const char* column) {
    bool found = false;
    Execute(connection, "select 1 from pragma_table_info(?) where name=?", {std::string(table), std::string(column)},
            [&found](sqlite3_stmt*) { found = true; });
    return found;
}

// Gives tables made by an earlier version the columns added since.
bool AddColumns(sqlite3* connection) {
    for (const AddedColumn& added : kAddedColumns)
        if (!HasColumn(connection, added.table, added.column) && !Execute(connection, added.statement)) return false;
    return true;
}

int FirstRow(void* context, int columns, char** values, char**) {
    auto* first = static_cast<std::optional<std::string>*>(context);
    if (!*first) *first = columns > 0 && values[0] ? values[0] : "";
    return 0;
}

// Opened through its UTF-8 name, so that a new file is a UTF-8 database as
// earlier versions made them: their 8-bit texts go in and out unchanged.
bool OpenFile(const std::wstring& path, sqlite3** connection, int flags = kOpenFlags) {
    return sqlite3_open_v2(engine::Utf8FromWide(path).c_str(), connection, flags, nullptr) == SQLITE_OK;
}

std::wstring Stamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u%02u%02u-%02u%02u%02u-%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

}  // namespace

bool MakeTables(sqlite3* connection) {
    for (const char* statement : kCreateStatements)
        if (!Execute(connection, statement)) return false;
    return AddColumns(connection);
}

DatabaseState ClassifyCheck(int resultCode, std::string_view firstRow) {
    const int primary = resultCode & 0xFF;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) return DatabaseState::Unreadable;
    if (primary != SQLITE_OK) return DatabaseState::Unavailable;
    return firstRow == "ok" ? DatabaseState::Usable : DatabaseState::Unreadable;
}

std::wstring SetAsideName(const std::wstring& folder, const std::wstring& stamp) {
    return folder + L"mydatabase.unreadable-" + stamp + L".db";
}

OperationTimeTexts FormatOperationTime(const std::tm* local) {
    const int day = local ? local->tm_mday : 0;
    const int month = local ? local->tm_mon + 1 : 0;
    const int year = local ? local->tm_year + 1900 : 0;
    const int hour = local ? local->tm_hour : -1;
    const int minute = local ? local->tm_min : -1;
    const int second = local ? local->tm_sec : -1;
    char date[32];
    char time[32];
    std::snprintf(date, sizeof date, "%02d/%02d/%04d", day, month, year);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", hour, minute, second);
    return {date, time};
}

LocalDatabase::~LocalDatabase() {
    Close();
    sqlite3_shutdown();
}

void LocalDatabase::Open(const std::wstring& folder, const std::wstring& account, const std::wstring& seedFile) {
    const std::lock_guard held(lock_);
    Close();
    folder_ = folder;
    account_ = account;
    seed_ = seedFile;
    recovery_.reset();
    if (sqlite3_initialize() != SQLITE_OK) return;

    // Opening creates a missing seed, empty: it then has no table to read.
    std::vector<ServiceRecommendationRow> seed;
    sqlite3* seedConnection = nullptr;
    if (!seed_.empty() && OpenFile(seed_, &seedConnection)) {
        sqlite3_busy_timeout(seedConnection, kBusyMilliseconds);
        ReadRecommendations(seedConnection, seed);
    }
    sqlite3_close_v2(seedConnection);

    DatabaseState state = OpenWorkingFile();
    // What cannot be read is kept under another name and a fresh database
    // takes its place; a locked one is left alone.
    if (state == DatabaseState::Unreadable) {
        Close();
        if (!ReplaceUnreadableFile()) return;
        state = OpenWorkingFile();
    }
    if (state != DatabaseState::Usable || !MakeTables(connection_)) return;
    if (!seed.empty()) Import(seed);
}

void LocalDatabase::OpenReadOnly(const std::wstring& folder, const std::wstring& account) {
    const std::lock_guard held(lock_);
    Close();
    folder_ = folder;
    account_ = account;
    seed_.clear();
    recovery_.reset();
    if (sqlite3_initialize() != SQLITE_OK) return;
    const std::wstring working = folder_ + kWorkingFile;
    // A store never written yet holds nothing: an empty database in memory
    // that takes no writes stands for it.
    if (GetFileAttributesW(working.c_str()) == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)) {
        bool made = OpenFile(L":memory:", &connection_);
        for (const char* statement : kCreateStatements) made = made && Execute(connection_, statement);
        made = made && AddColumns(connection_) && Execute(connection_, "PRAGMA query_only=1;");
        if (!made) Close();
        return;
    }
    if (!OpenFile(working, &connection_, SQLITE_OPEN_READONLY)) {
        Close();
        return;
    }
    sqlite3_busy_timeout(connection_, kBusyMilliseconds);
    std::optional<std::string> firstRow;
    const int status = sqlite3_exec(connection_, "PRAGMA quick_check;", FirstRow, &firstRow, nullptr);
    // A file that cannot be read is no list: the readers fail closed.
    if (ClassifyCheck(status, firstRow.value_or("")) != DatabaseState::Usable) Close();
}

std::wstring LocalDatabase::Folder() const {
    const std::lock_guard held(lock_);
    return folder_;
}

std::wstring LocalDatabase::Account() const {
    const std::lock_guard held(lock_);
    return account_;
}

Binding LocalDatabase::AccountBinding() const {
    if (account_.empty()) return std::monostate{};
    return account_;
}

std::optional<DatabaseRecovery> LocalDatabase::TakeRecovery() {
    const std::lock_guard held(lock_);
    return std::exchange(recovery_, std::nullopt);
}

DatabaseState LocalDatabase::OpenWorkingFile() {
    if (!OpenFile(folder_ + kWorkingFile, &connection_)) {
        Close();
        return DatabaseState::Unavailable;
    }
    sqlite3_busy_timeout(connection_, kBusyMilliseconds);
    std::optional<std::string> firstRow;
    const int status = sqlite3_exec(connection_, "PRAGMA quick_check;", FirstRow, &firstRow, nullptr);
    return ClassifyCheck(status, firstRow.value_or(""));
}

namespace {

// An exact copy of `working` under a set-aside name of its own; empty when
// none could be made.
std::wstring CopyAside(const std::wstring& folder, const std::wstring& working) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::wstring aside = SetAsideName(folder, Stamp() + (attempt ? L"-" + std::to_wstring(attempt) : L""));
        if (CopyFileW(working.c_str(), aside.c_str(), TRUE)) return aside;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) return {};
    }
    return {};
}

// Makes the database file `path` afresh: its tables, the rows recovered from
// `aside`, and the keep list's loss when it did not come back whole, in one
// transaction. Nothing when it could not be made whole.
std::optional<DatabaseRecovery> BuildRecovered(const std::wstring& path, const std::wstring& aside) {
    sqlite3* fresh = nullptr;
    if (!OpenFile(path, &fresh)) {
        sqlite3_close_v2(fresh);
        return std::nullopt;
    }
    bool made = Execute(fresh, "BEGIN IMMEDIATE;");
    for (const char* statement : kCreateStatements) made = made && Execute(fresh, statement);
    made = made && AddColumns(fresh);
    std::optional<DatabaseRecovery> recovery;
    if (made) recovery = RecoverRows(fresh, aside);
    if (recovery && !recovery->keepList.whole)
        made = Execute(fresh, "insert into tbl_keeplistloss(stamp,aside,recovered) values(?,?,?)",
                       {static_cast<std::int64_t>(std::time(nullptr)), aside, recovery->keepList.rows});
    made = made && Execute(fresh, "COMMIT;");
    // Closed whole (no statement is left), so that the file can be renamed.
    made = sqlite3_close(fresh) == SQLITE_OK && made;
    if (!made) return std::nullopt;
    return recovery;
}

bool MoveCompanions(const std::wstring& from, const std::wstring& to) {
    for (const wchar_t* companion : kDatabaseCompanions) {
        const std::wstring source = from + companion;
        if (GetFileAttributesW(source.c_str()) != INVALID_FILE_ATTRIBUTES &&
            !MoveFileW(source.c_str(), (to + companion).c_str()))
            return false;
    }
    return true;
}

}  // namespace

bool LocalDatabase::ReplaceUnreadableFile() {
    const std::wstring working = folder_ + kWorkingFile;
    const std::wstring building = folder_ + kRecoveringFile;
    // What an earlier start left half made is the program's own: it goes.
    for (const wchar_t* suffix : {L"", L"-journal"}) DeleteFileW((building + suffix).c_str());
    const std::wstring aside = CopyAside(folder_, working);
    if (aside.empty()) return false;
    std::optional<DatabaseRecovery> recovery = BuildRecovered(building, aside);
    common::CrashPoint("database.recovered");
    // A journal left beside the fresh file would be played back into it: it
    // goes with the damaged file's copy.
    if (recovery && MoveCompanions(working, aside)) {
        if (MoveFileExW(building.c_str(), working.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            recovery_ = std::move(recovery);
            return true;
        }
        MoveCompanions(aside, working);
    }
    // The damaged file stays where it was: the copies made of it go.
    DeleteFileW(building.c_str());
    DeleteFileW(aside.c_str());
    return false;
}

void LocalDatabase::Import(const std::vector<ServiceRecommendationRow>& rows) {
    if (!Execute(connection_, "delete from tbl_serversInitData;")) return;
    if (!Execute(connection_, "BEGIN TRANSACTION;")) return;
    bool allInserted = true;
    for (const ServiceRecommendationRow& row : rows)
        allInserted = Execute(connection_,
                              "insert into tbl_serversInitData(id ,servrName ,suguestStatus ,forbitRate) "
                              "values(?,?,?,?)",
                              {row.id, common::ToAnsi(row.servrName), row.suguestStatus, row.forbitRate}) &&
                      allInserted;
    // A seed that did not go in whole stays for the next start.
    if (Execute(connection_, "END TRANSACTION;") && allInserted) DeleteFileW(seed_.c_str());
}

void LocalDatabase::Close() {
    const std::lock_guard held(lock_);
    sqlite3_close_v2(connection_);
    connection_ = nullptr;
}

bool LocalDatabase::ReadServiceRecommendations(std::vector<ServiceRecommendationRow>& rows) const {
    const std::lock_guard held(lock_);
    return ReadRecommendations(connection_, rows);
}

std::optional<std::int64_t> LocalDatabase::AddServiceOperation(std::wstring_view serviceName, int oldStatus,
                                                               int newStatus) {
    const std::lock_guard held(lock_);
    const OperationTimeTexts texts = CurrentTimeTexts();
    if (!Execute(connection_,
                 "insert into tbl_serversOperation(servrName ,oldStatus ,newStatus ,data ,time ,account ) "
                 "values(?,?,?,?,?,?)",
                 {common::ToAnsi(serviceName), oldStatus, newStatus, texts.date, texts.time, AccountBinding()}))
        return std::nullopt;
    return sqlite3_last_insert_rowid(connection_);
}

bool LocalDatabase::ReadServiceOperations(std::vector<ServiceOperationRow>& rows) const {
    const std::lock_guard held(lock_);
    return Execute(connection_,
                   "select id,servrName,oldStatus,newStatus,data,time,restored,account from tbl_serversOperation "
                   "order by id",
                   AppendOperation, &rows);
}

bool LocalDatabase::DeleteServiceOperation(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "delete from tbl_serversOperation where id=?", {id}) &&
           sqlite3_changes(connection_) == 1;
}

bool LocalDatabase::MarkServiceOperationRestored(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "update tbl_serversOperation set restored=1 where id=? and restored=0", {id}) &&
           sqlite3_changes(connection_) == 1;
}

bool LocalDatabase::ReadDisabledStartupItems(std::vector<StartupItem>& items) const {
    const std::lock_guard held(lock_);
    return Execute(connection_, "select * from tbl_startupinfo", AppendStartupItem, &items);
}

bool LocalDatabase::RemoveDisabledStartupItem(std::int64_t rowId) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "delete from tbl_startupinfo where id=?", {rowId}) && sqlite3_changes(connection_) == 1;
}

std::optional<std::int64_t> LocalDatabase::AddKeptStartupEntry(const KeptEntry& entry) {
    const std::lock_guard held(lock_);
    const StartupItem& item = entry.item;
    for (const std::wstring* text : {&item.iconPath, &item.fileDescription, &item.companyName, &item.strPath,
                                     &item.strName})
        if (!IsWellFormed(*text)) return std::nullopt;
    const OperationTimeTexts texts = CurrentTimeTexts();
    if (!Execute(connection_,
                 "insert into tbl_startupkept(iconPath,fileDescription,companyName,strPath,strName,hKey,"
                 "uFilePathFlag,valueType,content,data,time,account) values(?,?,?,?,?,?,?,?,?,?,?,?)",
                 {item.iconPath, item.fileDescription, item.companyName, item.strPath, item.strName,
                  HiveNumber(item.hKey), int{item.uFilePathFlag}, static_cast<std::int64_t>(entry.valueType),
                  entry.content, texts.date, texts.time, AccountBinding()}))
        return std::nullopt;
    return sqlite3_last_insert_rowid(connection_);
}

bool LocalDatabase::ReadKeptStartupEntries(std::vector<KeptEntry>& entries) const {
    const std::lock_guard held(lock_);
    return Execute(connection_,
                   "select id,iconPath,fileDescription,companyName,strPath,strName,hKey,uFilePathFlag,valueType,"
                   "content,data,time,account from tbl_startupkept order by id",
                   {}, [&entries](sqlite3_stmt* row) {
                       KeptEntry entry;
                       entry.id = sqlite3_column_int64(row, 0);
                       StartupItem& item = entry.item;
                       item.iconPath = ColumnText16(row, 1);
                       item.fileDescription = ColumnText16(row, 2);
                       item.companyName = ColumnText16(row, 3);
                       item.strPath = ColumnText16(row, 4);
                       item.strName = ColumnText16(row, 5);
                       item.hKey = HiveOf(sqlite3_column_int64(row, 6));
                       item.uFilePathFlag = static_cast<std::uint16_t>(sqlite3_column_int(row, 7));
                       entry.valueType = static_cast<DWORD>(sqlite3_column_int64(row, 8));
                       const auto* content = static_cast<const BYTE*>(sqlite3_column_blob(row, 9));
                       entry.content.assign(content, content + sqlite3_column_bytes(row, 9));
                       entry.date = ColumnBytesOf(row, 10);
                       entry.time = ColumnBytesOf(row, 11);
                       entry.account = ColumnAccount(row, 12);
                       entries.push_back(std::move(entry));
                   });
}

bool LocalDatabase::RemoveKeptStartupEntry(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "delete from tbl_startupkept where id=?", {id}) && sqlite3_changes(connection_) == 1;
}

LocalDatabase& Database(Store store) {
    static LocalDatabase machine;
    static LocalDatabase user;
    return store == Store::Machine ? machine : user;
}

std::optional<std::int64_t> LocalDatabase::AddRegistryClean(const std::wstring& backup) {
    const std::lock_guard held(lock_);
    if (!IsWellFormed(backup) ||
        !Execute(connection_, "insert into tbl_registryclean(stamp,backup,entries,restored,account) values(?,?,0,0,?)",
                 {static_cast<std::int64_t>(std::time(nullptr)), backup, AccountBinding()}))
        return std::nullopt;
    return sqlite3_last_insert_rowid(connection_);
}

bool LocalDatabase::CountRegistryCleanEntries(std::int64_t id, std::int64_t removed) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "update tbl_registryclean set entries=entries+? where id=?", {removed, id}) &&
           sqlite3_changes(connection_) == 1;
}

bool LocalDatabase::ReadRegistryCleans(std::vector<RegistryCleanRow>& rows) const {
    const std::lock_guard held(lock_);
    return Execute(connection_,
                   "select id,stamp,backup,entries,restored,account from tbl_registryclean order by id desc", {},
                   [&rows](sqlite3_stmt* statement) {
                       rows.push_back({sqlite3_column_int64(statement, 0), sqlite3_column_int64(statement, 1),
                                       ColumnText16(statement, 2), sqlite3_column_int64(statement, 3),
                                       sqlite3_column_int(statement, 4) != 0, ColumnAccount(statement, 5)});
                   });
}

bool LocalDatabase::MarkRegistryCleanRestored(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "update tbl_registryclean set restored=1 where id=? and restored=0", {id}) &&
           sqlite3_changes(connection_) == 1;
}

std::optional<std::int64_t> LocalDatabase::AddStartupSwitch(const StartupItem& item) {
    const std::lock_guard held(lock_);
    for (const std::wstring* text : {&item.iconPath, &item.fileDescription, &item.strPath, &item.strName})
        if (!IsWellFormed(*text)) return std::nullopt;
    if (!Execute(connection_,
                 "insert into tbl_startupswitch(stamp,iconPath,fileDescription,strPath,strName,hKey,uFilePathFlag,"
                 "bStatus,restored,account) values(?,?,?,?,?,?,?,?,0,?)",
                 {static_cast<std::int64_t>(std::time(nullptr)), item.iconPath, item.fileDescription, item.strPath,
                  item.strName, HiveNumber(item.hKey), int{item.uFilePathFlag}, int{item.bStatus != 0},
                  AccountBinding()}))
        return std::nullopt;
    return sqlite3_last_insert_rowid(connection_);
}

bool LocalDatabase::RemoveStartupSwitch(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "delete from tbl_startupswitch where id=?", {id}) && sqlite3_changes(connection_) == 1;
}

bool LocalDatabase::ReadStartupSwitches(std::vector<StartupSwitchRow>& rows) const {
    const std::lock_guard held(lock_);
    return Execute(connection_,
                   "select id,stamp,iconPath,fileDescription,strPath,strName,hKey,uFilePathFlag,bStatus,restored,"
                   "account from tbl_startupswitch order by id desc",
                   {}, [&rows](sqlite3_stmt* statement) {
                       StartupSwitchRow row;
                       row.id = sqlite3_column_int64(statement, 0);
                       row.stamp = sqlite3_column_int64(statement, 1);
                       row.item.iconPath = ColumnText16(statement, 2);
                       row.item.fileDescription = ColumnText16(statement, 3);
                       row.item.strPath = ColumnText16(statement, 4);
                       row.item.strName = ColumnText16(statement, 5);
                       row.item.hKey = HiveOf(sqlite3_column_int64(statement, 6));
                       row.item.uFilePathFlag = static_cast<std::uint16_t>(sqlite3_column_int(statement, 7));
                       row.item.bStatus = sqlite3_column_int(statement, 8);
                       row.restored = sqlite3_column_int(statement, 9) != 0;
                       row.account = ColumnAccount(statement, 10);
                       rows.push_back(std::move(row));
                   });
}

bool LocalDatabase::MarkStartupSwitchRestored(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "update tbl_startupswitch set restored=1 where id=? and restored=0", {id}) &&
           sqlite3_changes(connection_) == 1;
}

std::optional<std::int64_t> LocalDatabase::AddDownloadMove(const std::wstring& target,
                                                           const std::vector<DownloadSettingBefore>& settings,
                                                           std::optional<std::int64_t> underway) {
    const std::lock_guard held(lock_);
    if (!IsWellFormed(target) || !Execute(connection_, "begin immediate")) return std::nullopt;
    bool stored = Execute(connection_, "insert into tbl_downloadmove(stamp,target,restored,account) values(?,?,0,?)",
                          {static_cast<std::int64_t>(std::time(nullptr)), target, AccountBinding()});
    const std::int64_t id = sqlite3_last_insert_rowid(connection_);
    for (const DownloadSettingBefore& setting : settings) {
        const common::RegistryValue none;
        const common::RegistryValue& previous = setting.previous ? *setting.previous : none;
        stored = stored && Execute(connection_,
                                   "insert into tbl_downloadsetting(move,key,value,existed,type,data) "
                                   "values(?,?,?,?,?,?)",
                                   {id, setting.key, setting.value, int{setting.previous.has_value()},
                                    static_cast<std::int64_t>(previous.type), previous.data});
    }
    if (underway)
        stored = stored && Execute(connection_, "update tbl_moveunderway set settings=? where id=?", {id, *underway}) &&
                 sqlite3_changes(connection_) == 1;
    if (stored && Execute(connection_, "commit")) return id;
    Execute(connection_, "rollback");
    return std::nullopt;
}

bool LocalDatabase::RemoveDownloadMove(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "delete from tbl_downloadmove where id=?", {id}) &&
           sqlite3_changes(connection_) == 1 && Execute(connection_, "delete from tbl_downloadsetting where move=?", {id});
}

bool LocalDatabase::ReadDownloadMoves(std::vector<DownloadMoveRow>& rows) const {
    const std::lock_guard held(lock_);
    if (!Execute(connection_, "select id,stamp,target,restored,account from tbl_downloadmove order by id desc", {},
                 [&rows](sqlite3_stmt* statement) {
                     rows.push_back({sqlite3_column_int64(statement, 0), sqlite3_column_int64(statement, 1),
                                     ColumnText16(statement, 2), {}, sqlite3_column_int(statement, 3) != 0,
                                     ColumnAccount(statement, 4)});
                 }))
        return false;
    for (DownloadMoveRow& row : rows) {
        if (!Execute(connection_, "select key,value,existed,type,data from tbl_downloadsetting where move=? order by rowid",
                     {row.id}, [&row](sqlite3_stmt* statement) {
                         DownloadSettingBefore setting{ColumnText16(statement, 0), ColumnText16(statement, 1), {}};
                         if (sqlite3_column_int(statement, 2) != 0) {
                             const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(statement, 4));
                             setting.previous = common::RegistryValue{
                                 static_cast<DWORD>(sqlite3_column_int64(statement, 3)),
                                 std::vector<BYTE>(data, data + sqlite3_column_bytes(statement, 4))};
                         }
                         row.settings.push_back(std::move(setting));
                     }))
            return false;
    }
    return true;
}

bool LocalDatabase::MarkDownloadMoveRestored(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "update tbl_downloadmove set restored=1 where id=? and restored=0", {id}) &&
           sqlite3_changes(connection_) == 1;
}

std::optional<std::int64_t> LocalDatabase::BeginMoveUnderway(const std::wstring& user, const std::wstring& target,
                                                             const std::wstring& parts) {
    const std::lock_guard held(lock_);
    if (!IsWellFormed(target) ||
        !Execute(connection_, "insert into tbl_moveunderway(stamp,user,target,parts) values(?,?,?,?)",
                 {static_cast<std::int64_t>(std::time(nullptr)), user, target, parts}))
        return std::nullopt;
    return sqlite3_last_insert_rowid(connection_);
}

bool LocalDatabase::AddMoveMade(std::int64_t move, const std::vector<MoveMadeRow>& made) {
    const std::lock_guard held(lock_);
    if (!Execute(connection_, "begin immediate")) return false;
    bool stored = true;
    for (const MoveMadeRow& row : made)
        stored = stored && IsWellFormed(row.path) && IsWellFormed(row.source) &&
                 Execute(connection_,
                         "insert into tbl_movemade(move,path,source,size,written,volume,fileindex) values(?,?,?,?,?,?,?)",
                         {move, row.path, row.source, row.size, row.written, row.volume, row.index});
    if (stored && Execute(connection_, "commit")) return true;
    Execute(connection_, "rollback");
    return false;
}

bool LocalDatabase::ReadMovesUnderway(std::vector<MoveUnderwayRow>& rows) const {
    const std::lock_guard held(lock_);
    if (!Execute(connection_, "select id,user,target,parts,settings from tbl_moveunderway order by id", {},
                 [&rows](sqlite3_stmt* statement) {
                     MoveUnderwayRow row{sqlite3_column_int64(statement, 0), ColumnText16(statement, 1),
                                         ColumnText16(statement, 2), ColumnText16(statement, 3), std::nullopt, {}};
                     if (sqlite3_column_type(statement, 4) != SQLITE_NULL) row.settings = sqlite3_column_int64(statement, 4);
                     rows.push_back(std::move(row));
                 }))
        return false;
    for (MoveUnderwayRow& row : rows) {
        if (!Execute(connection_,
                     "select path,source,size,written,volume,fileindex from tbl_movemade where move=? order by rowid",
                     {row.id}, [&row](sqlite3_stmt* statement) {
                         row.made.push_back({ColumnText16(statement, 0), ColumnText16(statement, 1),
                                             sqlite3_column_int64(statement, 2), sqlite3_column_int64(statement, 3),
                                             sqlite3_column_int64(statement, 4), sqlite3_column_int64(statement, 5)});
                     }))
            return false;
    }
    return true;
}

bool LocalDatabase::EndMoveUnderway(std::int64_t move) {
    const std::lock_guard held(lock_);
    if (!Execute(connection_, "begin immediate")) return false;
    const bool ended = Execute(connection_, "delete from tbl_moveunderway where id=?", {move}) &&
                       sqlite3_changes(connection_) == 1 &&
                       Execute(connection_, "delete from tbl_movemade where move=?", {move});
    if (ended && Execute(connection_, "commit")) return true;
    Execute(connection_, "rollback");
    return false;
}

std::optional<std::int64_t> LocalDatabase::AddKeepItem(const std::wstring& text) {
    const std::lock_guard held(lock_);
    if (!IsWellFormed(text) || !Execute(connection_, "insert into tbl_keeplist(item,stamp) values(?,?)",
                                        {text, static_cast<std::int64_t>(std::time(nullptr))}))
        return std::nullopt;
    return sqlite3_last_insert_rowid(connection_);
}

bool LocalDatabase::ReadKeepList(std::vector<KeepItemRow>& rows) const {
    const std::lock_guard held(lock_);
    return Execute(connection_, "select id,item from tbl_keeplist order by id", {}, [&rows](sqlite3_stmt* statement) {
        rows.push_back({sqlite3_column_int64(statement, 0), ColumnText16(statement, 1)});
    });
}

bool LocalDatabase::RemoveKeepItem(std::int64_t id) {
    const std::lock_guard held(lock_);
    return Execute(connection_, "delete from tbl_keeplist where id=?", {id}) && sqlite3_changes(connection_) == 1;
}

namespace {

bool ReadDataVersion(sqlite3* connection, std::int64_t& version) {
    return Execute(connection, "PRAGMA data_version", {},
                   [&version](sqlite3_stmt* statement) { version = sqlite3_column_int64(statement, 0); });
}

// The header's file change counter (offset 24), through SQLite's own handle
// of the main file; nothing in WAL mode (read and write versions 2 at offset
// 18), which does not raise it.
std::optional<std::uint32_t> ReadChangeCounter(sqlite3* connection) {
    sqlite3_file* file = nullptr;
    if (!connection || sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        return std::nullopt;
    unsigned char header[10];
    if (file->pMethods->xRead(file, header, sizeof header, 18) != SQLITE_OK || header[0] == 2 || header[1] == 2)
        return std::nullopt;
    return (std::uint32_t{header[6]} << 24) | (std::uint32_t{header[7]} << 16) | (std::uint32_t{header[8]} << 8) |
           header[9];
}

}  // namespace

bool LocalDatabase::ReadKeepListState(KeepListRead& read) const {
    const std::lock_guard held(lock_);
    if (!Execute(connection_, "BEGIN;")) return false;
    const bool done =
        ReadDataVersion(connection_, read.dataVersion) &&
        Execute(connection_, "select id,item from tbl_keeplist order by id", {},
                [&read](sqlite3_stmt* statement) {
                    read.rows.push_back({sqlite3_column_int64(statement, 0), ColumnText16(statement, 1)});
                }) &&
        Execute(connection_, "select stamp,aside,recovered from tbl_keeplistloss order by id limit 1", {},
                [&read](sqlite3_stmt* statement) {
                    read.loss = KeepListLoss{sqlite3_column_int64(statement, 0), ColumnText16(statement, 1),
                                             sqlite3_column_int64(statement, 2)};
                });
    // Read under the transaction's lock: no commit is half made meanwhile.
    if (done) read.changeCounter = ReadChangeCounter(connection_);
    // Only read: ending the transaction either way changes nothing.
    if (!Execute(connection_, "COMMIT;")) Execute(connection_, "ROLLBACK;");
    return done;
}

std::optional<std::int64_t> LocalDatabase::DataVersion() const {
    const std::lock_guard held(lock_);
    std::int64_t version = 0;
    if (!ReadDataVersion(connection_, version)) return std::nullopt;
    return version;
}

std::optional<std::uint32_t> LocalDatabase::ChangeCounter() const {
    const std::lock_guard held(lock_);
    return ReadChangeCounter(connection_);
}

std::optional<std::int64_t> LocalDatabase::ConfirmKeepListLoss() {
    const std::lock_guard held(lock_);
    if (!Execute(connection_, "delete from tbl_keeplistloss;")) return std::nullopt;
    return sqlite3_changes(connection_);
}

}  // namespace db
