#include "common/text.h"

#include <windows.h>

namespace common {

std::wstring LowerCase(std::wstring_view text) {
    std::wstring lowered(text);
    if (!lowered.empty()) CharLowerBuffW(lowered.data(), static_cast<DWORD>(lowered.size()));
    return lowered;
}

std::string AsciiLowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace common
