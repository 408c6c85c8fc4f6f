#pragma once
// The 8-bit text of the JSON exchanged with the documents: the thread's ANSI
// code page. Characters it cannot represent are replaced by the conversion.
#include <string>
#include <string_view>

namespace junk {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);

}  // namespace junk
