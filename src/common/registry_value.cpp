#include "common/registry_value.h"

namespace common {

LSTATUS ReadRegistryValue(HKEY key, const std::wstring& name, RegistryValue& value) {
    value.data.clear();
    // The value may grow between asking its size and reading it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(value.data.size());
        const LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type,
                                                value.data.empty() ? nullptr : value.data.data(), &size);
        if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && value.data.size() < size)) {
            value.data.resize(size);
            continue;
        }
        if (status == ERROR_SUCCESS) value.data.resize(size);
        return status;
    }
    return ERROR_MORE_DATA;
}

std::optional<RegistryValue> ReadRegistryValue(HKEY key, const std::wstring& name) {
    RegistryValue value;
    if (ReadRegistryValue(key, name, value) != ERROR_SUCCESS) return std::nullopt;
    return value;
}

bool WriteRegistryValue(HKEY key, const std::wstring& name, const RegistryValue& value) {
    return RegSetValueExW(key, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size())) ==
           ERROR_SUCCESS;
}

RegistryValue TextValue(std::wstring_view text) {
    const std::wstring terminated(text);
    const auto* bytes = reinterpret_cast<const BYTE*>(terminated.c_str());
    return {REG_SZ, std::vector<BYTE>(bytes, bytes + (terminated.size() + 1) * sizeof(wchar_t))};
}

}  // namespace common
