#include "disk/download_folders.h"

#include <windows.h>

#include "app/settings_store_values.h"
#include "common/env_path.h"
#include "common/handles.h"
#include "common/registry_value.h"
#include "db/local_database.h"
#include "disk/movable_folders.h"
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

void PutBack(std::vector<PreviousSetting>& settings, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        PreviousSetting& setting = settings[i];
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
    return MovableDownloadFolders(
        ResolveDownloadFolders(
            ReadSetting(kEdgeDownloadKey, kEdgeDownloadValue), ReadSetting(kShellFoldersKey, kShellDownloadValue),
            ReadSetting(kShellFoldersKey, kShellDownloadThirdValue),
            [](const std::wstring& path) { return common::ExpandedEnvironmentPath(path); }),
        junk::SystemProtectedFolders());
}

LSTATUS SetRegistryValue(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExW(key, name, 0, type, data, size);
}

bool WriteDownloadFolders(const std::wstring& target, const ValueSetter& setValue) {
    std::vector<PreviousSetting> settings;
    std::vector<db::DownloadSettingBefore> journal;
    for (const SettingPlace& place : kSettingPlaces) {
        common::UniqueRegKey key = OpenUserKey(place.key);
        if (!key && place.optional) continue;
        common::RegistryValue previous;
        const LSTATUS read = key ? common::ReadRegistryValue(key.get(), place.value, previous) : ERROR_FILE_NOT_FOUND;
        if (!key || (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND)) return false;
        std::optional<common::RegistryValue> before;
        if (read == ERROR_SUCCESS) before = std::move(previous);
        journal.push_back({place.key, place.value, before});
        settings.push_back({std::move(key), place.value, std::move(before)});
    }
    const std::optional<std::int64_t> row = db::Database().AddDownloadMove(target, journal);
    if (!row) return false;
    const common::RegistryValue value = common::TextValue(target);
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (setValue(settings[i].key.get(), settings[i].value, value.type, value.data.data(),
                     static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS) {
            PutBack(settings, i + 1);
            db::Database().RemoveDownloadMove(*row);
            return false;
        }
    }
    return true;
}

registry::RestoreReport RestoreDownloadFolders(const db::DownloadMoveRow& move) {
    registry::RestoreReport report;
    const common::RegistryValue moved = common::TextValue(move.target);
    for (const db::DownloadSettingBefore& setting : move.settings) {
        const std::wstring name = setting.key + L"\\" + setting.value;
        const common::UniqueRegKey key = OpenUserKey(setting.key.c_str());
        if (!key) {
            report.failed.push_back(name);
            continue;
        }
        const std::optional<common::RegistryValue> now = common::ReadRegistryValue(key.get(), setting.value);
        if (now == setting.previous) {
            ++report.restored;
        } else if (now != moved) {
            report.existing.push_back(name);  // changed since the move: the user's now
        } else if (setting.previous ? common::WriteRegistryValue(key.get(), setting.value, *setting.previous)
                                    : RegDeleteValueW(key.get(), setting.value.c_str()) == ERROR_SUCCESS) {
            ++report.restored;
        } else {
            report.failed.push_back(name);
        }
    }
    return report;
}

engine::Value GetDownloadDir(app::BridgeArgs) { return DownloadFoldersText(ReadDownloadFolders()); }

}  // namespace disk
