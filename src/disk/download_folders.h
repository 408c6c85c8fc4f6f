#pragma once
// The system's download-folder settings: Edge's download directory and the
// shell's two Downloads entries under User Shell Folders. Read as a list of
// three labelled paths, and rewritten together when the folder moves.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/script_bridge.h"

namespace disk {

struct DownloadFolder {
    std::wstring label;  // "EdgeDownloadDir", "Win10DownloadDir", "Win10DownloadDir3"
    std::wstring path;   // expanded; may be empty
};

// What reading one setting found: whether its key opened, and its text when
// the value is a properly terminated REG_SZ or REG_EXPAND_SZ.
struct SettingReading {
    bool keyOpened = false;
    std::optional<std::wstring> text;
};

// The three folders from the readings: a setting without a proper text is
// empty, except the third, which then defaults to "%USERPROFILE%\Downloads"
// when its key opened. A path equal to an earlier one (exact comparison)
// becomes empty, so that each folder is listed once.
std::vector<DownloadFolder> ResolveDownloadFolders(const SettingReading& edge, const SettingReading& shell,
                                                   const SettingReading& shellThird,
                                                   const std::function<std::wstring(const std::wstring&)>& expand);

// [{"first":label,"second":path}, ...]
std::wstring DownloadFoldersText(const std::vector<DownloadFolder>& folders);

// The settings as this user has them now.
std::vector<DownloadFolder> ReadDownloadFolders();

// Points the settings at `target`: Edge's when its key exists, the shell's
// two always. False when a shell value cannot be written.
bool WriteDownloadFolders(const std::wstring& target);

// The three folders as JSON text.
engine::Value GetDownloadDir(app::BridgeArgs args);

}  // namespace disk
