#include "disk/download_folders.h"

#include <windows.h>

#include "app/settings_store_values.h"
#include "common/env_path.h"
#include "common/handles.h"
#include "junk/json_text.h"

namespace disk {

namespace {

common::UniqueRegKey OpenUserKey(const wchar_t* path) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS) key.release();
    return key;
}

SettingReading ReadSetting(const wchar_t* keyPath, const wchar_t* valueName) {
    SettingReading reading;
    const common::UniqueRegKey key = OpenUserKey(keyPath);
    reading.keyOpened = static_cast<bool>(key);
    if (!key) return reading;
    BYTE buffer[520] = {};
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), valueName, nullptr, &type, buffer, &size) == ERROR_SUCCESS)
        reading.text = app::TerminatedRegistryText(type, {buffer, size});
    return reading;
}

bool WriteText(HKEY key, const wchar_t* valueName, const std::wstring& text) {
    return RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

std::vector<DownloadFolder> ResolveDownloadFolders(const SettingReading& edge, const SettingReading& shell,
                                                   const SettingReading& shellThird,
                                                   const std::function<std::wstring(const std::wstring&)>& expand) {
    const auto pathOf = [&expand](const std::optional<std::wstring>& text) {
        return text ? expand(*text) : std::wstring();
    };
    std::wstring edgePath = pathOf(edge.text);
    std::wstring shellPath = pathOf(shell.text);
    if (shellPath == edgePath) shellPath.clear();
    std::wstring thirdPath;
    if (shellThird.keyOpened) thirdPath = expand(shellThird.text.value_or(L"%USERPROFILE%\\Downloads"));
    if (thirdPath == edgePath || thirdPath == shellPath) thirdPath.clear();
    return {{L"EdgeDownloadDir", std::move(edgePath)},
            {L"Win10DownloadDir", std::move(shellPath)},
            {L"Win10DownloadDir3", std::move(thirdPath)}};
}

std::wstring DownloadFoldersText(const std::vector<DownloadFolder>& folders) {
    const junk::Json array(cJSON_CreateArray());
    for (const DownloadFolder& folder : folders) {
        cJSON* entry = cJSON_CreateObject();
        junk::AddTextMember(entry, "first", folder.label);
        junk::AddTextMember(entry, "second", folder.path);
        cJSON_AddItemToArray(array.get(), entry);
    }
    return junk::PrintJson(array.get());
}

std::vector<DownloadFolder> ReadDownloadFolders() {
    return ResolveDownloadFolders(
        ReadSetting(kEdgeDownloadKey, kEdgeDownloadValue), ReadSetting(kShellFoldersKey, kShellDownloadValue),
        ReadSetting(kShellFoldersKey, kShellDownloadThirdValue),
        [](const std::wstring& path) { return common::ExpandedEnvironmentPath(path); });
}

bool WriteDownloadFolders(const std::wstring& target) {
    // Each setting is written even when an earlier one failed. Edge may not
    // be installed: its setting is written only where its key exists.
    bool written = true;
    if (const common::UniqueRegKey edge = OpenUserKey(kEdgeDownloadKey))
        written = WriteText(edge.get(), kEdgeDownloadValue, target);
    const common::UniqueRegKey shell = OpenUserKey(kShellFoldersKey);
    if (!shell) return false;
    written = WriteText(shell.get(), kShellDownloadValue, target) && written;
    return WriteText(shell.get(), kShellDownloadThirdValue, target) && written;
}

engine::Value GetDownloadDir(app::BridgeArgs) { return DownloadFoldersText(ReadDownloadFolders()); }

}  // namespace disk
