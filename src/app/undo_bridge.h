#pragma once
// The undo page's native functions over the one owner of undoing.
#include "core/script_bridge.h"
#include "engine/value.h"

namespace app {

// The changes that can be undone, newest first: [id, kind, when, what,
// entries, restored, backup gone, subject (the texts the window's words
// name)] each.
engine::Value GetChangeJournal(core::BridgeArgs args);

// Restores the change `args[0]` (its id): [status, entries restored, entries
// there again]. Status: 0 restored, 1 restored before, 2 no such change,
// 3 its backup is gone, 4 failed, 5 busy (the command line is at work).
engine::Value RestoreJournalChange(core::BridgeArgs args);

}  // namespace app
