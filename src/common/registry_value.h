#pragma once
// One registry value exactly as stored: its type and its data, whatever
// their size, so that it can be written back unchanged.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RegistryValue&) const = default;
};

// Reads the value `name` of `key` into `value`: ERROR_SUCCESS, or the
// registry's status (ERROR_FILE_NOT_FOUND for a missing value).
LSTATUS ReadRegistryValue(HKEY key, const std::wstring& name, RegistryValue& value);
// The value; nothing when it is missing or cannot be read.
std::optional<RegistryValue> ReadRegistryValue(HKEY key, const std::wstring& name);

bool WriteRegistryValue(HKEY key, const std::wstring& name, const RegistryValue& value);

// A REG_SZ value holding `text` and its terminating zero.
RegistryValue TextValue(std::wstring_view text);

}  // namespace common
