#include "core/settings_store_values.h"

#include <cstring>
#include <cwchar>

namespace core {

std::optional<std::wstring> TerminatedRegistryText(DWORD type, std::span<const BYTE> data) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    if (data.size() % 2 != 0) return std::nullopt;
    if (data.empty()) return std::wstring();
    std::wstring text(data.size() / 2, L'\0');
    std::memcpy(text.data(), data.data(), data.size());
    if (text.back() != L'\0') return std::nullopt;
    // Data written with more than one terminator ends at the first.
    text.resize(std::wcslen(text.c_str()));
    return text;
}

std::wstring ShownLanguage(std::wstring_view stored) {
    return stored == L"zh" ? L"zh" : L"en";
}

std::wstring DecimalText(std::int64_t value) { return std::to_wstring(value); }

std::optional<std::int64_t> LoweredWaitCleanSize(std::wstring_view stored, std::uint64_t cleaned) {
    // Leading digits as the decimal reader takes them; an empty text is 0.
    const std::wstring text(stored);
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(text.c_str(), &end, 10);
    if (value < 0 || static_cast<std::uint64_t>(value) < cleaned) return std::nullopt;
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(value) - cleaned);
}

std::optional<DWORD> LoweredIssueCount(DWORD stored, std::uint32_t repaired) {
    if (stored < repaired) return std::nullopt;
    return stored - repaired;
}

}  // namespace core
