#pragma once
// Reading the Win32 services from the service control manager.
#include <string>
#include <string_view>
#include <vector>

#include "services/service_entry.h"

namespace services {

// The binary path without its arguments: cut at the first blank after the
// last backslash, so quotes around the program stay and blanks in folder
// names do no harm. A path whose last backslash leads or ends it stays whole.
std::wstring TrimBinaryPath(std::wstring_view path);

// Appends every Win32 service (own and shared process, any state) that can
// be opened for its configuration, in the manager's order, with start type,
// description and trimmed binary path. Nothing when the manager cannot be
// opened (no administrator rights).
void EnumerateServices(std::vector<ServiceEntry>& entries);

}  // namespace services
