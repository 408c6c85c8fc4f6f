#pragma once
// The process's two databases opened in a fresh temporary folder (the
// machine store's in it, the account's in its "user" folder); and direct SQL
// on database files, for seeds and for looking at what the program stored.
#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/account_sid.h"
#include "core/data_stores.h"
#include "db/local_database.h"
#include "engine/wire_format.h"
#include "support/temp_dir.h"

namespace testsupport {

using SqlRows = std::vector<std::vector<std::string>>;

// Runs `sql` on the database file at `path`; the rows it gave, NULL as "".
// A new file is a UTF-8 database, as the program makes them.
inline SqlRows RunSql(const std::wstring& path, const char* sql) {
    sqlite3* connection = nullptr;
    if (sqlite3_open_v2(engine::Utf8FromWide(path).c_str(), &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(connection);
        throw std::runtime_error("cannot open a test database");
    }
    SqlRows rows;
    auto collect = [](void* context, int columns, char** values, char**) {
        std::vector<std::string> row;
        for (int i = 0; i < columns; ++i) row.push_back(values[i] ? values[i] : "");
        static_cast<SqlRows*>(context)->push_back(row);
        return 0;
    };
    char* error = nullptr;
    const int status = sqlite3_exec(connection, sql, collect, &rows, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(connection);
    if (status != SQLITE_OK) throw std::runtime_error("test SQL failed: " + message);
    return rows;
}

// Overwrites page `page` (counted from 1) of a database file no connection
// holds, as damage behind SQLite's back would.
inline void OverwritePage(const std::wstring& path, std::int64_t page) {
    std::string bytes = ReadFile(path);
    const std::size_t size = bytes.size() < 18 ? 0 : (static_cast<unsigned char>(bytes[16]) << 8) |
                                                         static_cast<unsigned char>(bytes[17]);
    const std::size_t end = static_cast<std::size_t>(page) * size;
    if (page < 1 || size == 0 || end > bytes.size()) throw std::runtime_error("no such page to overwrite");
    bytes.replace(end - size, size, size, static_cast<char>(0xA5));
    WriteFile(path, bytes);
}

inline std::int64_t PageCount(const std::wstring& path) { return std::stoll(RunSql(path, "PRAGMA page_count")[0][0]); }

// The first page of `table`'s tree.
inline std::int64_t RootPage(const std::wstring& path, const std::string& table) {
    const SqlRows rows = RunSql(path, ("select rootpage from sqlite_master where name='" + table + "'").c_str());
    if (rows.empty()) throw std::runtime_error("no table " + table);
    return std::stoll(rows[0][0]);
}

class ScratchDatabase {
public:
    // Journal rows name `account`: by default the account the test runs as.
    explicit ScratchDatabase(std::wstring account = common::TokenAccountSid()) : account_(std::move(account)) {
        CreateDirectoryW(UserFolder().c_str(), nullptr);
        Restart();
    }
    ~ScratchDatabase() {
        for (const db::Store store : db::kStores) db::Database(store).Close();
    }
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    const TempDir& Folder() const { return folder_; }
    // The machine store's database, its seed, and the account's database.
    std::wstring WorkingFile() const { return folder_ / L"mydatabase.db"; }
    std::wstring SeedFile() const { return folder_ / L"newupdate.db"; }
    std::wstring UserFolder() const { return folder_ / L"user"; }
    std::wstring UserWorkingFile() const { return folder_ / L"user\\mydatabase.db"; }
    std::wstring FileOf(db::Store store) const { return store == db::Store::Machine ? WorkingFile() : UserWorkingFile(); }
    // Closes and opens the databases again, as the next start of the program.
    void Restart() {
        db::Database(db::Store::Machine).Open(folder_.Path() + L"\\", account_, SeedFile());
        db::Database(db::Store::User).Open(UserFolder() + L"\\", account_);
    }

private:
    TempDir folder_;
    std::wstring account_;
};

}  // namespace testsupport
