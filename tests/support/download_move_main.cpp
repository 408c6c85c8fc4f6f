// Runs one Downloads move the way the window's worker does, in a process of
// its own, so that a kill test can end it at a crash point and start
// `orvane` from the same folder afterwards (the account's data store, which
// both open, is the one the move records in). Prints the move's counters as one JSON object.
// usage: download_move.exe TARGET SOURCE...
// Exit codes: 0 every file moved, 1 not, 3 the operation lock is held.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/verified_folder.h"
#include "core/operation_lock.h"
#include "core/store_databases.h"
#include "core/worker_tasks.h"
#include "engine/shell_launch.h"
#include "db/local_database.h"
#include "disk/download_move.h"
#include "disk/move_counters.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    core::OpenStoreDatabases(engine::ProcessIsElevated());
    core::OperationLock lock;
    if (!lock.Take(0)) return 3;
    const std::wstring target = argv[1];
    const std::vector<std::wstring> sources(argv + 2, argv + argc);
    const core::TaskScope task;
    if (!common::MakeVerifiedFolder(target)) return 1;
    disk::RunDownloadMove(sources, target, disk::SystemDownloadSettings());
    const disk::MoveCounters& counters = disk::DownloadMoveCounters();
    std::printf("{\"copied\":%d,\"copyFailed\":%d,\"deleted\":%d,\"deleteFailed\":%d,\"total\":%d}\n",
                counters.copied.load(), counters.copyFailed.load(), counters.deleted.load(),
                counters.deleteFailed.load(), counters.total.load());
    lock.Release();
    const bool moved = counters.copyFailed == 0 && counters.deleteFailed == 0 && counters.copied == counters.total;
    return moved ? 0 : 1;
}
