#pragma once
// Which store records a startup entry's switches and keeps it while it is
// off: the machine's for machine-wide entries (HKLM Run keys, the all-users
// Startup folder, and the rows of earlier versions, which only an
// administrator may change), the account's own for the rest.
#include <windows.h>

#include "db/local_database.h"
#include "startup/startup_item.h"

namespace startup {

inline db::Store StoreOf(const StartupItem& item) {
    const bool machineWide = item.origin == StartupOrigin::OldRow || item.hKey == HKEY_LOCAL_MACHINE ||
                             item.folderHive == HKEY_LOCAL_MACHINE;
    return machineWide ? db::Store::Machine : db::Store::User;
}

}  // namespace startup
