#pragma once
// An autostart entry that was switched off where Windows keeps no approval
// values (Windows 7, generations the program does not recognise): taken from
// its place whole and kept by the program until it is switched on again.
// The record alone puts the entry back: the Run value with its exact type
// and data, or the shortcut file byte for byte.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "startup/startup_item.h"

namespace startup {

struct KeptEntry {
    std::int64_t id = 0;  // its row in tbl_startupkept
    // The entry as it was listed. Its place: `hKey`, `strPath` and `strName`
    // for a Run value; `iconPath` for a shortcut.
    StartupItem item;
    DWORD valueType = 0;        // Run value: its registry type
    std::vector<BYTE> content;  // Run value: its data; shortcut: the file's bytes
    std::string date;           // DD/MM/YYYY and hh:mm:ss of the switch
    std::string time;
    std::optional<std::wstring> account{};  // who switched it off; nothing: an earlier version
    bool operator==(const KeptEntry&) const = default;
};

}  // namespace startup
