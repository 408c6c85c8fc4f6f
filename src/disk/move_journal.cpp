#include "common/account_sid.h"
#include "disk/move_journal.h"

#include <sddl.h>

#include "common/handles.h"
#include "common/listed_delete.h"

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

// The copy opened for `access` and deletion, when it is still the file the
// move made: the same file (NTFS never gives a file's number to another
// without changing its sequence part, but Linux file systems under Wine
// reuse a deleted file's inode at once), still with the size and write time
// of its source.
common::UniqueFile OpenOwnCopy(const db::MoveMadeRow& copy, DWORD access) {
    BY_HANDLE_FILE_INFORMATION information;
    common::UniqueFile file = common::OpenListedFile(copy.path, access, &information);
    if (!file || information.dwVolumeSerialNumber != static_cast<DWORD>(copy.volume) ||
        IndexOf(information) != copy.index || !IsSource(copy, information))
        return {};
    return file;
}

}  // namespace

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

bool MoveJournal::AddCopies(const std::vector<db::MoveMadeRow>& copies) {
    made_.insert(made_.end(), copies.begin(), copies.end());
    return id_ && db::Database(db::Store::User).AddMoveMade(*id_, copies);
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
        if (item->source.empty())
            common::DeleteListedFolder(item->path);
        else if (SourceUnchanged(*item))
            if (const common::UniqueFile copy = OpenOwnCopy(*item, FILE_WRITE_ATTRIBUTES))
                common::DeleteOpenedFile(copy.get());
    }
}

bool RemoveSource(const db::MoveMadeRow& copy) {
    BY_HANDLE_FILE_INFORMATION information;
    const common::UniqueFile file = common::OpenListedFile(copy.source, 0, &information);
    return file && IsSource(copy, information) && common::DeleteOpenedFile(file.get());
}

bool IsOwnCopy(const db::MoveMadeRow& copy) { return static_cast<bool>(OpenOwnCopy(copy, 0)); }

db::MoveMadeRow CopyRecord(const std::wstring& path, const std::wstring& source,
                           const BY_HANDLE_FILE_INFORMATION& sourceInformation,
                           const BY_HANDLE_FILE_INFORMATION& copyInformation) {
    return {path,
            source,
            SizeOf(sourceInformation),
            TimeOf(sourceInformation.ftLastWriteTime),
            static_cast<std::int64_t>(copyInformation.dwVolumeSerialNumber),
            IndexOf(copyInformation)};
}

}  // namespace disk
