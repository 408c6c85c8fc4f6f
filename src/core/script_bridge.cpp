#include "core/script_bridge.h"

#include "core/worker_tasks.h"

namespace core {

ScriptBridge::ScriptBridge(std::span<const BridgeRow> rows) {
    for (const BridgeRow& row : rows) rowsByLength_[row.name.size()].push_back(row);
}

std::optional<engine::Value> ScriptBridge::Call(std::string_view name, BridgeArgs args) const {
    const auto group = rowsByLength_.find(name.size());
    if (group == rowsByLength_.end()) return std::nullopt;
    for (const BridgeRow& row : group->second) {
        if (row.name != name) continue;
        // A known name with another argument count is not handled either.
        if (row.argumentCount != args.size()) return std::nullopt;
        try {
            return row.operation(args);
        } catch (...) {
            LogFailure("Native function ", name);
        }
        return kCallFailed;
    }
    return std::nullopt;
}

}  // namespace core
