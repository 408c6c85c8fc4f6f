#include "disk/download_move.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "common/crash_point.h"
#include "common/listed_delete.h"
#include "common/text.h"
#include "common/verified_folder.h"
#include "core/event_trail.h"
#include "core/worker_tasks.h"
#include "disk/file_walk.h"
#include "disk/movable_folders.h"
#include "disk/move_counters.h"
#include "disk/move_journal.h"
#include "disk/move_paths.h"
#include "junk/junk_clean.h"

namespace disk {

namespace {

class RegistryDownloadSettings final : public DownloadSettings {
public:
    std::vector<DownloadFolder> Read() override { return ReadDownloadFolders(); }
    bool Write(const std::wstring& target, std::int64_t underway) override {
        return WriteDownloadFolders(target, SetRegistryValue, underway);
    }
};

bool IsFolder(const std::wstring& path) { return PathIsDirectoryW(path.c_str()) != FALSE; }

std::uint64_t SizeOf(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

struct MoveItem {
    std::wstring source;
    std::uint64_t size;
    std::optional<std::wstring> destination;  // none when no old folder holds the file
};

std::vector<MoveItem> ListMoveItems(const std::vector<std::wstring>& sources,
                                    const std::vector<std::wstring>& oldFolders, const std::wstring& target) {
    std::vector<MoveItem> items;
    for (const std::wstring& source : sources) {
        ForEachFile(source, [&](std::wstring_view path, std::uint64_t size) {
            std::optional<std::wstring> destination = MoveDestination(path, oldFolders, target);
            if (destination && *destination == path) return;  // already where it would go
            items.push_back({std::wstring(path), size, std::move(destination)});
        });
    }
    return items;
}

using SharedFolder = std::shared_ptr<const common::VerifiedFolder>;

// The folders below the target that the copies go into, each opened (made
// where missing) relative to the one holding it and checked. Files come
// folder by folder: the folder opened for the last one usually serves the
// next, and stays open while it does or while a copy waits to go into it.
// Each folder made is in the journal before anything goes into it.
class DestinationFolders {
public:
    DestinationFolders(SharedFolder target, MoveJournal& journal) : target_(std::move(target)), journal_(journal) {}

    // The folder that `destination` goes into; nothing when a folder on the
    // way fails its check or cannot be made.
    SharedFolder For(const std::wstring& destination) {
        const std::wstring_view folder = std::wstring_view(destination).substr(0, destination.rfind(L'\\'));
        if (current_ && folder == current_->Path()) return current_;
        current_.reset();
        const std::wstring_view base = common::WithoutTrailingBackslashes(target_->Path());
        if (folder == base) return target_;
        if (!folder.starts_with(base) || folder.size() <= base.size() || folder[base.size()] != L'\\') return nullptr;
        const common::VerifiedFolder* holder = target_.get();
        std::optional<common::VerifiedFolder> below;
        for (const std::wstring& path : FoldersAbove(destination)) {
            if (path.size() <= base.size()) continue;
            bool made = false;
            below = holder->Child(path.substr(path.rfind(L'\\') + 1), &made);
            if (made && !journal_.AddFolder(path)) return nullptr;
            if (!below) return nullptr;
            holder = &*below;
        }
        current_ = std::make_shared<const common::VerifiedFolder>(std::move(*below));
        return current_;
    }

private:
    SharedFolder target_;
    MoveJournal& journal_;
    SharedFolder current_;
};

// Copies `size` bytes from `from` to `to` in large blocks.
bool CopyBytes(HANDLE from, HANDLE to, std::uint64_t size, std::vector<BYTE>& buffer) {
    for (std::uint64_t done = 0; done < size;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::uint64_t>(size - done, buffer.size()));
        DWORD read = 0;
        DWORD written = 0;
        if (!ReadFile(from, buffer.data(), chunk, &read, nullptr) || read == 0 ||
            !WriteFile(to, buffer.data(), read, &written, nullptr) || written != read)
            return false;
        done += read;
    }
    return true;
}

// The source's times and attributes on its copy.
bool CopyBasicInformation(HANDLE from, HANDLE to) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(from, FileBasicInfo, &basic, sizeof basic)) return false;
    basic.FileAttributes &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(to, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

// A copy written whole into its part file, not yet in place.
struct WrittenCopy {
    SharedFolder folder;  // where it goes
    common::UniqueFile part;
    db::MoveMadeRow record;
};

// Copies are recorded in the journal this many at a time, each transaction
// costing a few flushes of the database file; their part files and folders
// stay open meanwhile.
constexpr std::size_t kCopiesPerRecord = 64;

// Writes one file's copy whole into a new part file in the target, reading
// the listed source through the handle that shows it is the listed file.
// On any failure the part file goes.
std::optional<WrittenCopy> WriteCopy(const MoveItem& item, const common::VerifiedFolder& target,
                                     DestinationFolders& folders, MoveJournal& journal, std::vector<BYTE>& buffer) {
    if (!item.destination) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION source;
    const common::UniqueFile reading = common::OpenListedFileToRead(item.source, &source);
    if (!reading || SizeOf(source.nFileSizeHigh, source.nFileSizeLow) != item.size) return std::nullopt;
    SharedFolder folder = folders.For(*item.destination);
    if (!folder) return std::nullopt;
    common::UniqueFile part = target.NewFile(journal.NextPartName());
    if (!part) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION copy;
    if (!CopyBytes(reading.get(), part.get(), item.size, buffer) || !CopyBasicInformation(reading.get(), part.get()) ||
        !GetFileInformationByHandle(part.get(), &copy)) {
        common::DeleteOpenedFile(part.get());
        return std::nullopt;
    }
    common::CrashPoint("move.part");
    return WrittenCopy{std::move(folder), std::move(part), CopyRecord(*item.destination, item.source, source, copy)};
}

// Deletes the part files of copies that will not be put in place.
void Discard(std::vector<WrittenCopy>& written) {
    for (const WrittenCopy& copy : written) common::DeleteOpenedFile(copy.part.get());
    written.clear();
}

// Puts written copies in place: recorded in the journal together, then each
// renamed into its folder, never over a file there. Those in place are added
// to `placed` and counted; after the first that fails, the rest are
// discarded and the answer is false.
bool PlaceCopies(std::vector<WrittenCopy>& written, MoveJournal& journal, std::vector<db::MoveMadeRow>& placed,
                 MoveCounters& counters) {
    std::vector<db::MoveMadeRow> records;
    for (const WrittenCopy& copy : written) records.push_back(copy.record);
    bool placing = journal.AddCopies(records);
    for (WrittenCopy& copy : written) {
        const std::wstring& path = copy.record.path;
        placing = placing && copy.folder->MoveHere(copy.part.get(), path.substr(path.rfind(L'\\') + 1));
        if (!placing) {
            common::DeleteOpenedFile(copy.part.get());
            continue;
        }
        copy.part.reset();
        placed.push_back(copy.record);
        counters.bytesCopied += copy.record.size;
        ++counters.copied;
        common::CrashPoint("move.copy");
    }
    written.clear();
    return placing;
}

// The folders whose files went, each once, in the order they were emptied.
class EmptiedFolders {
public:
    void Add(const std::wstring& file) {
        const std::wstring_view folder = std::wstring_view(file).substr(0, file.rfind(L'\\'));
        if (folders_.empty() || folders_.back() != folder) folders_.emplace_back(folder);
    }
    const std::vector<std::wstring>& Folders() const { return folders_; }

private:
    std::vector<std::wstring> folders_;
};

// Removes `folder` and the folders above it that are empty now, within the
// old folders. A folder that exists and cannot be removed (it holds
// something, or became a link) ends the climb; one already gone does not.
void TidyUp(const std::wstring& folder, const std::vector<std::wstring>& oldFolders, const std::wstring& target) {
    for (const std::wstring& candidate : FoldersToTidy(folder, oldFolders, target))
        if (!common::IsCleaned(common::DeleteListedFolder(candidate))) return;
}

// What the move emptied goes: the file-free rest of each selected folder,
// then every folder that lost its files, up to the old folder holding it.
// Empty folders the move did not touch stay.
void RemoveEmptiedFolders(const std::vector<std::wstring>& sources, const EmptiedFolders& emptied,
                          const std::vector<std::wstring>& oldFolders, const std::wstring& target) {
    for (const std::wstring& source : sources) {
        if (!IsFolder(source) || FoldersToTidy(source, oldFolders, target).empty()) continue;
        junk::RemoveEmptyFolderTree(source);
        TidyUp(source, oldFolders, target);
    }
    for (const std::wstring& folder : emptied.Folders()) TidyUp(folder, oldFolders, target);
}

}  // namespace

DownloadSettings& SystemDownloadSettings() {
    static RegistryDownloadSettings settings;
    return settings;
}

void RunDownloadMove(const std::vector<std::wstring>& sources, const std::wstring& target,
                     DownloadSettings& settings) {
    MoveCounters& counters = DownloadMoveCounters();
    counters.finished = false;
    counters.copied = -1;
    counters.copyFailed = 0;
    counters.deleteFailed = 0;
    counters.deleted = 0;
    counters.total = -1;
    counters.bytesCopied = 0;
    const auto finish = [&counters] {
        counters.finished = true;
        core::ClearZoneBits(core::DOWNLOAD_MOVE_WORKING);
    };

    std::vector<std::wstring> oldFolders;
    for (const DownloadFolder& folder : settings.Read()) oldFolders.push_back(folder.path);
    const std::vector<MoveItem> items = ListMoveItems(sources, oldFolders, target);
    counters.total = static_cast<int>(items.size());
    counters.copied = 0;

    // Nothing is written before the move is in the journal, nor anywhere but
    // through the target as it was checked.
    MoveJournal journal;
    std::optional<common::VerifiedFolder> opened = common::VerifiedFolder::Open(target);
    if (!opened || !journal.Begin(target)) {
        journal.End();
        counters.copyFailed = -1;
        finish();
        return;
    }
    const SharedFolder targetFolder = std::make_shared<const common::VerifiedFolder>(std::move(*opened));

    // Copies first: the sources and the settings stay as they are until
    // every selected file has arrived.
    std::vector<db::MoveMadeRow> arrived;
    {
        DestinationFolders folders(targetFolder, journal);
        std::vector<WrittenCopy> written;
        std::vector<BYTE> buffer(1u << 20);
        bool complete = true;
        for (const MoveItem& item : items) {
            std::optional<WrittenCopy> copy = WriteCopy(item, *targetFolder, folders, journal, buffer);
            complete = copy.has_value();
            if (complete) {
                written.push_back(std::move(*copy));
                if (written.size() == kCopiesPerRecord) complete = PlaceCopies(written, journal, arrived, counters);
            }
            if (!complete) break;
        }
        if (complete)
            PlaceCopies(written, journal, arrived, counters);
        else
            Discard(written);
    }
    const auto takeBack = [&](int failures) {
        journal.TakeBack();
        counters.copied = 0;
        counters.bytesCopied = 0;
        counters.copyFailed = failures;
        finish();
    };
    if (arrived.size() < items.size()) return takeBack(counters.total);  // nothing was moved
    if (!settings.Write(target, *journal.Id())) return takeBack(-1);

    EmptiedFolders emptied;
    for (const db::MoveMadeRow& copy : arrived) {
        if (RemoveSource(copy)) {
            ++counters.deleted;
            emptied.Add(copy.source);
        } else {
            ++counters.deleteFailed;
        }
        common::CrashPoint("move.delete");
    }
    RemoveEmptiedFolders(sources, emptied, oldFolders, target);
    journal.End();
    finish();
}

namespace {

// The trail of the window's move, from the counters it ended with: a move
// that failed whole or in part is a warning.
void WriteMoveTrail(const std::wstring& target) {
    const MoveCounters& counters = DownloadMoveCounters();
    const bool whole = counters.copyFailed == 0 && counters.deleteFailed == 0 && counters.total >= 0;
    core::WriteTrail(core::TrailKind::DownloadMove, L"window, into " + target,
                     static_cast<std::uint64_t>(std::max(0, counters.deleted.load())),
                     static_cast<std::uint64_t>(std::max<std::int64_t>(0, counters.bytesCopied.load())),
                     whole ? core::kTrailDone : core::kTrailSomeLeft);
}

}  // namespace

engine::Value GetCopyMoveDiskPath(core::BridgeArgs args) {
    if (const std::uint32_t refusal = core::TaskRefusal(core::Task::DownloadMove)) return static_cast<int>(refusal);
    const std::optional<std::wstring> target = MoveTargetPath(args[1].ToText());
    if (!target) return -3;
    std::vector<std::wstring> sources;
    for (const engine::Value& item : args[0].Items()) {
        std::wstring source = item.ToText();
        if (source.empty()) continue;
        std::replace(source.begin(), source.end(), L'/', L'\\');
        sources.push_back(std::move(source));
    }
    const junk::ProtectedFolders protectedFolders = junk::SystemProtectedFolders();
    const auto movable = [&protectedFolders](const std::wstring& path) { return IsMovablePath(path, protectedFolders); };
    if (IsNestedMove(sources, *target) || !movable(*target) || !std::ranges::all_of(sources, movable) ||
        !common::MakeVerifiedFolder(*target) || !IsMovableTarget(*target, protectedFolders))
        return -3;
    return core::StartTask(core::Task::DownloadMove, {},
                          [sources = std::move(sources), target = *target] {
                              RunDownloadMove(sources, target, SystemDownloadSettings());
                              WriteMoveTrail(target);
                          });
}

}  // namespace disk
