#pragma once
// The registry scan: seven fixed places of the registry, each examined for
// entries that point to files that no longer exist or that are left empty.
#include "registry/registry_issue.h"

namespace registry {

// Fills `list` with the issues of category `index` (0 to 6), in enumeration
// order, leaving out what the keep list keeps.
void ScanRegistryCategory(int index, RegistryIssueList& list);

}  // namespace registry
