#pragma once
// The registry repair: deletes the entries of one category's issue list.
#include <cstdint>
#include <optional>

#include "registry/registry_backup.h"
#include "registry/registry_issue.h"

namespace registry {

// What a repair did with the entries it was to remove (those kept since the
// scan aside).
struct RepairCount {
    std::uint32_t removed = 0;
    std::uint32_t left = 0;  // not removed: not saved whole, changed, gone meanwhile, or stopped before
    bool operator==(const RepairCount&) const = default;
};

// Saves each issue's value or key into `backup` (64-bit view first, then the
// 32-bit view), then deletes each entry that the backup holds and that is
// still exactly as saved. An entry that could not be saved whole stays, and
// so does what the keep list keeps. Stops early when the stop flag is raised.
// Nothing, with nothing deleted, when the backup cannot be written.
std::optional<RepairCount> RepairCategory(const RegistryIssueList& issues, RegistryBackup& backup);

}  // namespace registry
