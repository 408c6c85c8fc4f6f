#include "startup/startup_approved.h"

#include <cstring>

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
    if (item.uFilePathFlag == 0) return {item.folderHive, path + L"\\StartupFolder"};
    return {item.hKey, path + (IsBelowWow6432Node(item.strPath) ? L"\\Run32" : L"\\Run")};
}

std::vector<BYTE> ApprovalData(bool disabled, const FILETIME& switched) {
    std::vector<BYTE> data(4 + sizeof(FILETIME), 0);
    data[0] = disabled ? 3 : 2;
    std::memcpy(data.data() + 4, &switched, sizeof(FILETIME));
    return data;
}

void ApplyStartupApproved(std::vector<StartupItem>& items) {
    for (StartupItem& item : items) {
        if (item.origin != StartupOrigin::InPlace) continue;
        const ApprovalKey key = ApprovalKeyOf(item);
        const common::UniqueRegKey opened = OpenStartupKey(key.root, key.path);
        if (!opened) continue;
        BYTE data[kApprovalValueBytes] = {};
        DWORD size = sizeof data;
        if (RegQueryValueExW(opened.get(), item.strName.c_str(), nullptr, nullptr, data, &size) == ERROR_SUCCESS)
            item.bStatus = data[0] & 1;
    }
}

bool WriteApproval(const StartupItem& item, bool disabled) {
    const ApprovalKey key = ApprovalKeyOf(item);
    if (!key.root) return false;
    // Explorer reads the values in the 64-bit view.
    common::UniqueRegKey opened;
    if (RegCreateKeyExW(key.root, key.path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                        opened.put(), nullptr) != ERROR_SUCCESS)
        return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::vector<BYTE> data = ApprovalData(disabled, now);
    return RegSetValueExW(opened.get(), item.strName.c_str(), 0, REG_BINARY, data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

}  // namespace startup
