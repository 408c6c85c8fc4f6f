#pragma once
// The user's keep list: files, folders and registry entries that are never
// listed as junk or issues again and never deleted. Stored in the local
// database; the scans and cleans, on workers, match against the list as it
// was last published, never asking the database per item.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/keep_match.h"
#include "db/local_database.h"

namespace app {

// The list as last published; never null. Safe from any thread.
std::shared_ptr<const common::KeptItems> KeptItemsNow();
// Publishes `items` (normal keep texts) for the workers.
void PublishKeptItems(common::KeptItems items);
// Reads the stored list and publishes it; false when it cannot be read, and
// the list published before stays (nothing kept is ever dropped for a
// failed read).
bool RefreshKeptItems();

// The stored list, oldest first; nothing when it cannot be read.
std::optional<std::vector<db::KeepItemRow>> ReadKeepList();

enum class KeepResult { Done, Unchanged, Failed };
// Stores the normal text of `text` unless the list holds that text already
// (letter case aside: Unchanged); publishes the list.
KeepResult KeepItem(std::wstring_view text);
// Removes every stored text that is the normal text of `text`, letter case
// aside (none: Unchanged); publishes the list.
KeepResult UnkeepItem(std::wstring_view text);

}  // namespace app
