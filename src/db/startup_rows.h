#pragma once
// The values the database stores for the startup page: an autostart entry
// as listed, and an entry kept whole while it is switched off. The startup
// subsystem works on them under its own names (startup/startup_item.h).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace db {

// Where a listed entry lives.
enum class StartupOrigin : std::uint8_t {
    InPlace,  // a Run value or Startup-folder shortcut where Windows reads it
    OldRow,   // a shortcut an earlier version deleted, described by its tbl_startupinfo row
    Kept,     // an entry switched off where Windows has no approval values, kept whole in tbl_startupkept
};

// One autostart entry. The first eight fields, in order, are the columns of
// tbl_startupinfo.
struct StartupItem {
    // Run value: the program its command line names. Shortcut: the shortcut file.
    std::wstring iconPath;
    std::wstring fileDescription;
    std::wstring companyName;
    // Run value: the key path below `hKey`. Shortcut: the shortcut's target,
    // which is what writing the shortcut again needs.
    std::wstring strPath;
    // Run value: the value name. Shortcut: its file name, extension included.
    std::wstring strName;
    HKEY hKey = nullptr;  // null for shortcuts
    std::uint16_t uFilePathFlag = 0;  // 1 Run value, 0 shortcut
    std::int32_t bStatus = 0;  // 0 enabled, non-zero disabled
    StartupOrigin origin = StartupOrigin::InPlace;
    // Shortcut in place: the hive whose approval values switch it, the
    // user's for the user's Startup folder, the machine's for the all-users
    // folder.
    HKEY folderHive = nullptr;
    std::int64_t rowId = 0;  // OldRow, Kept: its row in its table

    bool operator==(const StartupItem&) const = default;
};

// An autostart entry that was switched off where Windows keeps no approval
// values (Windows 7, generations the program does not recognise): taken from
// its place whole and kept by the program until it is switched on again.
// The record alone puts the entry back: the Run value with its exact type
// and data, or the shortcut file byte for byte.
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

}  // namespace db
