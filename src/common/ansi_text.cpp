#include "common/ansi_text.h"

#include <windows.h>

namespace common {

std::string ToAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, result.data(), size, nullptr, nullptr);
    return result;
}

std::optional<std::string> ToAnsiExact(std::wstring_view text) {
    // The round trip catches both default characters and best-fit look-alikes.
    std::string result = ToAnsi(text);
    if (FromAnsi(result) != text) return std::nullopt;
    return result;
}

std::wstring FromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, result.data(), size);
    return result;
}

}  // namespace common
