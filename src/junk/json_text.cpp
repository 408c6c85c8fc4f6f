#include "junk/json_text.h"

#include "junk/ansi_text.h"

namespace junk {

std::wstring PrintJson(const cJSON* json) {
    char* printed = cJSON_PrintUnformatted(json);
    if (!printed) return L"[]";
    std::wstring text = FromAnsi(printed);
    cJSON_free(printed);
    return text;
}

Json ParseJsonArray(std::wstring_view text) {
    Json json(cJSON_Parse(ToAnsi(text).c_str()));
    if (!cJSON_IsArray(json.get())) json.reset();
    return json;
}

void AddTextMember(cJSON* object, const char* name, std::wstring_view text) {
    cJSON_AddStringToObject(object, name, ToAnsi(text).c_str());
}

}  // namespace junk
