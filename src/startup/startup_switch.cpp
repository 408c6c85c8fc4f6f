#include "startup/startup_switch.h"

#include <windows.h>

#include "db/local_database.h"
#include "startup/shell_link.h"
#include "startup/startup_approved.h"
#include "startup/startup_key.h"

namespace startup {

namespace {

int RemoveEntry(const StartupItem& item) {
    if (item.uFilePathFlag == 0) return DeleteFileW(item.iconPath.c_str()) ? 1 : 0;
    const common::UniqueRegKey key = OpenStartupKey(item.hKey, item.strPath);
    return key && RegDeleteValueW(key.get(), item.strName.c_str()) == ERROR_SUCCESS ? 1 : 0;
}

int SwitchApproval(const StartupItem& item) {
    const ApprovalKey approval = ApprovalKeyOf(item);
    const common::UniqueRegKey key = OpenStartupKey(approval.root, approval.path);
    if (!key) return 0;
    BYTE data[kApprovalValueBytes] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    // Without an approval value the entry cannot be switched.
    if (RegQueryValueExW(key.get(), item.strName.c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return 0;
    SetApprovalState(std::span<BYTE>(data, size), item.bStatus != 0);
    return RegSetValueExW(key.get(), item.strName.c_str(), 0, REG_BINARY, data, size) == ERROR_SUCCESS ? 1 : 0;
}

int DisableShortcut(const StartupItem& item) {
    db::LocalDatabase& database = db::Database();
    if (!database.AddDisabledStartupItem(item)) return 0;
    if (DeleteFileW(item.iconPath.c_str())) return 1;
    // A shortcut that is already gone lives on in its row; one that stays
    // is listed from its folder, so its row would only double it.
    if (GetFileAttributesW(item.iconPath.c_str()) == INVALID_FILE_ATTRIBUTES) return 1;
    database.RemoveDisabledStartupItem(item);
    return 0;
}

int EnableShortcut(const StartupItem& item) {
    if (!RecreateShortcut(item)) return 0;
    db::Database().RemoveDisabledStartupItem(item);
    return 1;
}

}  // namespace

std::wstring ShortcutWorkingFolder(const std::wstring& shortcutPath) {
    const std::size_t slash = shortcutPath.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return shortcutPath;
    return shortcutPath.substr(0, slash);
}

bool RecreateShortcut(const StartupItem& item) {
    return WriteShortcut(item.iconPath, item.strPath, ShortcutWorkingFolder(item.iconPath), item.fileDescription);
}

int SwitchStartupItem(const StartupItem& item, int windowsGeneration) {
    if (windowsGeneration < 8) return RemoveEntry(item);
    if (item.uFilePathFlag != 0) return SwitchApproval(item);
    return item.bStatus != 0 ? DisableShortcut(item) : EnableShortcut(item);
}

}  // namespace startup
