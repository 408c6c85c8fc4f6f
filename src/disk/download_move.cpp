#include "disk/download_move.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "app/worker_tasks.h"
#include "common/listed_delete.h"
#include "common/whole_file.h"
#include "disk/file_walk.h"
#include "disk/move_counters.h"
#include "disk/move_paths.h"
#include "disk/movable_folders.h"
#include "junk/junk_clean.h"

namespace disk {

namespace {

class RegistryDownloadSettings final : public DownloadSettings {
public:
    std::vector<DownloadFolder> Read() override { return ReadDownloadFolders(); }
    bool Write(const std::wstring& target) override { return WriteDownloadFolders(target); }
};

bool IsFolder(const std::wstring& path) { return PathIsDirectoryW(path.c_str()) != FALSE; }

// Creates the missing folders above `path`, appending each one made to
// `created`; true when its own folder exists.
bool MakeFoldersAbove(const std::wstring& path, std::vector<std::wstring>* created = nullptr) {
    const std::vector<std::wstring> folders = FoldersAbove(path);
    if (folders.empty()) return false;
    if (IsFolder(folders.back())) return true;
    for (const std::wstring& folder : folders)
        if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES && CreateDirectoryW(folder.c_str(), nullptr) &&
            created)
            created->push_back(folder);
    return IsFolder(folders.back());
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> FileData(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return data;
}

std::uint64_t SizeOf(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

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

// A file whose copy is complete at its destination; the source as it was
// when it was copied.
struct Arrival {
    const MoveItem* item;
    FILETIME written;
};

// Files come folder by folder: the folder made for the last one usually
// serves the next. The folders it made are remembered, so that a move
// taken back leaves no empty tree behind.
class DestinationFolders {
public:
    bool Prepare(const std::wstring& destination) {
        const std::wstring_view folder = std::wstring_view(destination).substr(0, destination.rfind(L'\\') + 1);
        if (!ready_.empty() && folder == ready_) return true;
        ready_.clear();
        if (!MakeFoldersAbove(destination, &created_)) return false;
        ready_ = folder;
        return true;
    }
    // Removes the folders it made, deepest first, where they are empty.
    void RemoveCreated() const {
        for (auto folder = created_.rbegin(); folder != created_.rend(); ++folder) RemoveDirectoryW(folder->c_str());
    }

private:
    std::wstring ready_;
    std::vector<std::wstring> created_;
};

// Copies one file whole or not at all: under a part name beside its
// destination, renamed once complete with the listed size; a destination
// that exists is never replaced.
std::optional<Arrival> CopyItem(const MoveItem& item, DestinationFolders& folders) {
    const std::optional<WIN32_FILE_ATTRIBUTE_DATA> before = FileData(item.source);
    if (!item.destination || !before || !folders.Prepare(*item.destination)) return std::nullopt;
    const bool copied = common::CreateFileWhole(*item.destination, [&item](const std::wstring& part) {
        if (!CopyFileW(item.source.c_str(), part.c_str(), FALSE)) return false;
        const std::optional<WIN32_FILE_ATTRIBUTE_DATA> copy = FileData(part);
        return copy && SizeOf(copy->nFileSizeHigh, copy->nFileSizeLow) == item.size;
    });
    if (!copied) return std::nullopt;
    return Arrival{&item, before->ftLastWriteTime};
}

// Removes a copy this move made, when the move is taken back.
void RemoveCopy(const std::wstring& copy) {
    const DWORD attributes = GetFileAttributesW(copy.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(copy.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileW(copy.c_str());
}

// Deletes the source of a file that arrived, through the handle that shows
// it is still the listed file, unchanged since it was copied.
bool RemoveSource(const Arrival& arrival) {
    BY_HANDLE_FILE_INFORMATION information;
    const common::UniqueFile file = common::OpenListedFile(arrival.item->source, 0, &information);
    if (!file ||
        SizeOf(information.nFileSizeHigh, information.nFileSizeLow) != arrival.item->size ||
        !SameTime(information.ftLastWriteTime, arrival.written))
        return false;
    return common::DeleteOpenedFile(file.get());
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

bool MakeFolder(const std::wstring& folder) {
    if (folder.empty()) return false;
    if (IsFolder(folder)) return true;
    return MakeFoldersAbove(folder.back() == L'\\' ? folder : folder + L'\\') && IsFolder(folder);
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
        app::ClearZoneBits(app::DOWNLOAD_MOVE_WORKING);
    };

    std::vector<std::wstring> oldFolders;
    for (const DownloadFolder& folder : settings.Read()) oldFolders.push_back(folder.path);
    const std::vector<MoveItem> items = ListMoveItems(sources, oldFolders, target);
    counters.total = static_cast<int>(items.size());
    counters.copied = 0;

    // Copies first: the sources and the settings stay as they are until
    // every selected file has arrived.
    DestinationFolders folders;
    std::vector<Arrival> arrived;
    for (const MoveItem& item : items) {
        if (const std::optional<Arrival> arrival = CopyItem(item, folders)) {
            arrived.push_back(*arrival);
            counters.bytesCopied += static_cast<std::int64_t>(item.size);
            ++counters.copied;
        } else {
            ++counters.copyFailed;
        }
    }
    const auto takeBack = [&] {
        for (const Arrival& arrival : arrived) RemoveCopy(*arrival.item->destination);
        folders.RemoveCreated();
        counters.copied = 0;
        counters.bytesCopied = 0;
    };
    if (counters.copyFailed > 0) {
        takeBack();
        counters.copyFailed = counters.total.load();  // nothing was moved
        finish();
        return;
    }
    if (!settings.Write(target)) {
        takeBack();
        counters.copyFailed = -1;
        finish();
        return;
    }

    EmptiedFolders emptied;
    for (const Arrival& arrival : arrived) {
        if (RemoveSource(arrival)) {
            ++counters.deleted;
            emptied.Add(arrival.item->source);
        } else {
            ++counters.deleteFailed;
        }
    }
    RemoveEmptiedFolders(sources, emptied, oldFolders, target);
    finish();
}

engine::Value GetCopyMoveDiskPath(app::BridgeArgs args) {
    if (const std::uint32_t refusal = app::TaskRefusal(app::Task::DownloadMove)) return static_cast<int>(refusal);
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
        !MakeFolder(*target) || !IsMovableTarget(*target, protectedFolders))
        return -3;
    return app::StartTask(app::Task::DownloadMove, {},
                          [sources = std::move(sources), target = *target] {
                              RunDownloadMove(sources, target, SystemDownloadSettings());
                          });
}

}  // namespace disk
