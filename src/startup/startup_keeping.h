#pragma once
// Switching entries off where Windows has no approval values (Windows 7,
// generations the program does not recognise): the entry is moved whole
// into the program's keeping (tbl_startupkept) and moved back when it is
// switched on. The record is written before the entry leaves its place, and
// removed only once the entry is back, so a failure never loses it.
#include <vector>

#include "startup/kept_entry.h"
#include "startup/startup_item.h"

namespace startup {

// The listed entry of a kept one: switched off, naming its row.
StartupItem KeptItem(const KeptEntry& entry);

// Appends the kept entries in the order they were kept.
void AppendKeptItems(std::vector<StartupItem>& items);

// Moves a Run value or shortcut in place into keeping: its exact type and
// data, or the file's bytes, are stored, and only then is it removed. False
// with the entry where it was when anything fails.
bool KeepEntry(const StartupItem& item);

// Puts the kept entry of `item` back where it was, never over a value or
// file that took its place meanwhile, and then forgets the record.
bool PutKeptEntryBack(const StartupItem& item);

}  // namespace startup
