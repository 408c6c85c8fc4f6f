#pragma once
// The registry calls of the registry cleaner: opening keys in a chosen view,
// counting and enumerating values and sub-keys.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"

namespace registry {

inline constexpr REGSAM kReadWrite = 0x2001F;   // KEY_READ | KEY_WRITE, default view
inline constexpr REGSAM kAll64 = 0xF013F;       // KEY_ALL_ACCESS | KEY_WOW64_64KEY
inline constexpr REGSAM kAll32 = 0xF023F;       // KEY_ALL_ACCESS | KEY_WOW64_32KEY

HKEY RootKey(std::uint32_t root);

common::UniqueRegKey OpenKey(HKEY root, const std::wstring& path, REGSAM access);

// Opens in the 64-bit view, else in the 32-bit view; `view` receives the
// KEY_WOW64_* flag of the view that worked.
common::UniqueRegKey OpenKeyInEitherView(HKEY root, const std::wstring& path, REGSAM* view);

struct KeyCounts {
    DWORD subKeys = 0;
    DWORD values = 0;
};
std::optional<KeyCounts> CountKeyContents(HKEY key);

// Names that fit 260 characters, in enumeration order; others are skipped.
std::vector<std::wstring> ValueNames(HKEY key);
std::vector<std::wstring> SubKeyNames(HKEY key);

// A string value's text: REG_SZ or REG_EXPAND_SZ, an even byte count ending
// with a zero character, at most `maxBytes` bytes. Empty otherwise.
std::optional<std::wstring> ReadStringValue(HKEY key, const std::wstring& name, DWORD maxBytes);

}  // namespace registry
