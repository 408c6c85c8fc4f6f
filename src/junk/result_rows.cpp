#include "junk/result_rows.h"

#include <algorithm>

#include "common/ansi_text.h"
#include "common/size_text.h"
#include "core/settings_store_values.h"
#include "junk/json_text.h"
#include "junk/junk_lists.h"
#include "junk/result_kinds.h"

namespace junk {

namespace {

std::string TotalText(std::uint64_t total) {
    return common::ToAnsi(core::DecimalText(static_cast<std::int64_t>(total)));
}

SelectionElement Named(const cJSON* element) {
    const cJSON* first = cJSON_GetObjectItem(element, "first");
    const cJSON* second = cJSON_GetObjectItem(element, "second");
    if (!cJSON_IsNumber(first) || !cJSON_IsNumber(second)) return {};
    return {first->valueint, second->valueint};
}

// The kind and category an element names, when it names a list.
const ResultKind* ListOf(const cJSON* element, int& category) {
    const SelectionElement named = Named(element);
    const ResultKind* kind = FindResultKind(named.kind);
    if (!kind || !kind->HasCategory(named.category)) return nullptr;
    category = named.category;
    return kind;
}

int IntArgument(const engine::Value& value) { return value.AsInt().value_or(0); }

}  // namespace

std::optional<std::wstring> SelectionArgument(const engine::Value& value) {
    if (value.IsString() && value.Text().size() > kLongestSelectionText) return std::nullopt;
    return value.ToText();
}

std::optional<std::vector<SelectionElement>> ParseSelectionArray(std::wstring_view text) {
    const Json json = ParseJsonArray(text);
    if (!json) return std::nullopt;
    std::vector<SelectionElement> selection;
    const cJSON* element = nullptr;
    cJSON_ArrayForEach(element, json.get()) selection.push_back(Named(element));
    return selection;
}

std::vector<SelectionElement> ParseSelection(std::wstring_view text) {
    return ParseSelectionArray(text).value_or(std::vector<SelectionElement>());
}

void AppendFileRow(cJSON* rows, std::wstring_view name, std::wstring_view folder, std::uint64_t size) {
    cJSON* row = cJSON_CreateObject();
    AddTextMember(row, "first", name);
    AddTextMember(row, "second", folder);
    AddTextMember(row, "three", common::MakeFileSize(size));
    cJSON_AddItemToArray(rows, row);
}

std::wstring AllItemInfoText() {
    struct Lists {
        int kind;
        int categories;
    };
    static constexpr Lists kOrder[] = {
        {kRegistryRows, kRegistryCategoryCount}, {kJunkRows, kJunkCategoryCount}, {kUndeletableRows, 1}};
    const Json rows(cJSON_CreateArray());
    for (const Lists& lists : kOrder) {
        const ResultKind* kind = FindResultKind(lists.kind);
        for (int category = 0; category < lists.categories; ++category) {
            cJSON* row = cJSON_CreateObject();
            cJSON_AddNumberToObject(row, "first", lists.kind);
            cJSON_AddNumberToObject(row, "second", category);
            cJSON_AddNumberToObject(row, "three", kind ? static_cast<double>(kind->Count(category)) : 0);
            cJSON_AddStringToObject(row, "four", TotalText(kind ? kind->Total(category) : 0).c_str());
            if (lists.kind == kJunkRows) cJSON_AddNumberToObject(row, "five", static_cast<int>(StateOf(category).load()));
            cJSON_AddItemToArray(rows.get(), row);
        }
    }
    return PrintJson(rows.get());
}

engine::Value GetErrorDetails(core::BridgeArgs args) {
    const int kindNumber = IntArgument(args[0]);
    const int category = IntArgument(args[1]);
    const int start = std::max(IntArgument(args[2]), 0);
    const int end = IntArgument(args[3]);
    const Json rows(cJSON_CreateArray());
    const ResultKind* kind = FindResultKind(kindNumber);
    if (kind && kind->HasCategory(category) && start < end)
        kind->AppendDetailRows(category, static_cast<std::size_t>(start), static_cast<std::size_t>(end), rows.get());
    return PrintJson(rows.get());
}

engine::Value GetChooseStatistics(core::BridgeArgs args) {
    const std::optional<std::wstring> text = SelectionArgument(args[0]);
    if (!text) return L"[]";
    const Json selection = ParseJsonArray(*text);
    if (!selection) return L"[]";
    cJSON* element = nullptr;
    cJSON_ArrayForEach(element, selection.get()) {
        int category = 0;
        const ResultKind* kind = cJSON_IsObject(element) ? ListOf(element, category) : nullptr;
        if (!kind) continue;
        cJSON_AddNumberToObject(element, "three", static_cast<double>(kind->Count(category)));
        cJSON_AddStringToObject(element, "four", TotalText(kind->Total(category)).c_str());
    }
    return PrintJson(selection.get());
}

}  // namespace junk
