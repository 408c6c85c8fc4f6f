#pragma once
// ResultRow: the JSON objects {"first", "second", "three", "four"} in which
// findings travel to the documents and selections travel back. The JSON is
// 8-bit text in the thread's ANSI code page.
#include <cJSON.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/script_bridge.h"

namespace junk {

// One ticked category of a selection. Elements that name no category (not
// an object, "first" or "second" missing or not a number) keep their place
// with kind -1, so that the clean's progress still counts them.
struct SelectionElement {
    int kind = -1;
    int category = -1;
};
// The selection text of a bridge argument (its string form). Nothing when it
// is longer than any selection a page makes, so that a huge text is refused
// before it is converted or parsed.
inline constexpr std::size_t kLongestSelectionText = 65536;
std::optional<std::wstring> SelectionArgument(const engine::Value& value);

// Nothing when the text is not a JSON array.
std::optional<std::vector<SelectionElement>> ParseSelectionArray(std::wstring_view text);
// An empty selection when the text is not a JSON array.
std::vector<SelectionElement> ParseSelection(std::wstring_view text);

// A file's detail row: name, folder, size text.
void AppendFileRow(cJSON* rows, std::wstring_view name, std::wstring_view folder, std::uint64_t size);

// The category summaries: registry 0 to 6, junk 0 to 20 (each with "five",
// its CategoryState's number), undeletable.
std::wstring AllItemInfoText();

// Detail rows of (kind, category) at positions [start, end): JSON text.
engine::Value GetErrorDetails(core::BridgeArgs args);
// The selection with "three" (count) and "four" (byte total) added to every
// element that names a list.
engine::Value GetChooseStatistics(core::BridgeArgs args);

}  // namespace junk
