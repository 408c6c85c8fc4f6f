#pragma once
// The JSON texts exchanged with the documents: cJSON trees printed without
// blanks, as 8-bit text in the thread's ANSI code page, and parsed back.
#include <cJSON.h>

#include <memory>
#include <string>
#include <string_view>

namespace junk {

struct JsonDelete {
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};
using Json = std::unique_ptr<cJSON, JsonDelete>;

// The compact text of `json` for a document; "[]" when it cannot be printed.
std::wstring PrintJson(const cJSON* json);

// The parsed text when it is a JSON array; null otherwise.
Json ParseJsonArray(std::wstring_view text);

// Adds the member `name` holding `text` converted to the ANSI code page.
void AddTextMember(cJSON* object, const char* name, std::wstring_view text);

}  // namespace junk
