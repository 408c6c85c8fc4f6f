#pragma once
// Small text operations shared by the path tests.
#include <string>
#include <string_view>

namespace common {

// Lower case as Windows folds file names (CharLowerBuffW).
std::wstring LowerCase(std::wstring_view text);

// `text` with A to Z lowered and nothing else changed: for words of a fixed
// ASCII vocabulary (commands, ids), read the same in every locale.
std::string AsciiLowerCase(std::string text);

// True when `text` holds `part` starting exactly at `position`.
constexpr bool HoldsAt(std::wstring_view text, std::size_t position, std::wstring_view part) {
    return position <= text.size() && text.substr(position).starts_with(part);
}

// `text` without the backslashes it ends with.
constexpr std::wstring_view WithoutTrailingBackslashes(std::wstring_view text) {
    while (!text.empty() && text.back() == L'\\') text.remove_suffix(1);
    return text;
}

}  // namespace common
