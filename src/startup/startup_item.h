#pragma once
// One autostart entry and the process-wide list the startup page works on:
// the page names an entry by its index in the list.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace startup {

// Where a listed entry lives.
enum class StartupOrigin : std::uint8_t {
    InPlace,  // a Run value or Startup-folder shortcut where Windows reads it
    OldRow,   // a shortcut an earlier version deleted, described by its tbl_startupinfo row
    Kept,     // an entry switched off where Windows has no approval values, kept whole in tbl_startupkept
};

// The first eight fields, in order, are the columns of tbl_startupinfo.
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

// Only the UI thread touches it.
std::vector<StartupItem>& StartupItemList();

}  // namespace startup
