#pragma once
// Small text operations shared by the path tests.
#include <string>
#include <string_view>

namespace common {

// Lower case as Windows folds file names (CharLowerBuffW).
std::wstring LowerCase(std::wstring_view text);

// True when `text` holds `part` starting exactly at `position`.
constexpr bool HoldsAt(std::wstring_view text, std::size_t position, std::wstring_view part) {
    return position <= text.size() && text.substr(position).starts_with(part);
}

}  // namespace common
