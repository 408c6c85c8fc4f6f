#pragma once
// The service page's native functions. The page names a service by its index
// in ServiceList, as the latest GetServersInfo numbered it, and sees every
// start-type change it makes in the operation log, from which a change can
// be undone.
#include <vector>

#include "core/script_bridge.h"
#include "services/service_entry.h"

namespace services {

// One array per entry: display name, key name, binary path, start type,
// index, description, the four recommendation codes, current state. The
// undefined value for no entry.
engine::Value ServiceListValue(const std::vector<ServiceEntry>& entries);

engine::Value GetServersInfo(core::BridgeArgs args);
// (index, start type) answers true when the type was changed, else the
// reason it was not (a text, services::ChangeReason), or false for a request
// that names no listed service or start type. The change is logged, with the
// type it replaces, before it is made; a change whose record cannot be
// written is not made.
engine::Value SetSingleServerStatus(core::BridgeArgs args);
// One array per log record not yet restored of a listed service: display
// name, key name, binary path, start type now, record id, description, old
// type, new type, "date time". Records of services not in the list are left
// out and kept.
// The undefined value when no record is shown, 0 before any GetServersInfo.
engine::Value GetServerOpLog(core::BridgeArgs args);
// (record id, key name, old type) sets the service back to the type the
// record holds, when it still has the type the record gave it, and marks the
// record restored: 1 when both were done, 2 when the service has a type set
// since (kept as it is, the record settled), else 0 (also when the request
// does not match the record, or it was restored before).
engine::Value DeleteServerOpLog(core::BridgeArgs args);

}  // namespace services
