#include "common/account_sid.h"
#include "disk/move_journal.h"

#include <sddl.h>

#include "common/handles.h"
#include "common/listed_delete.h"
#include "common/verified_folder.h"

namespace disk {

namespace {

std::int64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& information) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) |
                                     information.nFileSizeLow);
}

std::int64_t TimeOf(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

std::int64_t IndexOf(const BY_HANDLE_FILE_INFORMATION& information) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) |
                                     information.nFileIndexLow);
}

bool IsSource(const db::MoveMadeRow& copy, const BY_HANDLE_FILE_INFORMATION& information) {
    return SizeOf(information) == copy.size && TimeOf(information.ftLastWriteTime) == copy.written;
}

bool SourceUnchanged(const db::MoveMadeRow& copy) {
    BY_HANDLE_FILE_INFORMATION information;
    return common::OpenListedFileToRead(copy.source, &information) && IsSource(copy, information);
}

// Renames what a rename moved back to its source.
void RenameBack(const db::MoveMadeRow& row) {
    const common::UniqueFile moved = OpenRecorded(row, row.path);
    const std::size_t cut = row.source.rfind(L'\\');
    if (!moved || cut == std::wstring::npos) return;
    if (const std::optional<common::VerifiedFolder> folder = common::MakeVerifiedFolder(row.source.substr(0, cut)))
        folder->MoveHere(moved.get(), row.source.substr(cut + 1));
}

}  // namespace

common::UniqueFile OpenRecorded(const db::MoveMadeRow& row, const std::wstring& path, DWORD access,
                                bool checkVolume) {
    // The same file: NTFS never gives a file's number to another without
    // changing its sequence part, but Linux file systems under Wine reuse a
    // deleted file's inode at once, hence the size and write time too. A
    // folder's write time changes with what it holds and as it is renamed.
    BY_HANDLE_FILE_INFORMATION information;
    common::UniqueFile item = row.how == db::MoveMade::RenamedFolder
                                  ? common::OpenFolderToMove(path, &information)
                                  : common::OpenListedFile(path, access, &information);
    if (!item || IndexOf(information) != row.index ||
        (row.how != db::MoveMade::RenamedFolder && !IsSource(row, information)) ||
        (checkVolume && common::VolumeSerialOf(item.get()) != static_cast<DWORD>(row.volume)))
        return {};
    return item;
}

bool MoveJournal::Begin(const std::wstring& target) {
    // Distinct from the part files of every other move.
    parts_ = L"~orvane-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
    const std::wstring user = common::TokenAccountSid();
    if (!user.empty()) id_ = db::Database(db::Store::User).BeginMoveUnderway(user, target, parts_);
    return id_.has_value();
}

std::wstring MoveJournal::NextPartName() { return parts_ + L"-" + std::to_wstring(++partNumber_) + L".part"; }

bool MoveJournal::AddFolder(const std::wstring& folder) {
    db::MoveMadeRow made;
    made.path = folder;
    made_.push_back(made);
    return id_ && db::Database(db::Store::User).AddMoveMade(*id_, {made});
}

bool MoveJournal::AddMoved(const std::vector<db::MoveMadeRow>& moved) {
    made_.insert(made_.end(), moved.begin(), moved.end());
    return id_ && db::Database(db::Store::User).AddMoveMade(*id_, moved);
}

void MoveJournal::TakeBack() {
    TakeBackMade(made_);
    End();
}

void MoveJournal::End() {
    if (id_) db::Database(db::Store::User).EndMoveUnderway(*id_);
    id_.reset();
    made_.clear();
}

bool IsPartFileOf(std::wstring_view name, std::wstring_view parts) {
    return !parts.empty() && name.size() > parts.size() + 1 && name.starts_with(parts) && name[parts.size()] == L'-' &&
           name.ends_with(L".part");
}

void TakeBackMade(const std::vector<db::MoveMadeRow>& made) {
    for (auto item = made.rbegin(); item != made.rend(); ++item) {
        if (item->how != db::MoveMade::Made)
            RenameBack(*item);
        else if (!item->source.empty() && SourceUnchanged(*item))
            if (const common::UniqueFile copy = OpenRecorded(*item, item->path, FILE_WRITE_ATTRIBUTES))
                common::DeleteOpenedFile(copy.get());
    }
    for (auto item = made.rbegin(); item != made.rend(); ++item)
        if (item->how == db::MoveMade::Made && item->source.empty()) common::DeleteListedFolder(item->path);
}

bool RemoveSource(const db::MoveMadeRow& copy) {
    BY_HANDLE_FILE_INFORMATION information;
    const common::UniqueFile file = common::OpenListedFile(copy.source, 0, &information);
    return file && IsSource(copy, information) && common::DeleteOpenedFile(file.get());
}

bool IsOwnCopy(const db::MoveMadeRow& copy) { return static_cast<bool>(OpenRecorded(copy, copy.path)); }

db::MoveMadeRow MovedRecord(const std::wstring& path, const std::wstring& source,
                            const BY_HANDLE_FILE_INFORMATION& sourceInformation,
                            const BY_HANDLE_FILE_INFORMATION& placedInformation, DWORD volume, db::MoveMade how) {
    return {path,
            source,
            SizeOf(sourceInformation),
            TimeOf(sourceInformation.ftLastWriteTime),
            static_cast<std::int64_t>(volume),
            IndexOf(placedInformation),
            how};
}

}  // namespace disk
