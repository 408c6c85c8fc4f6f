#pragma once
// Calls a native function through the program's table, as a document does.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "app/bridge_table.h"
#include "core/script_bridge.h"

namespace testsupport {

// The function's answer; a failure of the test (and undefined) when the
// table does not handle the call.
inline engine::Value CallNative(std::string_view name, std::vector<engine::Value> args = {}) {
    const std::optional<engine::Value> result = app::NativeFunctions().Call(name, args);
    EXPECT_TRUE(result.has_value()) << name;
    return result.value_or(engine::Value());
}

}  // namespace testsupport
