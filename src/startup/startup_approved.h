#pragma once
// Windows' own record of which autostart entries the user switched off
// (Windows 8.1 and 10): one binary value per entry below StartupApproved,
// bit 0 of its first byte set while the entry is disabled.
#include <windows.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "startup/startup_item.h"

namespace startup {

struct ApprovalKey {
    HKEY root;
    std::wstring path;
    bool operator==(const ApprovalKey&) const = default;
};

// Run values below Wow6432Node are approved in "Run32", other Run values in
// "Run", below their own root; shortcuts of both Startup folders in
// "StartupFolder" below HKEY_LOCAL_MACHINE.
ApprovalKey ApprovalKeyOf(const StartupItem& item);

// The longest approval value read.
inline constexpr DWORD kApprovalValueBytes = 260;

// The approval data with the wanted state: enabling clears the first two
// bytes, disabling sets bit 0 of the first; nothing else changes.
void SetApprovalState(std::span<BYTE> data, bool disabled);

// Sets `bStatus` of each entry from its approval value; entries without one
// stay as they are.
void ApplyStartupApproved(std::vector<StartupItem>& items);

}  // namespace startup
