#pragma once
// One autostart entry and the process-wide list the startup page works on:
// the page names an entry by its index in the list. The entry types are the
// database's (db/startup_rows.h), which stores them as they are.
#include <vector>

#include "db/startup_rows.h"

namespace startup {

using db::KeptEntry;
using db::StartupItem;
using db::StartupOrigin;

// Only the UI thread touches it.
std::vector<StartupItem>& StartupItemList();

}  // namespace startup
