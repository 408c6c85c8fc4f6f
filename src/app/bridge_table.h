#pragma once
// The window's table of native functions: every bridge the documents can call.
#include "core/script_bridge.h"

namespace app {

const core::ScriptBridge& NativeFunctions();

}  // namespace app
