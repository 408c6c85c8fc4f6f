#pragma once
// The registry page's scan on a worker.
#include "app/script_bridge.h"

namespace registry {

// ScanRegistry(any): 0 when the scan started, else the busy word.
engine::Value ScanRegistry(app::BridgeArgs args);

}  // namespace registry
