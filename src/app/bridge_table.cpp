// The table of native functions the documents can call: name, exact
// argument count, operation. One row per function.
#include "app/power_request.h"
#include "app/script_bridge.h"
#include "app/single_instance.h"
#include "app/task_bridge.h"
#include "app/update_check.h"
#include "disk/clean_amount.h"
#include "disk/move_counters.h"

namespace app {

namespace {

constexpr BridgeRow kRows[] = {
    {"StopWorking", 0, StopWorking},
    {"GetPopupZoneBit", 0, GetPopupZoneBit},
    {"getHaveRunshow", 0, getHaveRunshow},
    {"GetAppVersion", 0, GetAppVersion},
    {"GetDeleteDiskSize", 0, disk::GetDeleteDiskSize},
    {"GetCopyNumber", 1, disk::GetCopyNumber},
    {"FinishOtherOperate", 1, FinishOtherOperate},
};

}  // namespace

const ScriptBridge& NativeFunctions() {
    static const ScriptBridge bridge(kRows);
    return bridge;
}

}  // namespace app
