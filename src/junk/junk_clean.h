#pragma once
// The clean: deletes what the user ticked, remembers what could not be
// deleted, and updates the stored statistics at its end.
#include <string>
#include <string_view>
#include <vector>

#include "common/listed_delete.h"
#include "core/script_bridge.h"
#include "junk/junk_lists.h"
#include "junk/result_kinds.h"
#include "junk/result_rows.h"

namespace junk {

// Deletes folder + name through the deletion owner (common/listed_delete.h):
// only when that path leads to that very file, clearing a read-only
// attribute where needed. 1 when the file is gone (also when it was gone
// already), else 0. Never deletes folders nor what the keep list keeps.
int CleanJunkFile(std::wstring_view name, std::wstring_view folder);

// Removes `folder` with all its sub-folders, bottom-up, when the whole tree
// holds no file; otherwise removes the file-free sub-trees below it and keeps
// the folder. Never enters or removes a link, nor a folder reached through
// one. Non-zero when `folder` itself was removed.
int RemoveEmptyFolderTree(const std::wstring& folder);

// Deletes what a scan listed in `list` and `emptyFolders` as a category's
// clean does (below), for lists of the caller's own: first the file-free
// folders (`emptyFolders` is emptied), then the files, then the folders
// that their going leaves empty. What the keep list keeps stays; a keep list
// that cannot be read stops the deletions, and so does the stop flag.
common::DeleteTally CleanListedFiles(const JunkFileList& list, JunkFileList& emptyFolders);

// CleanListedFiles for lists of category `category` of the caller's own,
// unless the category's browser holds its cache (BrowserHoldsCache, asked
// before anything goes): then nothing is deleted, every file counts as in
// use and the category's state becomes Held.
common::DeleteTally CleanCategoryFiles(int category, const JunkFileList& list, JunkFileList& emptyFolders);

// Cleans junk category `category`: first the file-free folders its scan
// listed (its EmptyFolderList), then its files (the recycle bin in one shell
// call, unless it holds a kept item); reports what went and empties its
// lists. Files kept since the scan stay; files that could not be deleted go
// to the UndeletableList and count neither as cleaned nor as freed. A
// browser that holds its cache keeps all of it: the category is not
// reported as cleaned, its list stays and its state becomes Held.
CategoryCleaned CleanJunkCategory(int category, CleanRun& run);

// The clean worker, owning the parsed selection.
void RunClean(const std::vector<SelectionElement>& selection);

// What the trail names a clean's selection by, as orvane names its own:
// "window, clean junk.temp registry.software" (each category's id in
// selection order; the files that failed to delete before as "undeletable").
std::wstring CleanTrailText(const std::vector<SelectionElement>& selection);

// Starts a clean of the selection from the page `args[1]` (8, 16, 32 or 128):
// 0, -3 for another page value or a selection text too long to be one, the
// busy word when a clean (or a worker sharing its lists) runs,
// core::kPolicyUnreadable, or core::kPolicyTurnsOff when the selection names
// a category the policy turns off (nothing is cleaned).
engine::Value RepairChoose(core::BridgeArgs args);

// Makes sure HKEY_CURRENT_USER\`keyPath` exists and, in mode 1, that
// `valueName` in it is a properly terminated string (an empty one if not).
void CheckJunkRegistryKey(const wchar_t* keyPath, const wchar_t* valueName, int mode);

}  // namespace junk
