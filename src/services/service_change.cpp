#include "services/service_change.h"

#include <cstdint>
#include <optional>

#include "common/ansi_text.h"
#include "common/crash_point.h"
#include "db/local_database.h"
#include "services/start_type.h"

namespace services {

bool ChangeStartTypeLogged(const std::wstring& serviceName, int startType) {
    if (!IsApplicableStartType(startType)) return false;
    // The record of the type the service has now is written first: a change
    // that could not be undone is not made.
    const std::optional<int> oldType = ReadServiceStartType(serviceName);
    if (!oldType) return false;
    const std::optional<std::int64_t> record = db::Database().AddServiceOperation(serviceName, *oldType, startType);
    if (!record) return false;
    common::CrashPoint("service.change");
    if (!ChangeServiceStartType(startType, serviceName)) {
        db::Database().DeleteServiceOperation(*record);
        return false;
    }
    return true;
}

bool RestoreLoggedChange(const db::ServiceOperationRow& record) {
    return ChangeServiceStartType(record.oldStatus, common::FromAnsi(record.servrName)) &&
           db::Database().DeleteServiceOperation(record.id);
}

}  // namespace services
