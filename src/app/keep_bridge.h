#pragma once
// The keep list's native functions: the detail window keeps a listed row,
// the undo page shows the list and takes items off it.
#include "core/script_bridge.h"
#include "engine/value.h"

namespace app {

// The kept texts, oldest first; an empty array when the list cannot be read.
engine::Value GetKeepList(core::BridgeArgs args);

// The texts the organisation's policy keeps, which the page shows without a
// remove button; an empty array when there are none or it cannot be read.
engine::Value GetPolicyKeepList(core::BridgeArgs args);

// Keeps the row `args[2]` (its position) of the list of kind `args[0]`,
// category `args[1]`, and takes it off that list: 0 kept, 1 no such row,
// 2 busy (a scan or clean is at work on the lists), 3 not stored.
engine::Value KeepListedItem(core::BridgeArgs args);

// Takes the text `args[0]` off the keep list: 0 removed, 1 not in the list,
// 2 failed.
engine::Value RemoveKeptItem(core::BridgeArgs args);

// What the main page tells at its start, once: {"recovery": what the start
// recovered from a database it set aside, or null; "lost": the set-aside
// file while the keep list's loss is unconfirmed, or null}. A recovery is
// {"aside", "keepList", "startupKept", "undo"}, each part [rows, whole].
engine::Value GetKeepListNotice(core::BridgeArgs args);

// The user has seen that the keep list was lost: 0 confirmed, 1 nothing to
// confirm, 2 failed.
engine::Value AcknowledgeKeepListLoss(core::BridgeArgs args);

}  // namespace app
