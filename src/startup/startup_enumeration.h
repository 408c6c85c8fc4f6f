#pragma once
// Building the list of autostart entries.
#include "startup/startup_item.h"

namespace startup {

// Refills StartupItemList: the Run values of the six keys in order, the
// shortcuts of the user's and then the all-users Startup folder, and last the
// shortcuts switched off earlier, from tbl_startupinfo. On Windows 8.1 and 10
// (`windowsGeneration` above 7) the Run values and shortcuts take their state
// from the approval values; elsewhere they are all enabled.
void EnumerateStartupItems(int windowsGeneration);

}  // namespace startup
