#include "services/service_change.h"

#include <cstdint>
#include <optional>

#include "common/ansi_text.h"
#include "common/crash_point.h"
#include "db/local_database.h"
#include "services/start_type.h"

namespace services {

ChangeOutcome ChangeDecision(DWORD serviceType, int presentStartType, int startType) {
    if (!IsApplicableStartType(startType)) return ChangeOutcome::UnknownStartType;
    const bool win32 = (serviceType & SERVICE_WIN32) != 0 && (serviceType & (SERVICE_DRIVER | SERVICE_ADAPTER)) == 0;
    if (!win32) return ChangeOutcome::Driver;
    // A restore gives back only the types a change gives: anything else
    // would be lost.
    if (!IsApplicableStartType(presentStartType)) return ChangeOutcome::Unrestorable;
    return ChangeOutcome::Changed;
}

const wchar_t* ChangeReason(ChangeOutcome outcome) {
    switch (outcome) {
    case ChangeOutcome::Changed: break;
    case ChangeOutcome::UnknownStartType: return L"This start type cannot be set.";
    case ChangeOutcome::Unreadable: return L"The service cannot be read.";
    case ChangeOutcome::Driver: return L"This is a driver: only services are changed.";
    case ChangeOutcome::Unrestorable:
        return L"Its present start type could not be given back, so it is not changed.";
    case ChangeOutcome::NotRecorded: return L"The change could not be recorded, so it was not made.";
    case ChangeOutcome::Failed: return L"The service manager refused the change.";
    }
    return L"";
}

ChangeOutcome ChangeStartTypeLogged(const std::wstring& serviceName, int startType) {
    const std::optional<ServiceConfig> present = ReadServiceConfig(serviceName);
    if (!present) return ChangeOutcome::Unreadable;
    if (const ChangeOutcome decision = ChangeDecision(present->serviceType, present->startType, startType);
        decision != ChangeOutcome::Changed)
        return decision;
    // The record of the type the service has now is written first: a change
    // that could not be undone is not made.
    const std::optional<std::int64_t> record =
        db::Database(db::Store::Machine).AddServiceOperation(serviceName, present->startType, startType);
    if (!record) return ChangeOutcome::NotRecorded;
    common::CrashPoint("service.change");
    if (!ChangeServiceStartType(startType, serviceName)) {
        db::Database(db::Store::Machine).DeleteServiceOperation(*record);
        return ChangeOutcome::Failed;
    }
    return ChangeOutcome::Changed;
}

ServiceRestore RestoreLoggedChange(const db::ServiceOperationRow& record) {
    if (record.restored) return {Restore::AlreadyRestored};
    const std::wstring name = common::FromAnsi(record.servrName);
    const std::optional<int> present = ReadServiceStartType(name);
    if (!present) return {Restore::Failed};
    // A type set since the change is the user's: it stays, and the change
    // is settled.
    if (*present != record.newStatus)
        return {db::Database(db::Store::Machine).MarkServiceOperationRestored(record.id) ? Restore::ChangedSince
                                                                                         : Restore::Failed,
                *present};
    if (!ChangeServiceStartType(record.oldStatus, name)) return {Restore::Failed, *present};
    // Given back but not marked: a retry finds the type changed since and
    // settles it without touching the service.
    if (!db::Database(db::Store::Machine).MarkServiceOperationRestored(record.id))
        return {Restore::Failed, record.oldStatus};
    return {Restore::Restored, record.oldStatus};
}

}  // namespace services
