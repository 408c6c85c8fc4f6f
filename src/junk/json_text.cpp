#include "junk/json_text.h"

#include "common/ansi_text.h"

namespace junk {

std::wstring PrintJson(const cJSON* json) {
    char* printed = cJSON_PrintUnformatted(json);
    if (!printed) return L"[]";
    std::wstring text = common::FromAnsi(printed);
    cJSON_free(printed);
    return text;
}

Json ParseJsonArray(std::wstring_view text) {
    Json json(cJSON_Parse(common::ToAnsi(text).c_str()));
    if (!cJSON_IsArray(json.get())) json.reset();
    return json;
}

void AddTextMember(cJSON* object, const char* name, std::wstring_view text) {
    cJSON_AddStringToObject(object, name, common::ToAnsi(text).c_str());
}

}  // namespace junk
