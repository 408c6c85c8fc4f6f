#include "app/bridge_table.h"
#include "core/script_bridge.h"

#include <gtest/gtest.h>

#include <new>

namespace {

using core::BridgeArgs;
using engine::Value;

Value Echo(BridgeArgs args) { return args.empty() ? Value(-1) : args[0]; }
Value Seven(BridgeArgs) { return 7; }
Value Eight(BridgeArgs) { return 8; }

constexpr core::BridgeRow kRows[] = {
    {"ScanRegistry", 1, Echo},
    {"getHealthStatus", 0, Seven},
    {"GetStartupInfo", 0, Eight},  // same length as "ScanRegistry" + 2: another group
    {"HomeScan", 0, Seven},
};

TEST(ScriptBridge, MatchesNameThenArgumentCount) {
    const core::ScriptBridge bridge(kRows);
    struct Case {
        const char* name;
        std::vector<Value> args;
        std::optional<Value> result;
    };
    const Case cases[] = {
        {"getHealthStatus", {}, Value(7)},
        {"GetStartupInfo", {}, Value(8)},
        {"ScanRegistry", {Value(1)}, Value(1)},
        {"ScanRegistry", {Value(0)}, Value(0)},                 // the argument is the row's business
        {"ScanRegistry", {}, std::nullopt},                     // known name, other count
        {"ScanRegistry", {Value(1), Value(2)}, std::nullopt},   //
        {"gethealthstatus", {}, std::nullopt},                  // case matters
        {"getHealthStatu", {}, std::nullopt},                   // a prefix is another name
        {"getHealthStatusX", {}, std::nullopt},                 //
        {"HomeScan", {}, Value(7)},
        {"HomeScaN", {}, std::nullopt},                         // same length, other bytes
        {"", {}, std::nullopt},
        {"Nope", {}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(bridge.Call(c.name, c.args), c.result) << c.name << " " << c.args.size();
}

Value OutOfMemory(BridgeArgs) { throw std::bad_alloc(); }
Value ThrowsAnything(BridgeArgs) { throw 7; }

TEST(ScriptBridge, AnOperationThatThrowsIsAnsweredWithTheFailureCode) {
    constexpr core::BridgeRow rows[] = {{"OutOfMemory", 0, OutOfMemory}, {"ThrowsAnything", 1, ThrowsAnything}};
    const core::ScriptBridge bridge(rows);
    EXPECT_EQ(bridge.Call("OutOfMemory", {}), Value(core::kCallFailed));
    EXPECT_EQ(bridge.Call("ThrowsAnything", std::vector<Value>{Value(1)}), Value(core::kCallFailed));
    EXPECT_EQ(bridge.Call("ThrowsAnything", {}), std::nullopt);
}

TEST(ScriptBridge, TableAnswersTheBusyWordRows) {
    const core::ScriptBridge& bridge = app::NativeFunctions();
    EXPECT_TRUE(bridge.Call("GetPopupZoneBit", {}).has_value());
    EXPECT_FALSE(bridge.Call("GetPopupZoneBit", std::vector<Value>{Value(1)}).has_value());
}

}  // namespace
