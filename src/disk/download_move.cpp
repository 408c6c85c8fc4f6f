#include "disk/download_move.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "common/crash_point.h"
#include "common/handles.h"
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
    std::uint64_t size;                       // a folder's: of the files in its tree
    std::optional<std::wstring> destination;  // none when no old folder holds the file
    int files = 1;                            // a folder's: the files in its tree
    bool folder = false;                      // a folder that may move whole
};

// Appends the files below `source` (the source itself when a file), each
// with its destination; a file already where it would go stays out.
void ListFiles(const std::wstring& source, const std::vector<std::wstring>& oldFolders, const std::wstring& target,
               std::vector<MoveItem>& items) {
    ForEachFile(source, [&](std::wstring_view path, std::uint64_t size) {
        std::optional<std::wstring> destination = MoveDestination(path, oldFolders, target);
        if (destination && *destination == path) return;  // already where it would go
        items.push_back({std::wstring(path), size, std::move(destination)});
    });
}

bool IsFree(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
           (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
}

// Appends what moves of the selected folder `folder`, or of a folder below
// one: the folder as one item (renamed whole when it can be) when its
// destination does not exist and its tree holds files and no link (a link
// stays where it is); else its files, and each folder in it likewise.
void ListFolder(const std::wstring& folder, const std::vector<std::wstring>& oldFolders, const std::wstring& target,
                std::vector<MoveItem>& items) {
    std::optional<std::wstring> destination = MoveDestination(folder, oldFolders, target);
    if (destination && IsFree(*destination)) {
        MoveItem whole{folder, 0, std::move(destination), 0, true};
        bool link = false;
        ForEachFile(
            folder,
            [&whole](std::wstring_view, std::uint64_t size) {
                whole.size += size;
                ++whole.files;
            },
            [&link](std::wstring_view) { link = true; });
        if (!link) {
            if (whole.files > 0) items.push_back(std::move(whole));
            return;
        }
    }
    WIN32_FIND_DATAW data;
    const common::UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFolder(folder + L"\\" + name, oldFolders, target, items);
        else
            ListFiles(folder + L"\\" + name, oldFolders, target, items);
    } while (FindNextFileW(find.get(), &data));
}

// What moves: each selected folder's tree (ListFolder), each selected file.
std::vector<MoveItem> ListMoveItems(const std::vector<std::wstring>& sources,
                                    const std::vector<std::wstring>& oldFolders, const std::wstring& target) {
    std::vector<MoveItem> items;
    for (std::wstring source : sources) {
        while (source.size() > 3 && source.back() == L'\\') source.pop_back();
        const DWORD attributes = GetFileAttributesW(source.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListFolder(source, oldFolders, target, items);
        else
            ListFiles(source, oldFolders, target, items);
    }
    return items;
}

// A rename on the target's volume: its record, and the files and bytes it moves.
struct Rename {
    db::MoveMadeRow record;
    int files;
    std::uint64_t bytes;
};

// The move's plan: what is renamed (on the target's volume, opened to be
// renamed and recorded as it is now), what is copied.
struct MovePlan {
    DWORD volume = 0;  // the target's
    std::vector<Rename> renames;
    std::vector<MoveItem> copies;
    // The volume serial of each source folder met, asked once: a file lies
    // on its folder's volume.
    std::wstring folder;
    std::optional<DWORD> folderVolume;
};

std::optional<DWORD> FolderVolume(const std::wstring& folder) {
    const std::optional<common::VerifiedFolder> opened = common::VerifiedFolder::Open(folder);
    return opened ? common::VolumeSerialOf(opened->Handle()) : std::nullopt;
}

// Adds `item` to the plan. A file that cannot be opened to be renamed (in
// use without sharing deletion, or not the listed file) is left to the copy,
// which reads what may be read and leaves the source where it cannot be
// deleted; a folder that cannot be renamed whole moves file by file.
void Plan(const MoveItem& item, const std::vector<std::wstring>& oldFolders, const std::wstring& target,
          MovePlan& plan) {
    if (item.destination) {
        BY_HANDLE_FILE_INFORMATION information;
        const common::UniqueFile opened = item.folder ? common::OpenFolderToMove(item.source, &information)
                                                      : common::OpenListedFile(item.source, 0, &information);
        std::optional<DWORD> volume;
        if (opened && item.folder) {
            volume = common::VolumeSerialOf(opened.get());
        } else if (opened) {
            const std::wstring folder = item.source.substr(0, item.source.rfind(L'\\'));
            if (folder != plan.folder) plan.folderVolume = FolderVolume(plan.folder = folder);
            volume = plan.folderVolume;
        }
        if (volume == plan.volume) {
            const db::MoveMade how = item.folder ? db::MoveMade::RenamedFolder : db::MoveMade::RenamedFile;
            plan.renames.push_back({MovedRecord(*item.destination, item.source, information, information, plan.volume, how),
                                    item.files, item.size});
            return;
        }
    }
    if (!item.folder) return plan.copies.push_back(item);
    std::vector<MoveItem> files;
    ListFiles(item.source, oldFolders, target, files);
    for (const MoveItem& file : files) Plan(file, oldFolders, target, plan);
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

// Copies `from` to its end into `to` in large blocks; the bytes copied.
std::optional<std::uint64_t> CopyBytes(HANDLE from, HANDLE to, std::vector<BYTE>& buffer) {
    std::uint64_t done = 0;
    for (;;) {
        DWORD read = 0;
        DWORD written = 0;
        if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return std::nullopt;
        if (read == 0) return done;
        if (!WriteFile(to, buffer.data(), read, &written, nullptr) || written != read) return std::nullopt;
        done += read;
    }
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
// the listed source through the handle that shows it is the listed file,
// to its end (the target on `volume`): the handle shares no writing, so the file has the size it
// showed when opened, which the bytes copied must match. On any failure the
// part file goes.
std::optional<WrittenCopy> WriteCopy(const MoveItem& item, const common::VerifiedFolder& target, DWORD volume,
                                     DestinationFolders& folders, MoveJournal& journal, std::vector<BYTE>& buffer) {
    if (!item.destination) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION source;
    const common::UniqueFile reading = common::OpenListedFileToRead(item.source, &source);
    if (!reading) return std::nullopt;
    SharedFolder folder = folders.For(*item.destination);
    if (!folder) return std::nullopt;
    common::UniqueFile part = target.NewFile(journal.NextPartName());
    if (!part) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION copy;
    const std::optional<std::uint64_t> copied = CopyBytes(reading.get(), part.get(), buffer);
    if (copied != SizeOf(source.nFileSizeHigh, source.nFileSizeLow) ||
        !CopyBasicInformation(reading.get(), part.get()) || !common::FileInformationOf(part.get(), copy)) {
        common::DeleteOpenedFile(part.get());
        return std::nullopt;
    }
    common::CrashPoint("move.part");
    return WrittenCopy{std::move(folder), std::move(part),
                       MovedRecord(*item.destination, item.source, source, copy, volume, db::MoveMade::Made)};
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
    bool placing = journal.AddMoved(records);
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
    int files = 0;
    for (const MoveItem& item : items) files += item.files;
    counters.total = files;
    counters.copied = 0;

    // Nothing is written before the move is in the journal, nor anywhere but
    // through the target as it was checked.
    MoveJournal journal;
    std::optional<common::VerifiedFolder> opened = common::VerifiedFolder::Open(target);
    const std::optional<DWORD> volume = opened ? common::VolumeSerialOf(opened->Handle()) : std::nullopt;
    if (!volume || !journal.Begin(target)) {
        journal.End();
        counters.copyFailed = -1;
        finish();
        return;
    }
    const SharedFolder targetFolder = std::make_shared<const common::VerifiedFolder>(std::move(*opened));
    // The folders below the target, held while files go into them: let go
    // before a take-back, which removes those it made.
    std::optional<DestinationFolders> folders(std::in_place, targetFolder, journal);
    const auto takeBack = [&](int failures) {
        folders.reset();
        journal.TakeBack();
        counters.copied = 0;
        counters.bytesCopied = 0;
        counters.copyFailed = failures;
        finish();
    };

    // What lies on the target's volume is renamed, each rename in the
    // journal before the first is made; the rest is copied.
    MovePlan plan;
    plan.volume = *volume;
    for (const MoveItem& item : items) Plan(item, oldFolders, target, plan);
    std::vector<db::MoveMadeRow> renames;
    for (const Rename& rename : plan.renames) renames.push_back(rename.record);
    if (!journal.AddMoved(renames)) return takeBack(counters.total);

    // Copies first, then the renames: the sources and the settings stay as
    // they are until every selected file has arrived. A stop takes the move
    // back as a failure does.
    std::vector<db::MoveMadeRow> arrived;
    {
        std::vector<WrittenCopy> written;
        std::vector<BYTE> buffer(1u << 20);
        bool complete = true;
        for (const MoveItem& item : plan.copies) {
            std::optional<WrittenCopy> copy;
            if (!core::StopRequested()) copy = WriteCopy(item, *targetFolder, *volume, *folders, journal, buffer);
            complete = copy.has_value();
            if (complete) {
                written.push_back(std::move(*copy));
                if (written.size() == kCopiesPerRecord) complete = PlaceCopies(written, journal, arrived, counters);
            }
            if (!complete) break;
        }
        if (complete)
            complete = PlaceCopies(written, journal, arrived, counters);
        else
            Discard(written);
        if (!complete) return takeBack(counters.total);  // nothing was moved
    }
    for (const Rename& rename : plan.renames) {
        const std::wstring& path = rename.record.path;
        // Its volume is not asked again: a rename cannot leave it.
        const common::UniqueFile source = core::StopRequested()
                                              ? common::UniqueFile()
                                              : OpenRecorded(rename.record, rename.record.source, 0, false);
        const SharedFolder folder = source ? folders->For(path) : nullptr;
        if (!folder || !folder->MoveHere(source.get(), path.substr(path.rfind(L'\\') + 1)))
            return takeBack(counters.total);
        counters.bytesCopied += static_cast<std::int64_t>(rename.bytes);
        counters.copied += rename.files;
        common::CrashPoint("move.rename");
    }
    if (core::StopRequested()) return takeBack(counters.total);
    folders.reset();
    if (!settings.Write(target, *journal.Id())) return takeBack(-1);
    common::CrashPoint("move.settled");

    // What was renamed has left its old place already.
    EmptiedFolders emptied;
    for (const Rename& rename : plan.renames) {
        counters.deleted += rename.files;
        emptied.Add(rename.record.source);
    }
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
