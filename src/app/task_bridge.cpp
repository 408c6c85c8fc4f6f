#include "app/task_bridge.h"

#include "app/worker_tasks.h"

namespace app {

engine::Value StopWorking(BridgeArgs) {
    RaiseStopFlag();
    ZoneBits() = 0;
    return 0;
}

engine::Value GetPopupZoneBit(BridgeArgs) { return static_cast<int>(ZoneBits().load()); }

}  // namespace app
