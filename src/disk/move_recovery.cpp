#include "common/account_sid.h"
#include "disk/move_recovery.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "common/listed_delete.h"
#include "core/operation_lock.h"
#include "db/local_database.h"
#include "disk/download_folders.h"
#include "disk/move_journal.h"

namespace disk {

namespace {

// The part files are found by their names in the target; each is deleted
// only where its path leads to the file itself.
void RemovePartFiles(const db::MoveUnderwayRow& move) {
    if (move.parts.empty() || move.parts.find_first_of(L"*?\\/") != std::wstring::npos) return;
    const std::wstring folder = move.target.back() == L'\\' ? move.target : move.target + L'\\';
    WIN32_FIND_DATAW data;
    const common::UniqueFind find(FindFirstFileW((folder + move.parts + L"-*.part").c_str(), &data));
    if (!find) return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsPartFileOf(data.cFileName, move.parts))
            common::DeleteListedFile(folder + data.cFileName);
    } while (FindNextFileW(find.get(), &data));
}

std::optional<db::DownloadMoveRow> SettingsRow(const db::MoveUnderwayRow& move) {
    std::vector<db::DownloadMoveRow> rows;
    if (!move.settings || !db::Database(db::Store::User).ReadDownloadMoves(rows)) return std::nullopt;
    for (db::DownloadMoveRow& row : rows)
        if (row.id == *move.settings) return std::move(row);
    return std::nullopt;
}

void Recover(const db::MoveUnderwayRow& move) {
    RemovePartFiles(move);
    const std::optional<db::DownloadMoveRow> settings = SettingsRow(move);
    if (settings && DownloadFoldersHold(*settings)) {
        // The files arrived and the settings followed: the sources go.
        for (const db::MoveMadeRow& made : move.made)
            if (!made.source.empty() && IsOwnCopy(made)) RemoveSource(made);
        return;
    }
    if (settings) {
        // A setting that cannot be put back keeps the row for the user to
        // undo, and the copies where it points.
        if (!RestoreDownloadFolders(*settings).failed.empty()) return;
        db::Database(db::Store::User).RemoveDownloadMove(settings->id);
    }
    TakeBackMade(move.made);
}

}  // namespace

void RecoverDownloadMoves() {
    core::OperationLock lock;
    std::vector<db::MoveUnderwayRow> moves;
    if (!lock.Take(0) || !db::Database(db::Store::User).ReadMovesUnderway(moves)) return;
    const std::wstring user = common::TokenAccountSid();
    for (const db::MoveUnderwayRow& move : moves) {
        // Another account's settings are not this one's to put back.
        if (user.empty() || move.user != user) continue;
        Recover(move);
        db::Database(db::Store::User).EndMoveUnderway(move.id);
    }
    lock.Release();
}

}  // namespace disk
