#include "app/task_bridge.h"

#include "core/worker_tasks.h"

namespace app {

engine::Value StopWorking(core::BridgeArgs) {
    core::RaiseStopFlag();
    core::ZoneBits() = 0;
    return 0;
}

engine::Value GetPopupZoneBit(core::BridgeArgs) { return static_cast<int>(core::ZoneBits().load()); }

}  // namespace app
