// The size worker's walk on a large generated tree against a bare
// enumeration, and the download-folder move of many small files against a
// bare copy-and-delete loop, in the same run. Prints figures only.
// usage: disk_bench.exe WORK_FOLDER [FOLDERS FILES_PER_FOLDER MOVE_FOLDERS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
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
// folder, copy each file without overwriting and delete its source, then
// remove the emptied folders. Answers the files moved.
int BareMove(const std::wstring& from, const std::wstring& to) {
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
        if (CopyFileW(file.c_str(), destination.c_str(), TRUE) && DeleteFileW(file.c_str())) ++moved;
    }
    for (const std::wstring& dir : dirs) RemoveDirectoryW(dir.c_str());
    RemoveDirectoryW(from.c_str());
    return moved;
}

void RemoveTree(const std::wstring& root) {
    std::vector<std::wstring> files, dirs;
    bench::Enumerate(root, &files, &dirs);
    for (const std::wstring& file : files) DeleteFileW(file.c_str());
    for (const std::wstring& dir : dirs) RemoveDirectoryW(dir.c_str());
    RemoveDirectoryW(root.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: disk_bench.exe WORK_FOLDER [FOLDERS FILES_PER_FOLDER MOVE_FOLDERS]\n");
        return 2;
    }
    const std::wstring work = argv[1];
    const int folders = argc > 3 ? _wtoi(argv[2]) : 4000;
    const int files = argc > 3 ? _wtoi(argv[3]) : 50;
    const int moveFolders = argc > 4 ? _wtoi(argv[4]) : 400;
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

    // Two identical trees: one for the move, one for the bare loop; each
    // order once, so that neither always runs on a warmer disk.
    double move = 0, bareMove = 0;
    int moved = 0, bareMoved = 0;
    for (int round = 0; round < 2; ++round) {
        const std::wstring moveFrom = work + L"\\move", moveTo = work + L"\\moved";
        const std::wstring bareFrom = work + L"\\bare", bareTo = work + L"\\bare-moved";
        bench::MakeTree(moveFrom, moveFolders, files);
        bench::MakeTree(bareFrom, moveFolders, files);
        // The window moves only into a folder that exists (made by its dialog).
        CreateDirectoryW(moveTo.c_str(), nullptr);
        BenchSettings settings(moveFrom);
        const auto timeMove = [&] {
            start = Clock::now();
            core::ZoneBits() = core::DOWNLOAD_MOVE_WORKING;
            disk::RunDownloadMove({moveFrom}, moveTo, settings);
            move += Seconds(start);
            moved = disk::DownloadMoveCounters().deleted;
        };
        const auto timeBare = [&] {
            start = Clock::now();
            bareMoved = BareMove(bareFrom, bareTo);
            bareMove += Seconds(start);
        };
        if (round == 0) {
            timeMove();
            timeBare();
        } else {
            timeBare();
            timeMove();
        }
        RemoveTree(moveTo);
        RemoveTree(bareTo);
    }
    std::printf("move of %d files: %.3f s, bare copy-and-delete loop (%d files): %.3f s, ratio %.2f "
                "(sum of 2 rounds)\n",
                moved, move, bareMoved, bareMove, move / bareMove);
    const disk::MoveCounters& counters = disk::DownloadMoveCounters();
    std::printf("last move: %d copied, %d copy failures, %d deleted, %d delete failures, %d total\n",
                counters.copied.load(), counters.copyFailed.load(), counters.deleted.load(),
                counters.deleteFailed.load(), counters.total.load());
    db::Database(db::Store::User).Close();
    DeleteFileW((work + L"\\mydatabase.db").c_str());
    RemoveDirectoryW(work.c_str());
    return 0;
}
