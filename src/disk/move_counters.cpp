#include "disk/move_counters.h"

#include <string>

namespace disk {

MoveCounters& DownloadMoveCounters() {
    static MoveCounters counters;
    return counters;
}

int MovePercent(int copied, int copyFailed, int total) {
    if (total < 0) return -1;
    if (total == 0) return 100;
    return static_cast<int>((static_cast<std::int64_t>(copied) + copyFailed) * 100 / total);
}

engine::Value GetCopyNumber(app::BridgeArgs) {
    // Each counter is read once: the page tolerates values of two moments.
    const MoveCounters& counters = DownloadMoveCounters();
    const int copyFailed = counters.copyFailed;
    const int copied = counters.copied;
    const int total = counters.total;
    return engine::Value::Array({copyFailed, copied, counters.deleteFailed.load(), counters.deleted.load(), total,
                                 std::to_wstring(counters.bytesCopied.load()),
                                 MovePercent(copied, copyFailed, total)});
}

}  // namespace disk
