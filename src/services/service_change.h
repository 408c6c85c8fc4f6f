#pragma once
// Changing a service's start type so that it can always be undone, and
// undoing it: the one place where the window and the command line change
// start types and give them back.
#include <windows.h>

#include <string>

#include "db/local_database.h"

namespace services {

enum class ChangeOutcome {
    Changed,
    UnknownStartType,  // the type asked for is not one a change gives (2, 10, 3, 4)
    Unreadable,        // the service or its configuration cannot be read
    Driver,            // not a Win32 service: a driver's start decides whether Windows boots
    Unrestorable,      // its present start type (boot, system, unknown) could not be given back
    NotRecorded,       // the log record could not be written
    Failed,            // the service manager refused the change
};

// Whether a service of `serviceType` whose start type is `presentStartType`
// may be given `startType`: Changed when it may, else why not.
ChangeOutcome ChangeDecision(DWORD serviceType, int presentStartType, int startType);

// The reason shown for an outcome other than Changed: the English text,
// which is also the key of its translations.
const wchar_t* ChangeReason(ChangeOutcome outcome);

// Records the service's present start type in the operation log, then gives
// it `startType`. Anything but Changed leaves the service as it was and no
// record behind.
ChangeOutcome ChangeStartTypeLogged(const std::wstring& serviceName, int startType);

enum class Restore {
    Restored,         // the service has its start type from before the change again
    ChangedSince,     // it no longer has the type the change gave it: kept as it is, the change settled
    AlreadyRestored,  // the record was restored (or settled) before
    Failed,           // the service cannot be read or cannot take the type: the record stays for a retry
};

struct ServiceRestore {
    Restore outcome = Restore::Failed;
    int startType = 0;  // the service's start type now, when it could be read
};

// Gives the logged service back the start type of `record` when it still
// has the one the record gave it, and marks the record restored, so that a
// change is restored once; a type set since is the user's and stays.
ServiceRestore RestoreLoggedChange(const db::ServiceOperationRow& record);

}  // namespace services
