#include "app/script_bridge.h"

#include <exception>
#include <string>

#include "app/log_file.h"

namespace app {

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
        } catch (const std::exception& error) {
            LogFile::Instance().Write(std::string("Native function ") + std::string(name) + " failed: " + error.what());
        } catch (...) {
            LogFile::Instance().Write("Native function " + std::string(name) + " failed");
        }
        return kCallFailed;
    }
    return std::nullopt;
}

}  // namespace app
