// The size worker's walk on a large generated tree against a bare
// enumeration, and the download-folder move of many small files, in the
// same run: on one volume against a bare copy-and-delete loop and a bare
// rename loop, and onto another volume (OTHER_FOLDER, "-" for none) against
// the bare copy-and-delete loop. Prints figures only.
// usage: disk_bench.exe WORK_FOLDER OTHER_FOLDER [FOLDERS FILES_PER_FOLDER MOVE_FOLDERS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_tree.h"
#include "core/worker_tasks.h"
#include "db/local_database.h"
#include "disk/download_move.h"
#include "disk/move_counters.h"
#include "disk/path_sizes.h"

namespace {

using bench::Clock;
using bench::Seconds;

// The move's settings: the old folder is the generated tree; nothing is
// written to the registry.
class BenchSettings final : public disk::DownloadSettings {
public:
    explicit BenchSettings(std::wstring folder) : folder_(std::move(folder)) {}
    std::vector<disk::DownloadFolder> Read() override { return {{L"Win10DownloadDir", folder_}}; }
    bool Write(const std::wstring&, std::int64_t) override { return true; }

private:
    std::wstring folder_;
};

// What a plain program would do: list the tree, make each destination
// folder, move each file with `moveFile` (never over a file), then remove
// the emptied folders. Answers the files moved.
int BareLoop(const std::wstring& from, const std::wstring& to,
             const std::function<bool(const std::wstring&, const std::wstring&)>& moveFile) {
    std::vector<std::wstring> files, dirs;
    bench::Enumerate(from, &files, &dirs);
    CreateDirectoryW(to.c_str(), nullptr);
    std::wstring madeFolder;
    int moved = 0;
    for (const std::wstring& file : files) {
        const std::wstring destination = to + file.substr(from.size());
        const std::wstring folder = destination.substr(0, destination.rfind(L'\\'));
        if (folder != madeFolder) {
            for (std::size_t end = to.size(); (end = folder.find(L'\\', end + 1)) != std::wstring::npos;)
                CreateDirectoryW(folder.substr(0, end).c_str(), nullptr);
            CreateDirectoryW(folder.c_str(), nullptr);
            madeFolder = folder;
        }
        if (moveFile(file, destination)) ++moved;
    }
    for (const std::wstring& dir : dirs) RemoveDirectoryW(dir.c_str());
    RemoveDirectoryW(from.c_str());
    return moved;
}

int BareCopyAndDelete(const std::wstring& from, const std::wstring& to) {
    return BareLoop(from, to, [](const std::wstring& file, const std::wstring& destination) {
        return CopyFileW(file.c_str(), destination.c_str(), TRUE) && DeleteFileW(file.c_str());
    });
}

int BareRename(const std::wstring& from, const std::wstring& to) {
    return BareLoop(from, to, [](const std::wstring& file, const std::wstring& destination) {
        return MoveFileExW(file.c_str(), destination.c_str(), 0) != FALSE;
    });
}

void RemoveTree(const std::wstring& root) {
    std::vector<std::wstring> files, dirs;
    bench::Enumerate(root, &files, &dirs);
    for (const std::wstring& file : files) DeleteFileW(file.c_str());
    for (const std::wstring& dir : dirs) RemoveDirectoryW(dir.c_str());
    RemoveDirectoryW(root.c_str());
}

// The download-folder move as the window's worker runs it, into a folder
// that exists (the window's dialog makes it). Answers the files moved.
int WorkerMove(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    BenchSettings settings(from);
    core::ZoneBits() = core::DOWNLOAD_MOVE_WORKING;
    disk::RunDownloadMove({from}, to, settings);
    const disk::MoveCounters& counters = disk::DownloadMoveCounters();
    if (counters.copyFailed != 0 || counters.deleteFailed != 0)
        std::printf("  move failed: %d copy failures, %d delete failures of %d\n", counters.copyFailed.load(),
                    counters.deleteFailed.load(), counters.total.load());
    return counters.deleted;
}

struct Contender {
    const char* name;
    int (*move)(const std::wstring& from, const std::wstring& to);
    double seconds = 0;
    int files = 0;
};

// Each contender moves a tree of its own from `work` into `into`, over two
// rounds in turned orders, so that none always runs on a warmer disk; the
// times are summed.
void RunRounds(const std::wstring& work, const std::wstring& into, int folders, int files,
               std::vector<Contender>& contenders) {
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < contenders.size(); ++i)
            bench::MakeTree(work + L"\\from-" + std::to_wstring(i), folders, files);
        for (std::size_t turn = 0; turn < contenders.size(); ++turn) {
            const std::size_t i = (turn + round) % contenders.size();
            const std::wstring from = work + L"\\from-" + std::to_wstring(i), to = into + L"\\to-" + std::to_wstring(i);
            const Clock::time_point start = Clock::now();
            contenders[i].files = contenders[i].move(from, to);
            contenders[i].seconds += Seconds(start);
            RemoveTree(to);
            RemoveTree(from);
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: disk_bench.exe WORK_FOLDER OTHER_FOLDER [FOLDERS FILES_PER_FOLDER MOVE_FOLDERS]\n");
        return 2;
    }
    const std::wstring work = argv[1];
    const std::wstring other = argv[2];
    const int folders = argc > 4 ? _wtoi(argv[3]) : 4000;
    const int files = argc > 4 ? _wtoi(argv[4]) : 50;
    const int moveFolders = argc > 5 ? _wtoi(argv[5]) : 400;
    const std::wstring sizeTree = work + L"\\size";
    CreateDirectoryW(work.c_str(), nullptr);
    // A move writes its journal first, in the account's store: a database of
    // the bench's own.
    db::Database(db::Store::User).Open(work + L"\\");

    auto start = Clock::now();
    bench::MakeTree(sizeTree, folders, files);
    std::printf("size tree: %d folders x %d files made in %.1f s\n", folders, files, Seconds(start));
    bench::Enumerate(sizeTree, nullptr, nullptr);  // warm the tree once
    double bare = 1e9, sized = 1e9;
    std::uint64_t bytes = 0;
    std::size_t counted = 0;
    for (int round = 0; round < 3; ++round) {
        start = Clock::now();
        counted = bench::Enumerate(sizeTree, nullptr, nullptr);
        bare = std::min(bare, Seconds(start));
        start = Clock::now();
        bytes = disk::PathSize(sizeTree);
        sized = std::min(sized, Seconds(start));
    }
    std::printf("size walk: %.3f s (%llu bytes), bare enumeration: %.3f s (%zu files), ratio %.2f (best of 3)\n",
                sized, static_cast<unsigned long long>(bytes), bare, counted, sized / bare);
    RemoveTree(sizeTree);

    // The move's side includes its journal writes (in the bench's own
    // database) but no settings writes: BenchSettings writes nothing.
    std::printf("download-folder move of %d folders x %d files (sum of 2 rounds; the move includes its journal "
                "writes, not the three settings writes)\n",
                moveFolders, files);
    std::vector<Contender> same = {{"move", WorkerMove}, {"bare copy-and-delete loop", BareCopyAndDelete},
                                   {"bare rename loop", BareRename}};
    RunRounds(work, work, moveFolders, files, same);
    std::printf("same volume: move of %d files: %.3f s, bare copy-and-delete loop (%d files): %.3f s, ratio %.2f "
                "(goal <= 0.25); bare rename loop (%d files): %.3f s, ratio %.2f\n",
                same[0].files, same[0].seconds, same[1].files, same[1].seconds, same[0].seconds / same[1].seconds,
                same[2].files, same[2].seconds, same[0].seconds / same[2].seconds);
    if (other != L"-") {
        CreateDirectoryW(other.c_str(), nullptr);
        std::vector<Contender> across = {{"move", WorkerMove}, {"bare copy-and-delete loop", BareCopyAndDelete}};
        RunRounds(work, other, moveFolders, files, across);
        std::printf("across volumes: move of %d files: %.3f s, bare copy-and-delete loop (%d files): %.3f s, "
                    "ratio %.2f (goal <= 1.25)\n",
                    across[0].files, across[0].seconds, across[1].files, across[1].seconds,
                    across[0].seconds / across[1].seconds);
        RemoveDirectoryW(other.c_str());
    } else {
        std::printf("across volumes: not measured (no other volume given)\n");
    }
    db::Database(db::Store::User).Close();
    DeleteFileW((work + L"\\mydatabase.db").c_str());
    RemoveDirectoryW(work.c_str());
    return 0;
}
