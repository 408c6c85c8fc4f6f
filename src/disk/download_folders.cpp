#include "disk/download_folders.h"

#include <windows.h>

#include "app/settings_store_values.h"
#include "common/env_path.h"
#include "common/handles.h"
#include "common/registry_value.h"
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

struct SettingPlace {
    const wchar_t* key;
    const wchar_t* value;
    bool optional;  // Edge may not be installed: its setting is written only where its key exists
};
constexpr SettingPlace kSettingPlaces[] = {
    {kEdgeDownloadKey, kEdgeDownloadValue, true},
    {kShellFoldersKey, kShellDownloadValue, false},
    {kShellFoldersKey, kShellDownloadThirdValue, false},
};

// A setting as it was before the move wrote it; nothing for a missing value.
struct PreviousSetting {
    common::UniqueRegKey key;
    const wchar_t* value;
    std::optional<common::RegistryValue> previous;
};

void PutBack(std::vector<PreviousSetting>& settings) {
    for (PreviousSetting& setting : settings) {
        if (setting.previous)
            common::WriteRegistryValue(setting.key.get(), setting.value, *setting.previous);
        else
            RegDeleteValueW(setting.key.get(), setting.value);
    }
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

LSTATUS SetRegistryValue(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExW(key, name, 0, type, data, size);
}

bool WriteDownloadFolders(const std::wstring& target, const ValueSetter& setValue) {
    std::vector<PreviousSetting> written;
    for (const SettingPlace& place : kSettingPlaces) {
        common::UniqueRegKey key = OpenUserKey(place.key);
        if (!key && place.optional) continue;
        common::RegistryValue previous;
        const LSTATUS read = key ? common::ReadRegistryValue(key.get(), place.value, previous) : ERROR_FILE_NOT_FOUND;
        if (!key || (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND)) {
            PutBack(written);
            return false;
        }
        const HKEY opened = key.get();
        written.push_back({std::move(key), place.value,
                           read == ERROR_SUCCESS ? std::optional(std::move(previous)) : std::nullopt});
        if (setValue(opened, place.value, REG_SZ, reinterpret_cast<const BYTE*>(target.c_str()),
                     static_cast<DWORD>((target.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
            PutBack(written);
            return false;
        }
    }
    return true;
}

engine::Value GetDownloadDir(app::BridgeArgs) { return DownloadFoldersText(ReadDownloadFolders()); }

}  // namespace disk
