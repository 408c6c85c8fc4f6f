#pragma once
// Windows' own record of which autostart entries the user switched off
// (Windows 8 and later): one binary value per entry below StartupApproved,
// bit 0 of its first byte set while the entry is disabled. Switching an
// entry writes its value the way Windows' startup tab does and leaves the
// Run value or the shortcut file itself untouched.
#include <windows.h>

#include <string>
#include <vector>

#include "startup/startup_item.h"

namespace startup {

struct ApprovalKey {
    HKEY root;
    std::wstring path;
    bool operator==(const ApprovalKey&) const = default;
};

// Run values below Wow6432Node are approved in "Run32", other Run values in
// "Run", below their own root; shortcuts in "StartupFolder" below the hive
// of their folder (the user's folder under HKEY_CURRENT_USER, the
// all-users folder under HKEY_LOCAL_MACHINE).
ApprovalKey ApprovalKeyOf(const StartupItem& item);

// The longest approval value read.
inline constexpr DWORD kApprovalValueBytes = 260;

// The value Windows writes for a switch: 02 (enabled) or 03 (disabled),
// three zero bytes, then the time of the switch.
std::vector<BYTE> ApprovalData(bool disabled, const FILETIME& switched);

// Sets `bStatus` of each entry in place from its approval value; entries
// without one stay as they are.
void ApplyStartupApproved(std::vector<StartupItem>& items);

// Writes the entry's approval value for the wanted state, creating its key
// when Windows has not made it yet.
bool WriteApproval(const StartupItem& item, bool disabled);

}  // namespace startup
