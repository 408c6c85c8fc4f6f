// The table of native functions the documents can call: name, exact
// argument count, operation. One row per function.
#include "app/script_bridge.h"
#include "app/task_bridge.h"

namespace app {

namespace {

constexpr BridgeRow kRows[] = {
    {"StopWorking", 0, StopWorking},
    {"GetPopupZoneBit", 0, GetPopupZoneBit},
};

}  // namespace

const ScriptBridge& NativeFunctions() {
    static const ScriptBridge bridge(kRows);
    return bridge;
}

}  // namespace app
