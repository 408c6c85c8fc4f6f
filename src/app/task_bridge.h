#pragma once
// Native functions of the busy word.
#include "core/script_bridge.h"

namespace app {

// Asks every running scan and clean to stop and clears the whole busy word.
engine::Value StopWorking(core::BridgeArgs args);
// The busy word; 0 when nothing runs.
engine::Value GetPopupZoneBit(core::BridgeArgs args);

}  // namespace app
