#include "startup/startup_enumeration.h"

#include <windows.h>
#include <shlobj.h>

#include "db/local_database.h"
#include "startup/run_keys.h"
#include "startup/startup_approved.h"
#include "startup/startup_folder.h"

namespace startup {

std::vector<StartupItem>& StartupItemList() {
    static std::vector<StartupItem> list;
    return list;
}

void EnumerateStartupItems(int windowsGeneration) {
    std::vector<StartupItem>& items = StartupItemList();
    items.clear();
    for (const RunKey& key : RunKeys()) ReadRunKey(key, items);
    for (const int folder : {CSIDL_STARTUP, CSIDL_COMMON_STARTUP}) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetSpecialFolderPathW(nullptr, path, folder, FALSE)) ScanStartupFolder(path, items);
    }
    if (windowsGeneration > 7) ApplyStartupApproved(items);
    db::Database().ReadDisabledStartupItems(items);
}

}  // namespace startup
