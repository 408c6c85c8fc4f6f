#include "db/database_recovery.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "db/sqlite_statement.h"
#include "engine/wire_format.h"

namespace db {

namespace {

struct UserTable {
    const char* name;
    RecoveredPart DatabaseRecovery::*part;  // null: copied, not reported
};
constexpr UserTable kUserTables[] = {
    {"tbl_keeplist", &DatabaseRecovery::keepList},
    {"tbl_startupkept", &DatabaseRecovery::startupKept},
    {"tbl_startupinfo", &DatabaseRecovery::startupKept},
    {"tbl_registryclean", &DatabaseRecovery::undo},
    {"tbl_startupswitch", &DatabaseRecovery::undo},
    {"tbl_downloadmove", &DatabaseRecovery::undo},
    {"tbl_downloadsetting", &DatabaseRecovery::undo},
    {"tbl_serversOperation", &DatabaseRecovery::undo},
    {"tbl_moveunderway", &DatabaseRecovery::undo},
    {"tbl_movemade", &DatabaseRecovery::undo},
    // The service recommendations: the seed they came from is gone by now.
    {"tbl_serversInitData", nullptr},
};

// An SQLite URI of `path` that opens the file read-only and as it lies:
// "immutable" leaves any journal beside it alone and takes no locks.
std::string ImmutableUri(const std::wstring& path) {
    std::string uri = "file:///";
    for (const char c : engine::Utf8FromWide(path)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            uri += '/';
        } else if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                   std::strchr("/:-._~", c)) {
            uri += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0x0F];
        }
    }
    return uri + "?immutable=1";
}

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

// The fresh table's columns, its row id's alias left out (the row id is
// copied itself).
std::vector<std::string> ColumnsOf(sqlite3* connection, const char* table) {
    std::vector<std::string> columns;
    const Statement info(connection, "pragma table_info(" + Quoted(table) + ")");
    while (info && sqlite3_step(info.get()) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 2));
        const bool rowIdAlias = sqlite3_column_int(info.get(), 5) == 1 && type && sqlite3_stricmp(type, "integer") == 0;
        if (name && !rowIdAlias) columns.emplace_back(name);
    }
    return columns;
}

// Whether the damaged file's schema names `table`; nothing when the schema
// cannot be read.
std::optional<bool> HasTable(sqlite3* damaged, const char* table) {
    const Statement query(damaged, "select count(*) from sqlite_master where type='table' and name=?");
    if (!query || sqlite3_bind_text(query.get(), 1, table, -1, SQLITE_STATIC) != SQLITE_OK ||
        sqlite3_step(query.get()) != SQLITE_ROW)
        return std::nullopt;
    return sqlite3_column_int(query.get(), 0) > 0;
}

// Copies the rows `select` answers (row id first) through `insert`; the
// last row id read, and whether reading ended at the table's end.
struct Pass {
    std::optional<std::int64_t> lastRowId;
    bool complete = false;
};
Pass CopyRows(sqlite3_stmt* select, sqlite3_stmt* insert, int columns, RecoveredPart& part) {
    Pass pass;
    int status;
    while ((status = sqlite3_step(select)) == SQLITE_ROW) {
        pass.lastRowId = sqlite3_column_int64(select, 0);
        bool bound = true;
        for (int i = 0; i <= columns; ++i)
            bound = bound && sqlite3_bind_value(insert, i + 1, sqlite3_column_value(select, i)) == SQLITE_OK;
        if (bound && sqlite3_step(insert) == SQLITE_DONE)
            ++part.rows;
        else
            part.whole = false;
        sqlite3_reset(insert);
        sqlite3_clear_bindings(insert);
    }
    pass.complete = status == SQLITE_DONE;
    return pass;
}

void RecoverTable(sqlite3* fresh, sqlite3* damaged, const char* table, RecoveredPart& part) {
    const std::optional<bool> present = HasTable(damaged, table);
    if (!present) {
        part.whole = false;
        return;
    }
    if (!*present) return;  // an earlier version's file: nothing of it to lose
    // An earlier version's table may lack columns added since: those take
    // their defaults.
    const std::vector<std::string> had = ColumnsOf(damaged, table);
    std::vector<std::string> columns;
    for (const std::string& column : ColumnsOf(fresh, table))
        if (had.empty() || std::ranges::find(had, column) != had.end()) columns.push_back(column);
    std::string names = "rowid";
    std::string places = "?";
    for (const std::string& column : columns) {
        names += "," + Quoted(column);
        places += ",?";
    }
    const std::string from = "select " + names + " from " + Quoted(table);
    const Statement insert(fresh, "insert into " + Quoted(table) + "(" + names + ") values(" + places + ")");
    const Statement forward(damaged, from + " order by rowid");
    if (!insert || !forward) {
        part.whole = false;
        return;
    }
    const int count = static_cast<int>(columns.size());
    const Pass first = CopyRows(forward.get(), insert.get(), count, part);
    if (first.complete) return;
    part.whole = false;
    // The rows after the damage, read from the other end.
    const Statement backward(damaged, from + " where rowid>? order by rowid desc");
    if (!backward || sqlite3_bind_int64(backward.get(), 1,
                                        first.lastRowId.value_or(std::numeric_limits<std::int64_t>::min())) != SQLITE_OK)
        return;
    CopyRows(backward.get(), insert.get(), count, part);
}

}  // namespace

DatabaseRecovery RecoverRows(sqlite3* fresh, const std::wstring& aside) {
    DatabaseRecovery recovery;
    recovery.aside = aside;
    sqlite3* damaged = nullptr;
    const bool opened = sqlite3_open_v2(ImmutableUri(aside).c_str(), &damaged, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                                        nullptr) == SQLITE_OK;
    for (const UserTable& table : kUserTables) {
        RecoveredPart ignored;
        RecoveredPart& part = table.part ? recovery.*table.part : ignored;
        if (opened)
            RecoverTable(fresh, damaged, table.name, part);
        else
            part.whole = false;
    }
    sqlite3_close_v2(damaged);
    return recovery;
}

}  // namespace db
