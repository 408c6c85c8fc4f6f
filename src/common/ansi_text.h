#pragma once
// The 8-bit text of the database and of the JSON exchanged with the
// documents: the thread's ANSI code page (CP_THREAD_ACP).
#include <optional>
#include <string>
#include <string_view>

namespace common {

// Characters outside the code page become its default character.
std::string ToAnsi(std::wstring_view text);
// Nothing when a character has no exact form in the code page.
std::optional<std::string> ToAnsiExact(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);

}  // namespace common
