#include "disk/clean_amount.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/handles.h"
#include "core/settings_store.h"

namespace disk {

void StoreCleanAmount(std::uint64_t bytes) {
    core::EnsureOneClickValue(L"DiskCleanRubbishSize");
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, core::kOneClickKey, 0, KEY_READ | KEY_WRITE, key.put()) == ERROR_SUCCESS)
        RegSetValueExW(key.get(), L"DiskCleanRubbishSize", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&bytes),
                       sizeof bytes);
}

engine::Value GetDeleteDiskSize(core::BridgeArgs) {
    common::UniqueRegKey key;
    std::uint64_t amount = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, core::kOneClickKey, 0, KEY_READ | KEY_WRITE, key.put()) == ERROR_SUCCESS) {
        DWORD type = 0;
        DWORD size = sizeof amount;
        // The value is a 64-bit count; a placeholder of another type (an
        // empty text before the first clean) counts as nothing cleaned.
        if (RegQueryValueExW(key.get(), L"DiskCleanRubbishSize", nullptr, &type, reinterpret_cast<BYTE*>(&amount),
                             &size) != ERROR_SUCCESS ||
            (type != REG_QWORD && type != REG_DWORD))
            amount = 0;
    }
    return std::to_wstring(static_cast<long long>(amount));
}

}  // namespace disk
