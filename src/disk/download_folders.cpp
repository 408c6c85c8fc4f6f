#include "disk/download_folders.h"

#include <windows.h>

#include "app/settings_store_values.h"
#include "common/env_path.h"
#include "common/handles.h"
#include "junk/json_text.h"

namespace disk {

namespace {

constexpr const wchar_t* kEdgeKey =
    L"SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppContainer\\Storage\\"
    L"microsoft.microsoftedge_8wekyb3d8bbwe\\MicrosoftEdge\\Main";
constexpr const wchar_t* kEdgeValue = L"Default Download Directory";
constexpr const wchar_t* kShellKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const wchar_t* kShellValue = L"{374DE290-123F-4565-9164-39C4925E467B}";
constexpr const wchar_t* kShellThirdValue = L"{7D83EE9B-2244-4E70-B1F5-5393042AF1E4}";

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
    return ResolveDownloadFolders(ReadSetting(kEdgeKey, kEdgeValue), ReadSetting(kShellKey, kShellValue),
                                  ReadSetting(kShellKey, kShellThirdValue), [](const std::wstring& path) {
                                      std::wstring expanded, alternative;
                                      common::ExpandEnvironmentPath(path, expanded, alternative);
                                      return expanded;
                                  });
}

bool WriteDownloadFolders(const std::wstring& target) {
    // Each setting is written even when an earlier one failed. Edge may not
    // be installed: its setting is written only where its key exists.
    bool written = true;
    if (const common::UniqueRegKey edge = OpenUserKey(kEdgeKey)) written = WriteText(edge.get(), kEdgeValue, target);
    const common::UniqueRegKey shell = OpenUserKey(kShellKey);
    if (!shell) return false;
    written = WriteText(shell.get(), kShellValue, target) && written;
    return WriteText(shell.get(), kShellThirdValue, target) && written;
}

engine::Value GetDownloadDir(app::BridgeArgs) { return DownloadFoldersText(ReadDownloadFolders()); }

}  // namespace disk
