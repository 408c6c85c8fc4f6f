#pragma once
// Whether a browser holds its cache now, so that nothing of it is deleted:
// a running browser rewrites its cache files under the cleaner, and a cache
// half deleted under it is worse than one left whole.
#include <functional>
#include <string_view>

#include "junk/app_caches.h"
#include "junk/junk_lists.h"

namespace junk {

// Whether a process whose program file is named `program` ("chrome.exe",
// letter case aside) runs on the machine.
bool ProgramRuns(std::wstring_view program);

// Tests stand in for the machine's processes with `runs`; an empty function
// gives the machine back.
void SetProgramRunsForTests(std::function<bool(std::wstring_view program)> runs);

// Whether another program holds one of the listed files: it is open there
// without sharing deletion, or locked.
bool ListedFileHeld(const JunkFileList& list);

// Whether `browser` holds its cache: its program runs, or it holds one of
// the files its scan listed in `list`. Decided before anything of it goes.
bool BrowserHoldsCache(const Browser& browser, const JunkFileList& list);

}  // namespace junk
