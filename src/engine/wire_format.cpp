#include "engine/wire_format.h"

#include <windows.h>

#include <cmath>
#include <limits>

namespace engine {

namespace {

constexpr const char* kTag = "t";
constexpr const char* kMembers = "v";

Json Tagged(const char* tag) {
    Json object(cJSON_CreateObject());
    cJSON_AddItemToObject(object.get(), kTag, cJSON_CreateString(tag));
    return object;
}

std::optional<Value> FromNumber(double number) {
    if (std::trunc(number) == number && number >= std::numeric_limits<int>::min() &&
        number <= std::numeric_limits<int>::max())
        return Value(static_cast<int>(number));
    return Value(number);
}

std::optional<Value> FromTagged(const cJSON* json) {
    const cJSON* tag = cJSON_GetObjectItemCaseSensitive(json, kTag);
    if (!cJSON_IsString(tag)) return std::nullopt;
    const std::string_view name = tag->valuestring;
    if (name == "undefined") return Value();
    const cJSON* members = cJSON_GetObjectItemCaseSensitive(json, kMembers);
    if (name != "map" || !cJSON_IsObject(members)) return std::nullopt;
    std::vector<Value::Member> decoded;
    for (const cJSON* member = members->child; member; member = member->next) {
        std::optional<Value> item = FromWireJson(member);
        if (!item) return std::nullopt;
        decoded.emplace_back(WideFromUtf8(member->string), std::move(*item));
    }
    return Value::Map(std::move(decoded));
}

}  // namespace

Json ToWireJson(const Value& value) {
    switch (value.type()) {
        case Value::Type::Undefined: return Tagged("undefined");
        case Value::Type::Null: return Json(cJSON_CreateNull());
        case Value::Type::Bool: return Json(cJSON_CreateBool(*value.AsBool()));
        case Value::Type::Int: return Json(cJSON_CreateNumber(*value.AsInt()));
        case Value::Type::Float: return Json(cJSON_CreateNumber(value.AsFloat()));
        case Value::Type::String: return Json(cJSON_CreateString(Utf8FromWide(value.Text()).c_str()));
        case Value::Type::Array: {
            Json array(cJSON_CreateArray());
            for (const Value& item : value.Items()) cJSON_AddItemToArray(array.get(), ToWireJson(item).release());
            return array;
        }
        case Value::Type::Map: {
            Json map = Tagged("map");
            Json members(cJSON_CreateObject());
            for (const auto& [key, item] : value.Members())
                cJSON_AddItemToObject(members.get(), Utf8FromWide(key).c_str(), ToWireJson(item).release());
            cJSON_AddItemToObject(map.get(), kMembers, members.release());
            return map;
        }
    }
    return Tagged("undefined");
}

std::optional<Value> FromWireJson(const cJSON* json) {
    if (!json) return std::nullopt;
    if (cJSON_IsNull(json)) return Value::Null();
    if (cJSON_IsBool(json)) return Value(static_cast<bool>(cJSON_IsTrue(json)));
    if (cJSON_IsNumber(json)) return FromNumber(json->valuedouble);
    if (cJSON_IsString(json)) return Value(WideFromUtf8(json->valuestring));
    if (cJSON_IsArray(json)) {
        std::vector<Value> items;
        for (const cJSON* item = json->child; item; item = item->next) {
            std::optional<Value> decoded = FromWireJson(item);
            if (!decoded) return std::nullopt;
            items.push_back(std::move(*decoded));
        }
        return Value::Array(std::move(items));
    }
    if (cJSON_IsObject(json)) return FromTagged(json);
    return std::nullopt;
}

std::string PrintJson(const cJSON& json) {
    char* printed = cJSON_PrintUnformatted(&json);
    if (!printed) return "null";
    std::string text(printed);
    cJSON_free(printed);
    return text;
}

Json ParseJson(std::string_view text) { return Json(cJSON_ParseWithLength(text.data(), text.size())); }

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

}  // namespace engine
