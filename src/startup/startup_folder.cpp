#include "startup/startup_folder.h"

#include "common/handles.h"
#include "startup/shell_link.h"
#include "startup/version_strings.h"

namespace startup {

bool IsShortcutCandidate(const std::wstring& name, DWORD attributes) {
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY) && !name.empty() && name != L"desktop.ini";
}

std::optional<StartupItem> ShortcutItem(const std::wstring& shortcutPath, const std::wstring& fileName,
                                        const std::wstring& target) {
    if (target.rfind(L'\\') == 0) return std::nullopt;
    StartupItem item;
    item.iconPath = shortcutPath;
    item.strName = fileName;
    item.strPath = target;
    return item;
}

void ScanStartupFolder(const std::wstring& folder, HKEY hive, std::vector<StartupItem>& items) {
    const std::wstring prefix = folder.ends_with(L'\\') ? folder : folder + L'\\';
    WIN32_FIND_DATAW found;
    const common::UniqueFind find(FindFirstFileW((prefix + L"*.*").c_str(), &found));
    if (!find) return;
    do {
        const std::wstring name = found.cFileName;
        if (!IsShortcutCandidate(name, found.dwFileAttributes)) continue;
        const std::wstring path = prefix + name;
        const std::optional<std::wstring> target = ReadShortcutTarget(path);
        if (!target) continue;
        std::optional<StartupItem> item = ShortcutItem(path, name, *target);
        if (!item) continue;
        item->folderHive = hive;
        ReadVersionStrings(*target, *item);
        items.push_back(std::move(*item));
    } while (FindNextFileW(find.get(), &found));
}

}  // namespace startup
