#include "disk/move_counters.h"

#include <algorithm>
#include <string>

namespace disk {

MoveCounters& DownloadMoveCounters() {
    static MoveCounters counters;
    return counters;
}

int MovePercent(int copied, int copyFailed, int total, bool finished) {
    if (total < 0 || copyFailed < 0) return -1;
    const int percent =
        total == 0 ? 100 : static_cast<int>((static_cast<std::int64_t>(copied) + copyFailed) * 100 / total);
    return finished ? percent : std::min(percent, 99);
}

engine::Value GetCopyNumber(core::BridgeArgs) {
    // Each counter is read once: the page tolerates values of two moments.
    // A finished move has written its counters before it said so.
    const MoveCounters& counters = DownloadMoveCounters();
    const bool finished = counters.finished;
    const int copyFailed = counters.copyFailed;
    const int copied = counters.copied;
    const int total = counters.total;
    return engine::Value::Array({copyFailed, copied, counters.deleteFailed.load(), counters.deleted.load(), total,
                                 std::to_wstring(counters.bytesCopied.load()),
                                 MovePercent(copied, copyFailed, total, finished)});
}

}  // namespace disk
