#pragma once
// Calls a native function as a page would, expecting the table to handle it.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "app/script_bridge.h"

namespace testsupport {

inline engine::Value CallNative(std::string_view name, std::vector<engine::Value> args = {}) {
    const std::optional<engine::Value> result = app::NativeFunctions().Call(name, args);
    EXPECT_TRUE(result.has_value()) << name << " was not handled";
    return result.value_or(engine::Value());
}

}  // namespace testsupport
