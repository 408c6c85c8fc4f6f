#include "disk/download_move.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "app/worker_tasks.h"
#include "disk/file_walk.h"
#include "disk/move_counters.h"
#include "disk/move_paths.h"
#include "junk/junk_clean.h"

namespace disk {

namespace {

class RegistryDownloadSettings final : public DownloadSettings {
public:
    std::vector<DownloadFolder> Read() override { return ReadDownloadFolders(); }
    bool Write(const std::wstring& target) override { return WriteDownloadFolders(target); }
};

bool IsFolder(const std::wstring& path) { return PathIsDirectoryW(path.c_str()) != FALSE; }

// Creates the missing folders above `path`; true when its own folder exists.
bool MakeFoldersAbove(const std::wstring& path) {
    const std::vector<std::wstring> folders = FoldersAbove(path);
    if (folders.empty()) return false;
    if (IsFolder(folders.back())) return true;
    for (const std::wstring& folder : folders)
        if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(folder.c_str(), nullptr);
    return IsFolder(folders.back());
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
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

// Files come folder by folder: the folder made for the last one usually
// serves the next.
class DestinationFolders {
public:
    bool Prepare(const std::wstring& destination) {
        const std::wstring_view folder = std::wstring_view(destination).substr(0, destination.rfind(L'\\') + 1);
        if (!ready_.empty() && folder == ready_) return true;
        ready_.clear();
        if (!MakeFoldersAbove(destination)) return false;
        ready_ = folder;
        return true;
    }

private:
    std::wstring ready_;
};

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

void MoveItemFile(const MoveItem& item, DestinationFolders& folders, EmptiedFolders& emptied,
                  MoveCounters& counters) {
    // CopyFileW fails rather than replace a file at the destination.
    if (!item.destination || !folders.Prepare(*item.destination) ||
        !CopyFileW(item.source.c_str(), item.destination->c_str(), TRUE)) {
        ++counters.copyFailed;
        return;
    }
    counters.bytesCopied += static_cast<std::int64_t>(item.size);
    ++counters.copied;
    // A copy of another size (the file changed since it was listed) leaves
    // the source in place.
    if (FileSize(*item.destination) == item.size && DeleteFileW(item.source.c_str())) {
        ++counters.deleted;
        emptied.Add(item.source);
    } else {
        ++counters.deleteFailed;
    }
}

// Removes `folder` and the folders above it that are empty now, within the
// old folders. A folder that exists and cannot be removed (it holds
// something, or became a link) ends the climb; one already gone does not.
void TidyUp(const std::wstring& folder, const std::vector<std::wstring>& oldFolders, const std::wstring& target) {
    for (const std::wstring& candidate : FoldersToTidy(folder, oldFolders, target)) {
        const DWORD attributes = GetFileAttributesW(candidate.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !RemoveDirectoryW(candidate.c_str())) return;
    }
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
    counters.copied = -1;
    counters.copyFailed = 0;
    counters.deleteFailed = 0;
    counters.deleted = 0;
    counters.total = -1;
    counters.bytesCopied = 0;

    std::vector<std::wstring> oldFolders;
    for (const DownloadFolder& folder : settings.Read()) oldFolders.push_back(folder.path);
    if (!settings.Write(target)) {
        counters.copyFailed = -1;
        app::ClearZoneBits(app::DOWNLOAD_MOVE_WORKING);
        return;
    }

    const std::vector<MoveItem> items = ListMoveItems(sources, oldFolders, target);
    counters.total = static_cast<int>(items.size());
    counters.copied = 0;
    DestinationFolders folders;
    EmptiedFolders emptied;
    for (const MoveItem& item : items) MoveItemFile(item, folders, emptied, counters);
    RemoveEmptiedFolders(sources, emptied, oldFolders, target);
    app::ClearZoneBits(app::DOWNLOAD_MOVE_WORKING);
}

engine::Value GetCopyMoveDiskPath(app::BridgeArgs args) {
    if (const std::uint32_t refusal = app::TaskRefusal(app::Task::DownloadMove)) return static_cast<int>(refusal);
    const std::optional<std::wstring> target = MoveTargetPath(args[1].ToText());
    if (!target || !MakeFolder(*target)) return -3;
    std::vector<std::wstring> sources;
    for (const engine::Value& item : args[0].Items()) {
        std::wstring source = item.ToText();
        if (source.empty()) continue;
        std::replace(source.begin(), source.end(), L'/', L'\\');
        sources.push_back(std::move(source));
    }
    return app::StartTask(app::Task::DownloadMove, {},
                          [sources = std::move(sources), target = *target] {
                              RunDownloadMove(sources, target, SystemDownloadSettings());
                          });
}

}  // namespace disk
