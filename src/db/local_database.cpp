#include "db/local_database.h"

#include <windows.h>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <variant>

#include "common/ansi_text.h"

namespace db {

namespace {

constexpr const char* kSeedFile = "newupdate.db";
constexpr const char* kWorkingFile = "mydatabase.db";
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

constexpr const char* kCreateStatements[] = {
    "create table if not exists tbl_serversOperation (id integer primary key,servrName char NOT NULL,"
    "oldStatus integer,newStatus integer,data data ,time time);",
    "create table if not exists tbl_serversInitData (id integer primary key,servrName char NOT NULL,"
    "suguestStatus integer,forbitRate integer,startTime integer ,categoty integer);",
    "create table if not exists tbl_startupinfo (\t\t\tid integer primary key,\t\t\t\t\t\t\t\t\t"
    "iconPath TEXT,\t\t\t\tfileDescription TEXT,\t\t\tcompanyName TEXT,\t\t\tstrPath TEXT,\t\t\t"
    "strName TEXT,\t\t\thKey integer,\t\t\tuFilePathFlag integer,\t\t\tbStatus integer);",
};

// Values travel as bound parameters, never inside the statement text, so no
// name, path or description can change what a statement does.
using Binding = std::variant<int, std::string>;

bool Execute(sqlite3* connection, const char* sql, int (*callback)(void*, int, char**, char**) = nullptr,
             void* context = nullptr) {
    return connection && sqlite3_exec(connection, sql, callback, context, nullptr) == SQLITE_OK;
}

bool Execute(sqlite3* connection, const char* sql, std::initializer_list<Binding> bindings) {
    if (!connection) return false;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    int index = 0;
    bool bound = true;
    for (const Binding& binding : bindings) {
        ++index;
        if (const int* number = std::get_if<int>(&binding))
            bound = bound && sqlite3_bind_int(statement, index, *number) == SQLITE_OK;
        else {
            const std::string& text = std::get<std::string>(binding);
            bound = bound && sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                                               SQLITE_TRANSIENT) == SQLITE_OK;
        }
    }
    const bool done = bound && sqlite3_step(statement) == SQLITE_DONE;
    return sqlite3_finalize(statement) == SQLITE_OK && done;
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
    if (columns != 6) return 0;
    static_cast<std::vector<ServiceOperationRow>*>(context)->push_back(
        {ColumnInt(values[0]), ColumnBytes(values[1]), ColumnInt(values[2]), ColumnInt(values[3]),
         ColumnBytes(values[4]), ColumnBytes(values[5])});
    return 0;
}

int AppendStartupItem(void* context, int columns, char** values, char**) {
    if (columns != 9) return 0;
    startup::StartupItem item;
    item.iconPath = ColumnText(values[1]);
    item.fileDescription = ColumnText(values[2]);
    item.companyName = ColumnText(values[3]);
    item.strPath = ColumnText(values[4]);
    item.strName = ColumnText(values[5]);
    item.hKey = reinterpret_cast<HKEY>(static_cast<std::intptr_t>(ColumnInt(values[6])));
    item.uFilePathFlag = static_cast<std::uint16_t>(ColumnInt(values[7]));
    item.bStatus = ColumnInt(values[8]);
    static_cast<std::vector<startup::StartupItem>*>(context)->push_back(std::move(item));
    return 0;
}

bool ReadRecommendations(sqlite3* connection, std::vector<ServiceRecommendationRow>& rows) {
    return Execute(connection, "select * from tbl_serversInitData", AppendRecommendation, &rows);
}

}  // namespace

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

void LocalDatabase::Open() {
    Close();
    if (sqlite3_initialize() != SQLITE_OK) return;

    // Opening creates a missing seed, empty: it then has no table to read.
    std::vector<ServiceRecommendationRow> seed;
    sqlite3* seedConnection = nullptr;
    if (sqlite3_open_v2(kSeedFile, &seedConnection, kOpenFlags, nullptr) == SQLITE_OK)
        ReadRecommendations(seedConnection, seed);
    sqlite3_close_v2(seedConnection);

    if (sqlite3_open_v2(kWorkingFile, &connection_, kOpenFlags, nullptr) != SQLITE_OK) {
        Close();
        return;
    }
    for (const char* statement : kCreateStatements)
        if (!Execute(connection_, statement)) return;
    if (!seed.empty()) Import(seed);
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
    if (Execute(connection_, "END TRANSACTION;") && allInserted) DeleteFileA(kSeedFile);
}

void LocalDatabase::Close() {
    sqlite3_close_v2(connection_);
    connection_ = nullptr;
}

bool LocalDatabase::ReadServiceRecommendations(std::vector<ServiceRecommendationRow>& rows) const {
    return ReadRecommendations(connection_, rows);
}

bool LocalDatabase::AddServiceOperation(std::wstring_view serviceName, int oldStatus, int newStatus) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    const OperationTimeTexts texts = FormatOperationTime(localtime_s(&local, &now) == 0 ? &local : nullptr);
    return Execute(connection_,
                   "insert into tbl_serversOperation(servrName ,oldStatus ,newStatus ,data ,time ) "
                   "values(?,?,?,?,?)",
                   {common::ToAnsi(serviceName), oldStatus, newStatus, texts.date, texts.time});
}

bool LocalDatabase::ReadServiceOperations(std::vector<ServiceOperationRow>& rows) const {
    return Execute(connection_, "select * from tbl_serversOperation", AppendOperation, &rows);
}

bool LocalDatabase::DeleteServiceOperation(int id) {
    return Execute(connection_, "delete from tbl_serversOperation where id=?", {id});
}

bool LocalDatabase::ReadDisabledStartupItems(std::vector<startup::StartupItem>& items) const {
    return Execute(connection_, "select * from tbl_startupinfo", AppendStartupItem, &items);
}

bool LocalDatabase::AddDisabledStartupItem(const startup::StartupItem& item) {
    std::optional<std::string> texts[] = {common::ToAnsiExact(item.iconPath), common::ToAnsiExact(item.fileDescription),
                                          common::ToAnsiExact(item.companyName), common::ToAnsiExact(item.strPath),
                                          common::ToAnsiExact(item.strName)};
    for (const std::optional<std::string>& text : texts)
        if (!text) return false;
    return Execute(connection_,
                   "insert into tbl_startupinfo\t\t\t(iconPath ,fileDescription ,companyName ,strPath ,strName "
                   ",hKey,uFilePathFlag,bStatus) values\t\t\t(?\t\t,?\t\t\t,?\t\t,?\t\t,?\t,?,?\t\t\t\t,?)",
                   {*texts[0], *texts[1], *texts[2], *texts[3], *texts[4],
                    static_cast<int>(reinterpret_cast<std::intptr_t>(item.hKey)), int{item.uFilePathFlag},
                    item.bStatus});
}

bool LocalDatabase::RemoveDisabledStartupItem(const startup::StartupItem& item) {
    return Execute(connection_, "delete from tbl_startupinfo where iconPath=? and strPath=? and strName=?",
                   {common::ToAnsi(item.iconPath), common::ToAnsi(item.strPath), common::ToAnsi(item.strName)});
}

LocalDatabase& Database() {
    static LocalDatabase database;
    return database;
}

}  // namespace db
