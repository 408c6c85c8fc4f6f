#pragma once
// The registry issue lists as result rows of kind 0: counted, paged and
// cleaned through the same row and selection machinery as the junk lists.
#include "junk/result_kinds.h"

namespace registry {

const junk::ResultKind& RegistryRows();

// "HKEY_LOCAL_MACHINE\" and the like for the root; empty for a root
// without a name.
std::wstring RootPrefix(std::uint32_t root);

}  // namespace registry
