#include "services/service_bridge.h"

#include <algorithm>
#include <optional>
#include <string>

#include "common/ansi_text.h"
#include "db/local_database.h"
#include "db/row_access.h"
#include "engine/shell_launch.h"
#include "services/recommendation.h"
#include "services/service_change.h"
#include "services/service_enumeration.h"
#include "services/start_type.h"

namespace services {

std::vector<ServiceEntry>& ServiceList() {
    static std::vector<ServiceEntry> list;
    return list;
}

engine::Value ServiceListValue(const std::vector<ServiceEntry>& entries) {
    if (entries.empty()) return {};
    engine::Value list = engine::Value::Array();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ServiceEntry& entry = entries[i];
        list.Append(engine::Value::Array({entry.displayName, entry.serviceName, entry.binaryPath,
                                          static_cast<int>(entry.startType), static_cast<int>(i), entry.description,
                                          entry.suguestStatus, entry.forbitRate, entry.startTime, entry.categoty,
                                          static_cast<int>(entry.currentState)}));
    }
    return list;
}

engine::Value GetServersInfo(core::BridgeArgs) {
    std::vector<db::ServiceRecommendationRow> rows;
    db::Database(db::Store::Machine).ReadServiceRecommendations(rows);
    std::vector<ServiceEntry>& entries = ServiceList();
    entries.clear();
    EnumerateServices(entries);
    ApplyRecommendations(entries, rows);
    return ServiceListValue(entries);
}

engine::Value SetSingleServerStatus(core::BridgeArgs args) {
    const std::optional<int> index = args[0].AsInt();
    const std::optional<int> startType = args[1].AsInt();
    std::vector<ServiceEntry>& entries = ServiceList();
    if (!index || !startType || *index < 0 || static_cast<std::size_t>(*index) >= entries.size() ||
        !IsApplicableStartType(*startType))
        return false;
    ServiceEntry& entry = entries[static_cast<std::size_t>(*index)];
    const ChangeOutcome outcome = ChangeStartTypeLogged(entry.serviceName, *startType);
    if (outcome != ChangeOutcome::Changed) return ChangeReason(outcome);
    entry.startType = static_cast<std::uint32_t>(*startType);
    return true;
}

engine::Value GetServerOpLog(core::BridgeArgs) {
    std::vector<db::ServiceOperationRow> records;
    db::Database(db::Store::Machine).ReadServiceOperations(records);
    const std::vector<ServiceEntry>& entries = ServiceList();
    if (entries.empty()) return 0;
    // Records of services missing from the list are left out, and kept; so
    // are the restored ones, which are done with.
    engine::Value log = engine::Value::Array();
    for (const db::ServiceOperationRow& record : records) {
        if (record.restored) continue;
        const std::wstring name = common::FromAnsi(record.servrName);
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [&](const ServiceEntry& candidate) { return candidate.serviceName == name; });
        if (entry == entries.end()) continue;
        log.Append(engine::Value::Array({entry->displayName, entry->serviceName, entry->binaryPath,
                                         static_cast<int>(entry->startType), record.id, entry->description,
                                         record.oldStatus, record.newStatus,
                                         common::FromAnsi(record.data + " " + record.time)}));
    }
    if (log.Items().empty()) return {};
    return log;
}

engine::Value DeleteServerOpLog(core::BridgeArgs args) {
    const std::optional<int> id = args[0].AsInt();
    const std::optional<int> oldType = args[2].AsInt();
    if (!id || !oldType) return 0;
    std::vector<db::ServiceOperationRow> records;
    if (!db::Database(db::Store::Machine).ReadServiceOperations(records)) return 0;
    // The record decides what is restored; a request that does not match it
    // restores nothing.
    const auto record = std::find_if(records.begin(), records.end(),
                                     [&](const db::ServiceOperationRow& row) { return row.id == *id; });
    if (record == records.end() || common::FromAnsi(record->servrName) != args[1].ToText() ||
        record->oldStatus != *oldType)
        return 0;
    // Another account's change is its own to take back.
    if (db::AccessToRow(db::Store::Machine, record->account, db::Database(db::Store::Machine).Account(),
                        engine::ProcessIsElevated()) != db::RowAccess::Permitted)
        return 0;
    switch (RestoreLoggedChange(*record).outcome) {
    case Restore::Restored: return 1;
    case Restore::ChangedSince: return 2;
    case Restore::AlreadyRestored:
    case Restore::Failed: break;
    }
    return 0;
}

}  // namespace services
