#pragma once
// Startup switches in the change journal. A switch the user asks for is
// recorded before it is made; switching back finds the entry again by its
// identity, wherever the switch left it (in place, or in the program's
// keeping), and gives it the state it had.
#include <vector>

#include "db/local_database.h"
#include "startup/startup_item.h"

namespace startup {

// Whether `listed` is the entry `recorded` names: the same Run value (hive,
// key and value name) or the same shortcut (its path), letter case aside.
bool SameEntry(const StartupItem& listed, const StartupItem& recorded);

// The entry of `items` that `recorded` names, one in the state `recorded`
// has first (an entry can be listed twice: kept while switched off, and a
// new one of the same name in place); null when none is.
const StartupItem* FindEntry(const std::vector<StartupItem>& items, const StartupItem& recorded);

// The callers of the two below hold the operation lock (the command line's
// or the window's share): both first forget the kept rows of entries back in
// place (ForgetEntriesBackInPlace).

// Gives `item` the state `disabled` through the one switcher, its journal
// row written first; false, without a row, when either fails.
bool SwitchRecorded(StartupItem& item, bool disabled, int windowsGeneration);

enum class SwitchBack { Done, Gone, Failed };

// Gives the entry of `row` the state it had before that switch. An entry
// that has it already is left alone and counts as done.
SwitchBack SwitchBackRecorded(const db::StartupSwitchRow& row, int windowsGeneration);

}  // namespace startup
