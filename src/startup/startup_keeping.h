#pragma once
// Switching entries off where Windows has no approval values (Windows 7,
// generations the program does not recognise): the entry is moved whole
// into the program's keeping (tbl_startupkept of the entry's store) and moved back when it is
// switched on. The record is written before the entry leaves its place, and
// removed only once the entry is back, so a failure or a kill never loses
// it.
#include <vector>

#include "db/local_database.h"
#include "startup/startup_item.h"

namespace startup {

// The listed entry of a kept one: switched off, naming its row in `store`.
StartupItem KeptItem(const KeptEntry& entry, db::Store store);

// Whether a kept entry is back in its place: what is there is exactly what
// its row keeps (the Run value's type and data, or the shortcut's bytes).
// A process ended between writing the row and removing the entry, or
// between putting it back and forgetting the row, leaves both; such an
// entry is on, where it was, and its row is spent.
bool IsBackInPlace(const KeptEntry& entry);

// Appends the kept entries in the order they were kept, leaving out those
// back in place (they are listed once, in place).
void AppendKeptItems(std::vector<StartupItem>& items);

// Forgets the rows of the entries back in place. Only for holders of the
// operation lock, as every switch and undo is: the row of a switch under
// way in another process (written, its entry not yet removed) looks the
// same, and forgetting it would lose the entry.
void ForgetEntriesBackInPlace();

// Moves a Run value or shortcut in place into keeping: its exact type and
// data, or the file's bytes, are stored, and only then is it removed. False
// with the entry where it was when anything fails.
bool KeepEntry(const StartupItem& item);

// Puts the kept entry of `item` back where it was, never over a value or
// file that took its place meanwhile, and then forgets the record.
bool PutKeptEntryBack(const StartupItem& item);

}  // namespace startup
