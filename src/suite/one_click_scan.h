#pragma once
// "Scan All": the seven registry categories and every junk category (the
// browsers and applications included) in one worker, then the health score
// and the stored results.
#include "core/script_bridge.h"

namespace suite {

// HomeScan(): 0 when the scan started, else the busy word or
// core::kPolicyUnreadable.
engine::Value HomeScan(core::BridgeArgs args);

}  // namespace suite
