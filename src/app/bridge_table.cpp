// The table of native functions the documents can call: name, exact
// argument count, operation. One row per function.
#include "app/script_bridge.h"
#include "app/task_bridge.h"
#include "services/service_bridge.h"
#include "startup/startup_bridge.h"

namespace app {

namespace {

constexpr BridgeRow kRows[] = {
    {"StopWorking", 0, StopWorking},
    {"GetPopupZoneBit", 0, GetPopupZoneBit},
    {"GetStartupInfo", 0, startup::GetStartupInfo},
    {"SetStartupInfo", 1, startup::SetStartupInfo},
    {"SetSingleStartupInfo", 2, startup::SetSingleStartupInfo},
    {"GetServersInfo", 0, services::GetServersInfo},
    {"SetSingleServerStatus", 2, services::SetSingleServerStatus},
    {"GetServerOpLog", 0, services::GetServerOpLog},
    {"DeleteServerOpLog", 3, services::DeleteServerOpLog},
};

}  // namespace

const ScriptBridge& NativeFunctions() {
    static const ScriptBridge bridge(kRows);
    return bridge;
}

}  // namespace app
