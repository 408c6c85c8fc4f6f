#pragma once
// Building the list of autostart entries.
#include <vector>

#include "startup/startup_item.h"

namespace startup {

// Refills StartupItemList: the Run values of the six keys in order, the
// shortcuts of the user's and then the all-users Startup folder, the
// shortcuts that earlier versions switched off (rows of tbl_startupinfo),
// and last the entries kept while switched off (tbl_startupkept). On
// Windows 8 and later (`windowsGeneration` above 7) the Run values and
// shortcuts take their state from the approval values; elsewhere they are
// all enabled. The rows are always off. A kept entry found back in place,
// exactly as kept, is listed once, in place; listing never changes a row.
void EnumerateStartupItems(int windowsGeneration);
// The same list into `items`, leaving the page's list as it is.
void EnumerateStartupItems(int windowsGeneration, std::vector<StartupItem>& items);

}  // namespace startup
