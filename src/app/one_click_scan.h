#pragma once
// "Scan All": the seven registry categories and the thirteen junk
// categories in one worker, then the health score and the stored results.
#include "app/script_bridge.h"

namespace app {

// HomeScan(): 0 when the scan started, else the busy word.
engine::Value HomeScan(BridgeArgs args);

}  // namespace app
