#pragma once
// Changing a service's start type so that it can always be undone: the one
// place where the window and the command line change start types.
#include <string>

#include "db/local_database.h"

namespace services {

// Records the service's present start type in the operation log, then gives
// it `startType` (2, 10, 3 or 4). False, with the service as it was and no
// record left, when the type is not applicable, the present type or the
// record cannot be had, or the change fails.
bool ChangeStartTypeLogged(const std::wstring& serviceName, int startType);

// Gives the logged service back the start type of `record` and removes the
// record (so a change is restored once); false, with the record kept, when
// the service cannot take it.
bool RestoreLoggedChange(const db::ServiceOperationRow& record);

}  // namespace services
