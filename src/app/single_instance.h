#pragma once
// getHaveRunshow: whether another running instance of the program holds the
// single-instance mutex.
#include "core/script_bridge.h"

namespace app {

// 1 when another process held the mutex when this one first asked, else 0.
// The first call takes the mutex and keeps it until the process ends; the
// main document asks again whenever it is loaded anew (a reload of the
// page), and gets the same answer.
engine::Value getHaveRunshow(core::BridgeArgs args);

}  // namespace app
