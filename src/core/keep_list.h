#pragma once
// The user's keep list: files, folders and registry entries that are never
// listed as junk or issues again and never deleted. The list in effect is
// the machine store's and the account's together: an item inside the
// account's profile or HKEY_CURRENT_USER is kept in the account's store, any
// other in the machine's, which only an elevated process changes. The scans and cleans, on workers, match against the list as it
// was last read, and a deletion first asks the database (cheaply) whether
// another program changed it since.
//
// The list fails closed: until it has been read, when either store's cannot be read, and
// while a loss of it with a damaged database is not confirmed, nothing that
// deletes may start, and a deletion already running stops at its next item.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/keep_match.h"
#include "db/local_database.h"

namespace core {

// The last list read (or published), for the scans, which only leave kept
// items out; never null, empty before the first read. Safe from any thread.
std::shared_ptr<const common::KeptItems> KeptItemsNow();
// Publishes `items` (normal keep texts) as the list, known and readable,
// tied to no database: for a test that runs a cleaner alone.
void PublishKeptItems(common::KeptItems items);
// Reads the stored list and publishes it; false when it cannot be read, and
// the list published before stays.
bool RefreshKeptItems();

// Why deleting may not go on.
enum class KeepRefusal {
    None,
    Unreadable,  // never read, or the last read failed
    Lost,        // lost with a damaged database; not yet confirmed
};
// The refusal as the list stands now, not read again.
KeepRefusal KeepRefusalNow();
// For a task that deletes, before it starts: reads the list afresh.
KeepRefusal DeletionRefusal();
// For each item a cleaner is about to delete: the list as stored now, read
// again when another connection to the database committed since the last
// read; null when deleting must stop (the list cannot be read, or is not
// known), which also makes the refusal Unreadable until a read succeeds.
std::shared_ptr<const common::KeptItems> KeptItemsForDeletion();
// A test's seam: runs at the start of every KeptItemsForDeletion, so that a
// test can act between two deletions. An empty function removes it.
void SetDeletionCheckHook(std::function<void()> hook);

// The set-aside file the list was lost with, while the loss is unconfirmed.
std::optional<db::KeepListLoss> KeepListLossNow();
// The user has seen that the list was lost: deleting may go on with the list
// as it is now. How many records of a loss went (0: there was none);
// nothing when that failed.
std::optional<std::int64_t> ConfirmKeepListLoss();

// The stored list, the machine's then the account's, each oldest first;
// nothing when either cannot be read.
std::optional<std::vector<db::KeepItemRow>> ReadKeepList();

// The store that keeps the normal keep text `normal`: the account's for
// what lies below HKEY_CURRENT_USER or its profile folder `profile`.
db::Store KeepStoreOf(std::wstring_view normal, std::wstring_view profile);

enum class KeepResult {
    Done,
    Unchanged,
    Failed,
    NotPermitted,  // the machine's list, without elevation
};
// Stores the normal text of `text` in its store unless the list holds that
// text already (letter case aside: Unchanged); publishes the list.
KeepResult KeepItem(std::wstring_view text);
// Removes every stored text that is the normal text of `text`, letter case
// aside (none: Unchanged), from both stores; publishes the list.
KeepResult UnkeepItem(std::wstring_view text);

}  // namespace core
