#pragma once
// The junk scan: every category walked in order on a worker, each reported
// to the page as soon as it is done.
#include "core/policy.h"
#include "core/script_bridge.h"
#include "junk/junk_categories.h"
#include "junk/junk_lists.h"

namespace junk {

// Empties the lists and their EmptyFolderLists; every state is Ready again.
void ResetJunkLists();

// Walks each of `roots` as `plan`'s walker does (the folder walk for the
// recycle bin's folders) and lists the plan's single files, then takes out
// of both lists what the keep list keeps. False when the stop flag ended the
// walk.
bool WalkCategoryRoots(const CategoryPlan& plan, const std::vector<std::wstring>& roots, JunkFileList& list,
                       JunkFileList& emptyFolders);

// Walks category `category` into its list as every junk scan does, then
// hides the entries of the UndeletableList and what the keep list keeps, and
// sets its state: Absent (nothing walked) when its program is not there,
// Held when its browser runs. False when the stop flag ended the walk (the
// list then holds what was found so far).
bool ScanJunkCategory(int category, const CategorySources& sources);

// The worker: every category, its reports, and "WaitCleanSize" at the end. A
// category `policy` turns off is not walked: it is reported empty.
void RunJunkScan(const core::Policy& policy);

// Starts the junk scan worker (the argument is not read): 0, the busy word
// when another task refuses it, or core::kPolicyUnreadable.
engine::Value ScanJunkFile(core::BridgeArgs args);

}  // namespace junk
