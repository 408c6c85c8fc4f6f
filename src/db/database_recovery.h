#pragma once
// What a damaged database still holds of the user's own rows: the keep list,
// the startup entries kept while switched off, and the undo records (the
// change journal and the service log), copied into the fresh database that
// takes its place.
#include <cstdint>
#include <string>

struct sqlite3;

namespace db {

// One part as the user knows it: how many rows came back, and whether that
// is all of them (every row of its tables read).
struct RecoveredPart {
    std::int64_t rows = 0;
    bool whole = true;
    bool operator==(const RecoveredPart&) const = default;
};

struct DatabaseRecovery {
    std::wstring aside;  // the damaged file, kept under this name
    RecoveredPart keepList;     // tbl_keeplist
    RecoveredPart startupKept;  // tbl_startupkept, tbl_startupinfo
    RecoveredPart undo;         // tbl_registryclean, tbl_startupswitch, tbl_download*, tbl_serversOperation
    bool operator==(const DatabaseRecovery&) const = default;
};

// Copies into `fresh` (its tables made; the caller's transaction open) every
// row of the user's tables that SQLite can still read from the database file
// `aside`, opened read-only and as it lies (a journal beside it is not played
// back). Rows that read are copied exactly, row id and storage classes
// included. A table is read from its start up to the first row that fails,
// then from its end back to that point, so that one damaged page costs only
// the rows on it.
DatabaseRecovery RecoverRows(sqlite3* fresh, const std::wstring& aside);

}  // namespace db
