#pragma once
// The system's download-folder settings: Edge's download directory and the
// shell's two Downloads entries under User Shell Folders. Read as a list of
// three labelled paths, and rewritten together when the folder moves.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/script_bridge.h"
#include "db/local_database.h"
#include "registry/registry_restore.h"

namespace disk {

// Where the settings live, below HKEY_CURRENT_USER.
inline constexpr const wchar_t* kEdgeDownloadKey =
    L"SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppContainer\\Storage\\"
    L"microsoft.microsoftedge_8wekyb3d8bbwe\\MicrosoftEdge\\Main";
inline constexpr const wchar_t* kEdgeDownloadValue = L"Default Download Directory";
inline constexpr const wchar_t* kShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
inline constexpr const wchar_t* kShellDownloadValue = L"{374DE290-123F-4565-9164-39C4925E467B}";
inline constexpr const wchar_t* kShellDownloadThirdValue = L"{7D83EE9B-2244-4E70-B1F5-5393042AF1E4}";

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

// The settings as this user has them now; one naming a place no move may
// take from (movable_folders.h) is empty.
std::vector<DownloadFolder> ReadDownloadFolders();

// How a setting's value is written: RegSetValueExW's arguments and answer.
using ValueSetter = std::function<LSTATUS(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size)>;
LSTATUS SetRegistryValue(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size);

// Points the settings at `target`, all or none: Edge's when its key exists,
// the shell's two always. Each one is read before any is written and the
// change journal records them (linked to the move under way `underway`,
// when given); without that record nothing is written. When any of them
// cannot be written, each one written already gets back its exact earlier
// type and data (or is removed again when it did not exist), through
// `setValue` too; the record goes once every one is back, and stays when one
// is not, so that undoing the change can still put it back. The answer is
// then false.
bool WriteDownloadFolders(const std::wstring& target, const ValueSetter& setValue = SetRegistryValue,
                          std::optional<std::int64_t> underway = std::nullopt);

// Points the settings of a recorded move back: each one that still holds
// the move's target gets its earlier type and data again (or is removed
// when it did not exist); one changed since is reported and left as it is.
// The folder a setting names again is made first when it is missing (its
// earlier text, or the profile's Downloads for a shell setting that did not
// exist), through checked folders only (common/verified_folder.*); one that
// cannot be made is reported as failed and its settings stay as they are.
// The files stay where the move put them.
registry::RestoreReport RestoreDownloadFolders(const db::DownloadMoveRow& move);

// Whether every setting a recorded move rewrote holds its target now.
bool DownloadFoldersHold(const db::DownloadMoveRow& move);

// The folder a recorded setting names once it is put back; nothing when it
// names none.
std::optional<std::wstring> FolderPutBack(const db::DownloadSettingBefore& setting,
                                          const std::function<std::wstring(const std::wstring&)>& expand);

// The three folders as JSON text.
engine::Value GetDownloadDir(core::BridgeArgs args);

}  // namespace disk
