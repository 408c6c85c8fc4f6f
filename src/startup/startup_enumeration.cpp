#include "startup/startup_enumeration.h"

#include <windows.h>
#include <shlobj.h>

#include "db/local_database.h"
#include "startup/run_keys.h"
#include "startup/startup_approved.h"
#include "startup/startup_folder.h"
#include "startup/startup_keeping.h"

namespace startup {

std::vector<StartupItem>& StartupItemList() {
    static std::vector<StartupItem> list;
    return list;
}

void EnumerateStartupItems(int windowsGeneration) { EnumerateStartupItems(windowsGeneration, StartupItemList()); }

void EnumerateStartupItems(int windowsGeneration, std::vector<StartupItem>& items) {
    items.clear();
    for (const RunKey& key : RunKeys()) ReadRunKey(key, items);
    const struct {
        int folder;
        HKEY hive;
    } folders[] = {{CSIDL_STARTUP, HKEY_CURRENT_USER}, {CSIDL_COMMON_STARTUP, HKEY_LOCAL_MACHINE}};
    for (const auto& [folder, hive] : folders) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetSpecialFolderPathW(nullptr, path, folder, FALSE)) ScanStartupFolder(path, hive, items);
    }
    if (windowsGeneration > 7) ApplyStartupApproved(items);
    db::Database(db::Store::Machine).ReadDisabledStartupItems(items);
    AppendKeptItems(items);
}

}  // namespace startup
