#include "core/settings_store_bridge.h"

#include <cstdint>

#include "common/handles.h"
#include "common/size_text.h"
#include "core/settings_store.h"
#include "core/settings_store_values.h"

namespace core {

namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

// Reads a value of `size` bytes; when it cannot be read, writes it as zero
// bytes typed REG_DWORD (the stored totals are initialised that way).
std::uint64_t ReadOrInitialise(const wchar_t* keyPath, const wchar_t* name, DWORD size) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) return 0;
    std::uint64_t value = 0;
    DWORD read = size;
    if (RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &read) ==
        ERROR_SUCCESS)
        return value;
    value = 0;
    RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), size);
    return 0;
}

}  // namespace

engine::Value GetShowLanguage(BridgeArgs) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey, 0, kReadWrite, key.put()) != ERROR_SUCCESS) return L"en";
    BYTE buffer[520];
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), L"lang", nullptr, &type, buffer, &size) != ERROR_SUCCESS) return L"en";
    const auto text = TerminatedRegistryText(type, {buffer, size});
    return ShownLanguage(text ? *text : std::wstring());
}

engine::Value SetShowLanguage(BridgeArgs args) {
    const std::wstring language = args[0].ToText();
    common::UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kReadWrite, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return 0;
    const LSTATUS status =
        RegSetValueExW(key.get(), L"lang", 0, REG_SZ, reinterpret_cast<const BYTE*>(language.c_str()),
                       static_cast<DWORD>((language.size() + 1) * sizeof(wchar_t)));
    return status == ERROR_SUCCESS ? 1 : 0;
}

engine::Value getRightTopInfo(BridgeArgs) {
    const std::uint64_t cleaned = ReadOrInitialise(kJunkCleanerKey, L"TotalCleanSize", 8) +
                                  ReadOrInitialise(kEvidenceCleanerKey, L"TotalCleanSize", 8);
    const auto cleanTimes = static_cast<int>(ReadOrInitialise(kOneClickKey, L"CleanTimes", 4));
    return engine::Value::Array({common::MakeFileSize(cleaned), cleanTimes});
}

}  // namespace core
