#include "disk/clean_amount.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/handles.h"

namespace disk {

engine::Value GetDeleteDiskSize(app::BridgeArgs) {
    common::UniqueRegKey key;
    std::uint64_t amount = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quillmark\\Quillmark Orvane\\OneClick Cleaner", 0,
                      KEY_READ | KEY_WRITE, key.put()) == ERROR_SUCCESS) {
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
