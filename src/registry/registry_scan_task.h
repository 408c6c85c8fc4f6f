#pragma once
// The registry page's scan on a worker.
#include "core/script_bridge.h"

namespace registry {

// ScanRegistry(any): 0 when the scan started, else the busy word or
// core::kPolicyUnreadable.
engine::Value ScanRegistry(core::BridgeArgs args);

}  // namespace registry
