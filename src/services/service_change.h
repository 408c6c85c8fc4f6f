#pragma once
// Changing a service's start type so that it can always be undone: the one
// place where the window and the command line change start types.
#include <string>

namespace services {

// Records the service's present start type in the operation log, then gives
// it `startType` (2, 10, 3 or 4). False, with the service as it was and no
// record left, when the type is not applicable, the present type or the
// record cannot be had, or the change fails.
bool ChangeStartTypeLogged(const std::wstring& serviceName, int startType);

}  // namespace services
