#include "engine/wire_format.h"

#include <gtest/gtest.h>

namespace {

using engine::Value;

std::optional<Value> RoundTrip(const Value& value) {
    const engine::Json json = engine::ParseJson(engine::PrintJson(*engine::ToWireJson(value)));
    return engine::FromWireJson(json.get());
}

TEST(WireFormat, EveryKindOfValueSurvivesTheTrip) {
    const Value values[] = {
        Value(),
        Value::Null(),
        Value(false),
        Value(2147483647),
        Value(-2147483647 - 1),
        Value(0.25),
        Value(1e300),
        Value(L""),
        Value(L"\u00e9\u4e2d \"\\\n\t"),
        Value(L"\U0001F600"),
        Value::Array(),
        Value::Array({Value(), Value::Null(), Value::Array({Value(L"nested"), Value()})}),
        Value::Map({{L"first", Value(1)}, {L"t", Value(L"map")}, {L"v", Value()}, {L"\u00fc", Value::Map()}}),
    };
    for (const Value& value : values) EXPECT_EQ(RoundTrip(value), value) << engine::PrintJson(*engine::ToWireJson(value));
}

TEST(WireFormat, NumbersFromThePageBecomeIntegersWhenWhole) {
    struct Case {
        const char* json;
        Value value;
    };
    const Case cases[] = {
        {"3", Value(3)},          {"3.0", Value(3)},           {"-0", Value(0)},
        {"2.5", Value(2.5)},      {"2147483648", Value(2147483648.0)},
        {"-2147483649", Value(-2147483649.0)},
    };
    for (const Case& c : cases) EXPECT_EQ(engine::FromWireJson(engine::ParseJson(c.json).get()), c.value) << c.json;
}

TEST(WireFormat, ObjectsThatAreNoTagAreRefused) {
    for (const char* json : {R"({})", R"({"t":"other"})", R"({"t":"map"})", R"({"t":"map","v":[1]})",
                             R"([1,{"a":1}])", R"({"t":"map","v":{"a":{"b":2}}})"})
        EXPECT_EQ(engine::FromWireJson(engine::ParseJson(json).get()), std::nullopt) << json;
}

}  // namespace
