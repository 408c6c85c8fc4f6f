#pragma once
// ScriptBridge: the one entry through which the documents' calls on their
// view reach native code. A call is handled only when its name (exact,
// case-sensitive) and its argument count both match a row of the table.
#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace core {

using BridgeArgs = std::span<const engine::Value>;
using BridgeOperation = engine::Value (*)(BridgeArgs args);

struct BridgeRow {
    std::string_view name;
    std::size_t argumentCount;
    BridgeOperation operation;
};

// The answer of a call whose operation failed with an exception (out of
// memory, for one): no exception ever reaches the engine or the page.
inline constexpr int kCallFailed = -2;

class ScriptBridge {
public:
    explicit ScriptBridge(std::span<const BridgeRow> rows);

    // The operation's result (kCallFailed when it threw; the log records
    // it), or empty when the call is not handled (no row with this name, or
    // the row takes another number of arguments).
    std::optional<engine::Value> Call(std::string_view name, BridgeArgs args) const;

private:
    // Rows grouped by name length, so a name is compared only with names of
    // its own length.
    std::map<std::size_t, std::vector<BridgeRow>> rowsByLength_;
};

}  // namespace core
