#include "common/registry_key.h"

#include <cwchar>

#include "common/handles.h"

namespace common {

LSTATUS CheckRegistryKey(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* valueText) {
    if (!keyPath || !*keyPath) return ERROR_INVALID_PARAMETER;
    constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
    UniqueRegKey key;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, kAccess, key.put());
    if (status != ERROR_SUCCESS)
        status = RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr,
                                 key.put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    if (valueText) {
        const auto bytes = static_cast<DWORD>((std::wcslen(valueText) + 1) * sizeof(wchar_t));
        RegSetValueExW(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(valueText), bytes);
    }
    return RegCloseKey(key.release());
}

}  // namespace common
