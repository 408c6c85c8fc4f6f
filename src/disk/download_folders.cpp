#include "disk/download_folders.h"

#include <windows.h>

#include <algorithm>

#include "common/crash_point.h"
#include "common/env_path.h"
#include "common/handles.h"
#include "common/registry_value.h"
#include "common/verified_folder.h"
#include "core/settings_store_values.h"
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
        reading.text = core::TerminatedRegistryText(type, {buffer, size});
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

// True when each of the first `count` settings has its earlier value again.
bool PutBack(std::vector<PreviousSetting>& settings, std::size_t count, const ValueSetter& setValue) {
    bool all = true;
    for (std::size_t i = 0; i < count; ++i) {
        const PreviousSetting& setting = settings[i];
        const LSTATUS status =
            setting.previous ? setValue(setting.key.get(), setting.value, setting.previous->type,
                                        setting.previous->data.data(), static_cast<DWORD>(setting.previous->data.size()))
                             : RegDeleteValueW(setting.key.get(), setting.value);
        all = all && (status == ERROR_SUCCESS || (!setting.previous && status == ERROR_FILE_NOT_FOUND));
    }
    return all;
}

// The setting's value now; nothing when it is missing or its key cannot be opened.
std::optional<common::RegistryValue> CurrentValue(const db::DownloadSettingBefore& setting, common::UniqueRegKey* opened) {
    common::UniqueRegKey key = OpenUserKey(setting.key.c_str());
    std::optional<common::RegistryValue> value;
    if (key) value = common::ReadRegistryValue(key.get(), setting.value);
    if (opened) *opened = std::move(key);
    return value;
}

// Makes the folder a setting names again when it is missing; false when it
// cannot be made.
bool FolderIsThere(const std::optional<std::wstring>& folder) {
    if (!folder) return true;
    const DWORD attributes = GetFileAttributesW(folder->c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return common::MakeVerifiedFolder(*folder).has_value();
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

bool WriteDownloadFolders(const std::wstring& target, const ValueSetter& setValue,
                          std::optional<std::int64_t> underway) {
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
    const std::optional<std::int64_t> row = db::Database(db::Store::User).AddDownloadMove(target, journal, underway);
    if (!row) return false;
    const common::RegistryValue value = common::TextValue(target);
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (setValue(settings[i].key.get(), settings[i].value, value.type, value.data.data(),
                     static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS) {
            if (PutBack(settings, i, setValue)) db::Database(db::Store::User).RemoveDownloadMove(*row);
            return false;
        }
        common::CrashPoint("move.settings");
    }
    return true;
}

registry::RestoreReport RestoreDownloadFolders(const db::DownloadMoveRow& move) {
    registry::RestoreReport report;
    const common::RegistryValue moved = common::TextValue(move.target);
    const auto fail = [&report](const std::wstring& name) {
        if (std::find(report.failed.begin(), report.failed.end(), name) == report.failed.end())
            report.failed.push_back(name);
    };
    for (const db::DownloadSettingBefore& setting : move.settings) {
        const std::wstring name = setting.key + L"\\" + setting.value;
        common::UniqueRegKey key;
        const std::optional<common::RegistryValue> now = CurrentValue(setting, &key);
        if (!key) {
            fail(name);
        } else if (now == setting.previous) {
            ++report.restored;
        } else if (now != moved) {
            report.existing.push_back(name);  // changed since the move: the user's now
        } else if (const std::optional<std::wstring> folder = FolderPutBack(setting, common::ExpandedEnvironmentPath);
                   !FolderIsThere(folder)) {
            fail(*folder);  // a setting naming a missing folder would leave Downloads nowhere
        } else if (setting.previous ? common::WriteRegistryValue(key.get(), setting.value, *setting.previous)
                                    : RegDeleteValueW(key.get(), setting.value.c_str()) == ERROR_SUCCESS) {
            ++report.restored;
        } else {
            fail(name);
        }
    }
    return report;
}

bool DownloadFoldersHold(const db::DownloadMoveRow& move) {
    const common::RegistryValue moved = common::TextValue(move.target);
    return std::all_of(move.settings.begin(), move.settings.end(),
                       [&moved](const db::DownloadSettingBefore& setting) { return CurrentValue(setting, nullptr) == moved; });
}

std::optional<std::wstring> FolderPutBack(const db::DownloadSettingBefore& setting,
                                          const std::function<std::wstring(const std::wstring&)>& expand) {
    if (!setting.previous) {
        // Without the value the shell uses the profile's Downloads.
        if (setting.key == kShellFoldersKey) return expand(L"%USERPROFILE%\\Downloads");
        return std::nullopt;
    }
    const std::optional<std::wstring> text = core::TerminatedRegistryText(setting.previous->type, setting.previous->data);
    if (!text || text->empty()) return std::nullopt;
    return expand(*text);
}

engine::Value GetDownloadDir(core::BridgeArgs) { return DownloadFoldersText(ReadDownloadFolders()); }

}  // namespace disk
