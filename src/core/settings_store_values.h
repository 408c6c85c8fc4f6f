#pragma once
// The decisions of the settings store that need no registry: which stored
// texts are accepted, and how the pending totals move after a clean.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace core {

// The text of a registry value when it is a properly terminated string:
// REG_SZ or REG_EXPAND_SZ, an even byte count, and a zero last character
// (an empty value counts as the empty text), read up to its first zero
// character. Nothing otherwise.
std::optional<std::wstring> TerminatedRegistryText(DWORD type, std::span<const BYTE> data);

// The language the documents are shown in for a stored language code: the
// code itself when the documents have its table ("en", "zh"), else "en".
std::wstring ShownLanguage(std::wstring_view stored);

// "%lld" of a byte count.
std::wstring DecimalText(std::int64_t value);

// The pending junk size after `cleaned` bytes went: nothing (leave the stored
// text alone) when the stored size is below what was cleaned, negative or not
// a number.
std::optional<std::int64_t> LoweredWaitCleanSize(std::wstring_view stored, std::uint64_t cleaned);

// The pending registry-issue count after `repaired` issues went; nothing when
// the stored count is below that.
std::optional<DWORD> LoweredIssueCount(DWORD stored, std::uint32_t repaired);

}  // namespace core
