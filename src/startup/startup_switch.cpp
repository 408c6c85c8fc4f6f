#include "startup/startup_switch.h"

#include <windows.h>

#include "common/listed_delete.h"
#include "common/whole_file.h"
#include "db/local_database.h"
#include "startup/shell_link.h"
#include "startup/startup_approved.h"
#include "startup/startup_keeping.h"

namespace startup {

namespace {

// The row goes only once the shortcut is back; a row that cannot go takes
// the new shortcut with it, so that the entry is not listed twice.
bool EnableOldRow(const StartupItem& item) {
    if (!RecreateShortcut(item)) return false;
    if (db::Database(db::Store::Machine).RemoveDisabledStartupItem(item.rowId)) return true;
    if (const common::UniqueFile file = common::OpenListedFile(item.iconPath, 0)) common::DeleteOpenedFile(file.get());
    return false;
}

}  // namespace

std::wstring ShortcutWorkingFolder(const std::wstring& shortcutPath) {
    const std::size_t slash = shortcutPath.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return shortcutPath;
    return shortcutPath.substr(0, slash);
}

bool RecreateShortcut(const StartupItem& item) {
    return common::CreateFileWhole(item.iconPath, [&item](const std::wstring& part) {
        return WriteShortcut(part, item.strPath, ShortcutWorkingFolder(item.iconPath), item.fileDescription);
    });
}

int SwitchStartupItem(const StartupItem& item, int windowsGeneration) {
    const bool disabled = item.bStatus != 0;
    switch (item.origin) {
    case StartupOrigin::OldRow:
        return disabled || EnableOldRow(item) ? 1 : 0;
    case StartupOrigin::Kept:
        return disabled || PutKeptEntryBack(item) ? 1 : 0;
    case StartupOrigin::InPlace:
        break;
    }
    if (windowsGeneration > 7) return WriteApproval(item, disabled) ? 1 : 0;
    // Without approval values an entry in place is on.
    return !disabled || KeepEntry(item) ? 1 : 0;
}

}  // namespace startup
