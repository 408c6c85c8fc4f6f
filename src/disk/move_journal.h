#pragma once
// The journal of a Downloads move under way, and taking back what a move
// made. A move is recorded before its first write (whose it is, its target,
// the names of its part files), each folder it makes once made, and each
// copy before the copy takes its real name (the file it is, and its source
// as it was copied). So a move cut short, by a failure or by the process
// ending, can always be taken back: its copies and folders are known, and a
// file under a real name in the target that the journal does not name is
// not the move's.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/local_database.h"

namespace disk {

class MoveJournal {
public:
    // Records the start of a move into `target`; false when the record cannot
    // be written, and then nothing may be written for the move.
    bool Begin(const std::wstring& target);
    std::optional<std::int64_t> Id() const { return id_; }

    // A new part file name for the target folder, distinct for each call.
    std::wstring NextPartName();

    // Each answers whether the record was written; what it names is taken
    // back either way. Copies are recorded together, in one transaction.
    bool AddFolder(const std::wstring& folder);
    bool AddCopies(const std::vector<db::MoveMadeRow>& copies);

    // Takes the move back (TakeBackMade) and ends its record.
    void TakeBack();
    // Ends the record of a move that is complete.
    void End();

private:
    std::optional<std::int64_t> id_;
    std::wstring parts_;
    unsigned partNumber_ = 0;
    std::vector<db::MoveMadeRow> made_;
};

// The part files of a move: "<parts>-<n>.part" in its target.
bool IsPartFileOf(std::wstring_view name, std::wstring_view parts);

// Removes what a move made, newest first, each through the checked deletion
// (common/listed_delete.*): a copy only while it is still the file the move
// made and its source is still there unchanged (else the copy may be the
// only one left), a folder only when empty.
void TakeBackMade(const std::vector<db::MoveMadeRow>& made);

// Deletes the source of a copy, through the handle that shows it is still
// the file that was copied (its size and last write time).
bool RemoveSource(const db::MoveMadeRow& copy);

// Whether the file at the copy's path is still the file the move made.
bool IsOwnCopy(const db::MoveMadeRow& copy);

// The copy's record: its path, the source and the identity of both.
db::MoveMadeRow CopyRecord(const std::wstring& path, const std::wstring& source,
                           const BY_HANDLE_FILE_INFORMATION& sourceInformation,
                           const BY_HANDLE_FILE_INFORMATION& copyInformation);

}  // namespace disk
