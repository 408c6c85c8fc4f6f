#pragma once
// SettingsStore: what survives a restart lives in registry values under
// HKEY_CURRENT_USER, read and written directly by the operation that needs
// them. No cache: each access is one registry call, and every failure is
// silent (a value that cannot be read gives its default).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace core {

inline constexpr const wchar_t* kProductKey = L"Software\\Quillmark\\Quillmark Orvane";
inline constexpr const wchar_t* kOneClickKey = L"Software\\Quillmark\\Quillmark Orvane\\OneClick Cleaner";
inline constexpr const wchar_t* kJunkCleanerKey = L"Software\\Quillmark\\Quillmark Orvane\\Junk File Cleaner";
inline constexpr const wchar_t* kEvidenceCleanerKey = L"Software\\Quillmark\\Quillmark Orvane\\Evidence Cleaner";

// Makes sure `name` exists in the OneClick Cleaner key, creating the key and
// an empty REG_SZ placeholder where missing.
void EnsureOneClickValue(const wchar_t* name);

// "WaitCleanSize": the bytes of junk found and not yet cleaned, as "%lld".
void WriteWaitCleanSize(std::int64_t bytes);
std::wstring ReadWaitCleanSize();

// "LastOneClickTime": when the last complete one-click scan ended,
// "%Y-%m-%d %H:%M:%S"; empty when none did. Reading answers nothing when
// the OneClick Cleaner key cannot be opened.
void WriteLastOneClickTime(const std::wstring& text);
std::optional<std::wstring> ReadLastOneClickTime();

// A text of the product key that this program only reads ("SystemStatus",
// "ErrorNumber", "ErrorItems"): nothing when missing or not a properly
// terminated string of at most 260 characters.
std::optional<std::wstring> ReadProductText(const wchar_t* name);

// "SyatemStatus": the health score. Reading creates the product key when it
// does not open; the score is written only when the key opens.
DWORD ReadHealthScore();
void WriteHealthScore(DWORD score);

// "RegNoDelete": registry issues found and not yet repaired.
DWORD ReadRegistryIssueCount();
void WriteRegistryIssueCount(DWORD count);

}  // namespace core
