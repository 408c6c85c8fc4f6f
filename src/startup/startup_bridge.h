#pragma once
// The startup page's native functions. The page names an entry by its index
// in StartupItemList, as the latest GetStartupInfo numbered it.
#include <string_view>
#include <vector>

#include "core/script_bridge.h"
#include "startup/startup_item.h"

namespace startup {

// One [description, company, icon path, state, index] array per entry; the
// undefined value for no entry.
engine::Value StartupListValue(const std::vector<StartupItem>& items);

// Switches entry `index` to `disabled` unless it already has that state,
// recorded in the change journal.
// False for an index outside the list or a failed switch.
bool SetStartupItemState(int index, bool disabled, int windowsGeneration);

// Switches every entry whose element of the JSON array (8-bit text) asks,
// through its member "four", for another state than the entry has.
// Unparsable text and elements without a state are ignored.
void SetStartupItemStates(std::string_view json, int windowsGeneration);

engine::Value GetStartupInfo(core::BridgeArgs args);
// The two switches hold the window's share of the operation lock and switch
// nothing (false, 0) while the command line holds it.
// (index, state): true or 1 disables, false or 0 enables.
engine::Value SetSingleStartupInfo(core::BridgeArgs args);
// (JSON text) answers 0.
engine::Value SetStartupInfo(core::BridgeArgs args);

}  // namespace startup
