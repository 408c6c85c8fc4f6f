#include "startup/startup_journal.h"

#include <optional>

#include "common/crash_point.h"
#include "common/listed_delete.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_keeping.h"
#include "startup/startup_store.h"
#include "startup/startup_switch.h"

namespace startup {

bool SameEntry(const StartupItem& listed, const StartupItem& recorded) {
    if ((listed.uFilePathFlag != 0) != (recorded.uFilePathFlag != 0)) return false;
    if (recorded.uFilePathFlag == 0) return common::SamePathText(listed.iconPath, recorded.iconPath);
    return listed.hKey == recorded.hKey && common::SamePathText(listed.strPath, recorded.strPath) &&
           common::SamePathText(listed.strName, recorded.strName);
}

const StartupItem* FindEntry(const std::vector<StartupItem>& items, const StartupItem& recorded) {
    const StartupItem* found = nullptr;
    for (const StartupItem& item : items) {
        if (!SameEntry(item, recorded)) continue;
        if ((item.bStatus != 0) == (recorded.bStatus != 0)) return &item;
        if (!found) found = &item;
    }
    return found;
}

bool SwitchRecorded(StartupItem& item, bool disabled, int windowsGeneration) {
    // Spent rows go first, so that an entry back in place is not kept twice.
    ForgetEntriesBackInPlace();
    const std::int32_t before = item.bStatus;
    item.bStatus = disabled ? 1 : 0;
    db::LocalDatabase& journal = db::Database(StoreOf(item));
    const std::optional<std::int64_t> row = journal.AddStartupSwitch(item);
    if (row) common::CrashPoint("startup.switch");
    if (row && SwitchStartupItem(item, windowsGeneration) != 0) return true;
    if (row) journal.RemoveStartupSwitch(*row);
    item.bStatus = before;
    return false;
}

SwitchBack SwitchBackRecorded(const db::StartupSwitchRow& row, int windowsGeneration) {
    ForgetEntriesBackInPlace();
    std::vector<StartupItem> items;
    EnumerateStartupItems(windowsGeneration, items);
    const StartupItem* found = FindEntry(items, row.item);
    if (!found) return SwitchBack::Gone;
    const bool wasDisabled = row.item.bStatus == 0;
    if ((found->bStatus != 0) == wasDisabled) return SwitchBack::Done;
    StartupItem item = *found;
    item.bStatus = wasDisabled ? 1 : 0;
    return SwitchStartupItem(item, windowsGeneration) != 0 ? SwitchBack::Done : SwitchBack::Failed;
}

}  // namespace startup
