// The table of native functions the documents can call: name, exact
// argument count, operation. One row per function.
#include "app/bridge_table.h"

#include "app/keep_bridge.h"
#include "app/power_request.h"
#include "app/single_instance.h"
#include "app/task_bridge.h"
#include "app/undo_bridge.h"
#include "app/update_check.h"
#include "core/script_bridge.h"
#include "core/settings_store_bridge.h"
#include "disk/clean_amount.h"
#include "disk/download_folders.h"
#include "disk/download_move.h"
#include "disk/drive_figures.h"
#include "disk/move_counters.h"
#include "disk/path_sizes.h"
#include "disk/system_disk_clean.h"
#include "disk/system_disk_scan.h"
#include "junk/category_policy.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"
#include "junk/result_rows.h"
#include "registry/registry_scan_task.h"
#include "services/service_bridge.h"
#include "startup/startup_bridge.h"
#include "suite/health_status.h"
#include "suite/one_click_scan.h"

namespace app {

namespace {

constexpr core::BridgeRow kRows[] = {
    {"StopWorking", 0, StopWorking},
    {"GetPopupZoneBit", 0, GetPopupZoneBit},
    {"ScanJunkFile", 1, junk::ScanJunkFile},
    {"GetErrorDetails", 4, junk::GetErrorDetails},
    {"RepairChoose", 2, junk::RepairChoose},
    {"GetChooseStatistics", 2, junk::GetChooseStatistics},
    {"GetTurnedOffCategories", 0, junk::GetTurnedOffCategories},
    {"getRightTopInfo", 0, core::getRightTopInfo},
    {"SetShowLanguage", 1, core::SetShowLanguage},
    {"GetShowLanguage", 0, core::GetShowLanguage},
    {"ScanRegistry", 1, registry::ScanRegistry},
    {"HomeScan", 0, suite::HomeScan},
    {"getHealthStatus", 0, suite::GetHealthStatus},
    {"GetStartupInfo", 0, startup::GetStartupInfo},
    {"SetStartupInfo", 1, startup::SetStartupInfo},
    {"SetSingleStartupInfo", 2, startup::SetSingleStartupInfo},
    {"GetServersInfo", 0, services::GetServersInfo},
    {"SetSingleServerStatus", 2, services::SetSingleServerStatus},
    {"GetServerOpLog", 0, services::GetServerOpLog},
    {"DeleteServerOpLog", 3, services::DeleteServerOpLog},
    {"GetChangeJournal", 0, GetChangeJournal},
    {"RestoreChange", 1, RestoreJournalChange},
    {"GetKeepList", 0, GetKeepList},
    {"GetPolicyKeepList", 0, GetPolicyKeepList},
    {"KeepListedItem", 3, KeepListedItem},
    {"UnkeepItem", 1, RemoveKeptItem},
    {"GetKeepListNotice", 0, GetKeepListNotice},
    {"ConfirmKeepListLoss", 0, AcknowledgeKeepListLoss},
    {"getHaveRunshow", 0, getHaveRunshow},
    {"GetAppVersion", 0, GetAppVersion},
    {"GetDiskSize", 1, disk::GetDiskSize},
    {"GetDrivesInfo", 0, disk::GetDrivesInfo},
    {"GetDeleteDiskSize", 0, disk::GetDeleteDiskSize},
    {"SetScandiskEntry", 0, disk::SetScandiskEntry},
    {"CleanSystemFile", 2, disk::CleanSystemFile},
    {"GetFileOrDirSize", 1, disk::GetFileOrDirSize},
    {"GetDownloadDir", 0, disk::GetDownloadDir},
    {"GetCopyMoveDiskPath", 2, disk::GetCopyMoveDiskPath},
    {"GetCopyNumber", 1, disk::GetCopyNumber},
    {"FinishOtherOperate", 1, FinishOtherOperate},
};

}  // namespace

const core::ScriptBridge& NativeFunctions() {
    static const core::ScriptBridge bridge(kRows);
    return bridge;
}

}  // namespace app
