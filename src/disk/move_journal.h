#pragma once
// The journal of a Downloads move under way, and taking back what a move
// made. A move is recorded before its first write (whose it is, its target,
// the names of its part files), each folder it makes once made, each copy
// before the copy takes its real name (the file it is, and its source as it
// was copied), and each rename on the target's volume before it is made
// (the file or folder it is, its source and its destination). So a move cut
// short, by a failure or by the process ending, can always be taken back:
// its copies, renames and folders are known, and a file under a real name in
// the target that the journal does not name is not the move's.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/handles.h"
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
    // back either way. Copies and renames are recorded together, in one
    // transaction.
    bool AddFolder(const std::wstring& folder);
    bool AddMoved(const std::vector<db::MoveMadeRow>& moved);

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

// Takes back what a move made, newest first: each copy and rename, then the
// folders made (a rename is recorded before the folder made for it). A copy
// goes through the checked deletion (common/listed_delete.*) only while it
// is still the file the move made and its source is still there unchanged
// (else the copy may be the only one left); a file or folder renamed is
// renamed back while it is still the one renamed and nothing has taken its
// source's name (its source's folder made again through checked folders
// when gone); a folder goes only when empty.
void TakeBackMade(const std::vector<db::MoveMadeRow>& made);

// Deletes the source of a copy, through the handle that shows it is still
// the file that was copied (its size and last write time).
bool RemoveSource(const db::MoveMadeRow& copy);

// Whether the file at the copy's path is still the file the move made.
bool IsOwnCopy(const db::MoveMadeRow& copy);

// The row's file or folder at `path` (a renamed one's source before the
// rename, its path after), opened with `access` and DELETE to be deleted or
// renamed, when it is still the one the row names: the same volume (unless
// `checkVolume` is false: for a rename, which cannot leave its volume) and
// file index, a file still with its source's size and write time.
common::UniqueFile OpenRecorded(const db::MoveMadeRow& row, const std::wstring& path, DWORD access = 0,
                                bool checkVolume = true);

// The record of a copy (`placed`: the copy) or of a rename (`placed`: the
// source itself) on the volume `volume`: its path, the source and the
// identity of both.
db::MoveMadeRow MovedRecord(const std::wstring& path, const std::wstring& source,
                            const BY_HANDLE_FILE_INFORMATION& sourceInformation,
                            const BY_HANDLE_FILE_INFORMATION& placedInformation, DWORD volume, db::MoveMade how);

}  // namespace disk
