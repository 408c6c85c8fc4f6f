#pragma once
// The counters of the download-folder move, written by the move worker and
// polled by the system disk page through GetCopyNumber while it runs.
#include <atomic>
#include <cstdint>

#include "core/script_bridge.h"

namespace disk {

struct MoveCounters {
    std::atomic<int> copyFailed{0};    // negative: the download-folder settings could not be written
    std::atomic<int> copied{0};
    std::atomic<int> deleteFailed{0};  // copied, but the source could not be deleted
    std::atomic<int> deleted{0};
    std::atomic<int> total{0};         // files to move; -1 while counting or after a failure
    std::atomic<std::int64_t> bytesCopied{0};
    std::atomic<bool> finished{true};  // false while a move runs
};
MoveCounters& DownloadMoveCounters();

// -1 while the total is negative or after the settings failed, 100 when the
// total is 0, else the share of files done (copied or failed); at most 99
// until the move has finished, since the settings and the sources follow
// the copies.
int MovePercent(int copied, int copyFailed, int total, bool finished);

// [copy failures, copied, delete failures, deleted, total, bytes copied as
// decimal text, percentage].
engine::Value GetCopyNumber(core::BridgeArgs args);

}  // namespace disk
