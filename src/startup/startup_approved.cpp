#include "startup/startup_approved.h"

#include "startup/startup_key.h"

namespace startup {

namespace {

constexpr std::wstring_view kApprovedKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved";

bool IsBelowWow6432Node(std::wstring_view keyPath) {
    const std::size_t at = keyPath.find(L"\\Wow6432Node\\");
    return at != std::wstring_view::npos && at >= 1;
}

}  // namespace

ApprovalKey ApprovalKeyOf(const StartupItem& item) {
    std::wstring path(kApprovedKey);
    if (item.uFilePathFlag == 0) return {HKEY_LOCAL_MACHINE, path + L"\\StartupFolder"};
    return {item.hKey, path + (IsBelowWow6432Node(item.strPath) ? L"\\Run32" : L"\\Run")};
}

void SetApprovalState(std::span<BYTE> data, bool disabled) {
    if (data.empty()) return;
    if (disabled) {
        data[0] |= 1;
    } else {
        data[0] = 0;
        if (data.size() > 1) data[1] = 0;
    }
}

void ApplyStartupApproved(std::vector<StartupItem>& items) {
    for (StartupItem& item : items) {
        const ApprovalKey key = ApprovalKeyOf(item);
        const common::UniqueRegKey opened = OpenStartupKey(key.root, key.path);
        if (!opened) continue;
        BYTE data[kApprovalValueBytes] = {};
        DWORD size = sizeof data;
        if (RegQueryValueExW(opened.get(), item.strName.c_str(), nullptr, nullptr, data, &size) == ERROR_SUCCESS)
            item.bStatus = data[0] & 1;
    }
}

}  // namespace startup
