#pragma once
// Engine values on the wire between the native side and the page: JSON in
// UTF-8. Null, booleans, numbers, strings and arrays are plain JSON; the two
// kinds JSON lacks travel as tagged objects, and every JSON object on the
// wire is such a tag:
//   undefined  {"t":"undefined"}
//   map        {"t":"map","v":{"key": <wire value>, ...}}
// A whole number within 32 bits arrives as an integer, any other number as
// a float (the page's numbers do not tell the two apart).
#include <cJSON.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/value.h"

namespace engine {

struct JsonDeleter {
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

Json ToWireJson(const Value& value);
// Empty for JSON that no value encodes (a bad tag).
std::optional<Value> FromWireJson(const cJSON* json);

// Unformatted JSON text of `json`.
std::string PrintJson(const cJSON& json);
// Empty when the text is not JSON.
Json ParseJson(std::string_view text);

std::string Utf8FromWide(std::wstring_view text);
std::wstring WideFromUtf8(std::string_view text);

}  // namespace engine
