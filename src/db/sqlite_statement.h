#pragma once
// One prepared SQLite statement, finalized with its owner.
#include <sqlite3.h>

#include <string>

namespace db {

class Statement {
public:
    Statement(sqlite3* connection, const std::string& sql) {
        if (sqlite3_prepare_v2(connection, sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement_);
            statement_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return statement_; }
    explicit operator bool() const { return statement_ != nullptr; }

private:
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace db
