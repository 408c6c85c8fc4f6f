#pragma once
// The registry repair: deletes the entries of one category's issue list.
#include <cstdint>

#include "registry/registry_backup.h"
#include "registry/registry_issue.h"

namespace registry {

// Deletes each issue's value or key (64-bit view first, then the 32-bit
// view) and answers how many deletions succeeded. Stops early when the stop
// flag is raised. What is about to be deleted is first appended to `backup`;
// when the backup cannot be written nothing is deleted and 0 is answered.
std::uint32_t RepairCategory(const RegistryIssueList& issues, RegistryBackup& backup);

}  // namespace registry
