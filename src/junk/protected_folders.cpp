#include "junk/protected_folders.h"

#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>

#include <algorithm>

#include "common/account_sid.h"
#include "common/env_path.h"
#include "common/handles.h"
#include "common/listed_delete.h"
#include "common/registry_value.h"
#include "core/settings_store_values.h"

namespace junk {

namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Splits at backslashes, dropping empty parts.
std::vector<std::wstring_view> Parts(std::wstring_view text) {
    std::vector<std::wstring_view> parts;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(L'\\'), text.size());
        if (end > 0) parts.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return parts;
}

// Windows drops trailing dots and blanks of a name ("Windows." is "Windows").
std::wstring_view WithoutTrailingDots(std::wstring_view name) {
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.remove_suffix(1);
    return name;
}

// True when `inner` is `outer` or lies inside it.
bool Holds(std::wstring_view outer, std::wstring_view inner) {
    if (inner.size() < outer.size() || !common::SamePathText(inner.substr(0, outer.size()), outer)) return false;
    return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

bool IsRoot(std::wstring_view folder) {
    if (folder.size() == 3 && folder[1] == L':') return true;
    return folder.starts_with(L"\\\\") && Parts(folder).size() == 2;
}

}  // namespace

std::optional<std::wstring> PlainFolder(std::wstring_view path) {
    std::wstring text(path);
    std::replace(text.begin(), text.end(), L'/', L'\\');
    std::wstring_view rest = text;
    const bool verbatim = rest.starts_with(L"\\\\?\\");
    std::wstring plain;
    if (rest.starts_with(L"\\\\?\\UNC\\")) {
        rest.remove_prefix(8);
        plain = L"\\\\";
    } else if (verbatim) {
        rest.remove_prefix(4);
    } else if (rest.starts_with(L"\\\\")) {
        rest.remove_prefix(2);
        plain = L"\\\\";
    }
    if (plain.empty()) {
        // "C:" and "C:temp" are relative to the drive's current folder.
        if (rest.size() < 3 || !IsDriveLetter(rest[0]) || rest[1] != L':' || rest[2] != L'\\') return std::nullopt;
        plain.assign(rest.substr(0, 3));
        rest.remove_prefix(3);
    }
    std::vector<std::wstring_view> parts = Parts(rest);
    std::vector<std::wstring_view> kept;
    for (std::wstring_view part : parts) {
        if (part == L".") continue;
        if (part == L"..") {
            if (kept.empty()) return std::nullopt;
            kept.pop_back();
            continue;
        }
        if (!verbatim) part = WithoutTrailingDots(part);
        if (!part.empty()) kept.push_back(part);
    }
    if (plain == L"\\\\") {
        // A share's root is its server and share name.
        if (kept.size() < 2) return std::nullopt;
        plain.append(kept[0]).append(L"\\").append(kept[1]);
        kept.erase(kept.begin(), kept.begin() + 2);
        for (const std::wstring_view part : kept) plain.append(L"\\").append(part);
        return plain;
    }
    for (std::size_t i = 0; i < kept.size(); ++i) plain.append(i ? L"\\" : L"").append(kept[i]);
    return plain;
}

bool LiesInside(std::wstring_view inner, std::wstring_view outer) {
    return !outer.empty() && inner.size() != outer.size() && Holds(outer, inner);
}

namespace {

// How far a kind of protected folder reaches for one use.
enum class Reach { None, Itself, WithInside };

struct Kind {
    std::vector<std::wstring> ProtectedFolders::*folders;
    Reach walk;
    Reach move;
};

// The table of protected_folders.h.
constexpr Kind kKinds[] = {
    {&ProtectedFolders::data, Reach::WithInside, Reach::WithInside},
    {&ProtectedFolders::downloads, Reach::WithInside, Reach::None},
    {&ProtectedFolders::system, Reach::Itself, Reach::WithInside},
    {&ProtectedFolders::profiles, Reach::Itself, Reach::WithInside},
    {&ProtectedFolders::account, Reach::Itself, Reach::Itself},
};

bool IsRefused(std::wstring_view folder, const ProtectedFolders& folders, Reach Kind::*use) {
    if (IsRoot(folder)) return true;
    return std::ranges::any_of(kKinds, [&](const Kind& kind) {
        const Reach reach = kind.*use;
        return std::ranges::any_of(folders.*kind.folders, [&](const std::wstring& kept) {
            return (reach != Reach::None && Holds(folder, kept)) || (reach == Reach::WithInside && Holds(kept, folder));
        });
    });
}

}  // namespace

bool IsProtectedFolder(std::wstring_view folder, const ProtectedFolders& folders) {
    return IsRefused(folder, folders, &Kind::walk);
}

bool IsUnmovableFolder(std::wstring_view folder, const ProtectedFolders& folders) {
    return IsRefused(folder, folders, &Kind::move);
}

std::vector<std::wstring> DistinctFolders(const std::vector<std::wstring>& folders) {
    std::vector<std::wstring> distinct;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        bool inside = false;
        for (std::size_t j = 0; j < folders.size() && !inside; ++j) {
            if (j == i || !Holds(folders[j], folders[i])) continue;
            // Inside another, or the same as an earlier one.
            inside = folders[j].size() != folders[i].size() || j < i;
        }
        if (!inside) distinct.push_back(folders[i]);
    }
    return distinct;
}

namespace {

using Texts = std::vector<std::wstring>;

void AddKnownFolders(Texts& texts, std::initializer_list<const KNOWNFOLDERID*> ids) {
    for (const KNOWNFOLDERID* id : ids) {
        wchar_t* path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &path))) texts.emplace_back(path);
        CoTaskMemFree(path);
    }
}

void AddSystemFolder(Texts& texts, UINT (WINAPI* read)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH];
    const UINT length = read(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) texts.emplace_back(path, length);
}

void AddVariables(Texts& texts, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
        std::wstring value = common::ReadEnvironmentVariable(name);
        if (!value.empty()) texts.push_back(std::move(value));
    }
}

// A text value, REG_EXPAND_SZ expanded.
void AddRegistryText(Texts& texts, HKEY key, const wchar_t* name) {
    DWORD size = 0;
    constexpr DWORD kTexts = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ;
    if (RegGetValueW(key, nullptr, name, kTexts, nullptr, nullptr, &size) != ERROR_SUCCESS || size < 2) return;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(key, nullptr, name, kTexts, nullptr, text.data(), &size) != ERROR_SUCCESS) return;
    text.resize(wcsnlen(text.c_str(), text.size()));
    texts.push_back(std::move(text));
}

// Calls `each` with every subkey of `key`.
template <typename Each>
void ForEachSubkey(HKEY key, REGSAM view, Each each) {
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        common::UniqueRegKey subkey;
        if (status == ERROR_SUCCESS && RegOpenKeyExW(key, name, 0, KEY_READ | view, subkey.put()) == ERROR_SUCCESS)
            each(subkey.get());
    }
}

constexpr const wchar_t* kProfileList = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// What HKEY_LOCAL_MACHINE names: the Program Files folders, ProgramData, the
// profiles' folder and every profile root.
void AddMachineFolders(Texts& data, Texts& system, Texts& account, Texts& roots) {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        common::UniqueRegKey current;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ | view,
                          current.put()) == ERROR_SUCCESS) {
            for (const wchar_t* name : {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir"})
                AddRegistryText(data, current.get(), name);
        }
        common::UniqueRegKey profiles;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ | view, profiles.put()) != ERROR_SUCCESS)
            continue;
        AddRegistryText(account, profiles.get(), L"ProfilesDirectory");
        AddRegistryText(system, profiles.get(), L"ProgramData");
        for (const wchar_t* name : {L"Default", L"Public"}) AddRegistryText(roots, profiles.get(), name);
        ForEachSubkey(profiles.get(), view, [&roots](HKEY profile) { AddRegistryText(roots, profile, L"ProfileImagePath"); });
    }
}

// OneDrive's folders: one "UserFolder" for each signed-in account, and the
// variables OneDrive sets.
void AddOneDriveFolders(Texts& data) {
    AddKnownFolders(data, {&FOLDERID_SkyDrive});
    AddVariables(data, {L"OneDrive", L"OneDriveConsumer", L"OneDriveCommercial"});
    common::UniqueRegKey accounts;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\OneDrive\\Accounts", 0, KEY_READ, accounts.put()) ==
        ERROR_SUCCESS)
        ForEachSubkey(accounts.get(), 0, [&data](HKEY account) { AddRegistryText(data, account, L"UserFolder"); });
}

// The data folders every profile holds at these names.
constexpr const wchar_t* kDataNames[] = {L"Documents", L"Desktop", L"Pictures", L"Music",
                                         L"Videos",    L"Favorites", L"OneDrive"};

}  // namespace

std::optional<std::wstring> FinalPathOf(const std::wstring& path) {
    const common::UniqueFile handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return std::nullopt;
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()), 0);
    if (length >= final.size()) {
        final.resize(length);
        length = GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()), 0);
    }
    if (length == 0 || length >= final.size()) return std::nullopt;
    final.resize(length);
    return PlainFolder(final);
}

std::optional<std::wstring> ExpandedProfileText(std::wstring_view text, const std::wstring& windowsFolder,
                                                const std::wstring& profile) {
    std::wstring expanded(text);
    // Each pass replaces every occurrence of the first token left.
    while (const std::optional<common::EnvironmentToken> token = common::FindEnvironmentToken(expanded)) {
        std::wstring value;
        if (common::SamePathText(token->name, L"SystemRoot") || common::SamePathText(token->name, L"windir"))
            value = windowsFolder;
        else if (common::SamePathText(token->name, L"SystemDrive") && windowsFolder.size() >= 2)
            value = windowsFolder.substr(0, 2);
        else if (common::SamePathText(token->name, L"USERPROFILE"))
            value = profile;
        if (value.empty()) return std::nullopt;
        expanded = common::ReplaceAll(expanded, token->token, value);
    }
    return PlainFolder(expanded);
}

std::wstring ProfileShellFolder(const std::wstring& root, const std::optional<std::wstring>& shellValue,
                                const std::wstring& windowsFolder, std::wstring_view defaultPart) {
    if (shellValue) {
        const std::optional<std::wstring> folder = ExpandedProfileText(*shellValue, windowsFolder, root);
        if (folder && LiesInside(*folder, root)) return *folder;
    }
    return root + std::wstring(defaultPart);
}

std::wstring SystemWindowsFolder() {
    wchar_t windows[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    return length >= 3 && length < MAX_PATH ? std::wstring(windows, length) : std::wstring();
}

std::optional<std::wstring> ProfileRootOf(const std::wstring& sid) {
    common::UniqueRegKey profile;
    if (sid.empty() || RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kProfileList) + L"\\" + sid).c_str(), 0,
                                     KEY_READ | KEY_WOW64_64KEY, profile.put()) != ERROR_SUCCESS)
        return std::nullopt;
    const std::optional<common::RegistryValue> value = common::ReadRegistryValue(profile.get(), L"ProfileImagePath");
    const std::optional<std::wstring> text = value ? core::TerminatedRegistryText(value->type, value->data) : std::nullopt;
    const std::wstring windowsFolder = SystemWindowsFolder();
    if (!text || windowsFolder.empty()) return std::nullopt;
    // Only the system's own variables may stand in it: the environment is
    // the user's to change.
    return ExpandedProfileText(*text, windowsFolder, L"");
}

std::optional<std::wstring> AccountProfile() { return ProfileRootOf(common::ProcessAccountSid()); }

ProtectedFolders SystemProtectedFolders() {
    Texts data, downloads, system, otherProfiles, account, roots;
    AddSystemFolder(system, GetWindowsDirectoryW);
    AddSystemFolder(system, GetSystemWindowsDirectoryW);
    AddSystemFolder(system, GetSystemDirectoryW);
    AddSystemFolder(system, GetSystemWow64DirectoryW);
    AddKnownFolders(system, {&FOLDERID_Windows, &FOLDERID_System, &FOLDERID_SystemX86, &FOLDERID_ProgramData});
    AddVariables(system, {L"SYSTEMROOT", L"windir", L"ProgramData", L"ALLUSERSPROFILE"});
    AddKnownFolders(data, {&FOLDERID_Documents, &FOLDERID_Desktop, &FOLDERID_Pictures, &FOLDERID_Music, &FOLDERID_Videos,
                           &FOLDERID_Favorites, &FOLDERID_PublicDocuments, &FOLDERID_PublicDesktop,
                           &FOLDERID_PublicPictures, &FOLDERID_PublicMusic, &FOLDERID_PublicVideos,
                           &FOLDERID_PublicDownloads, &FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86,
                           &FOLDERID_ProgramFilesX64});
    AddVariables(data, {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"});
    AddOneDriveFolders(data);
    AddKnownFolders(downloads, {&FOLDERID_Downloads});
    AddKnownFolders(account, {&FOLDERID_UserProfiles, &FOLDERID_LocalAppData, &FOLDERID_RoamingAppData,
                              &FOLDERID_LocalAppDataLow});
    // The environment may name any folder: as themselves only.
    AddVariables(account, {L"USERPROFILE", L"PUBLIC"});
    AddKnownFolders(roots, {&FOLDERID_Profile, &FOLDERID_Public});
    AddMachineFolders(data, system, account, roots);

    // Each profile root the machine knows, with the default places of its
    // data folders inside it.
    const std::optional<std::wstring> own = AccountProfile();
    if (own) roots.push_back(*own);
    const std::optional<std::wstring> ownFinal = own ? FinalPathOf(*own) : std::nullopt;
    const auto isOwn = [&](const std::wstring& root) {
        return (own && common::SamePathText(root, *own)) || (ownFinal && common::SamePathText(root, *ownFinal));
    };
    for (const std::wstring& text : roots) {
        const std::optional<std::wstring> root = PlainFolder(text);
        if (!root) continue;
        const bool mine = isOwn(*root);
        (mine ? account : otherProfiles).push_back(*root);
        for (const wchar_t* name : kDataNames) data.push_back(*root + L"\\" + name);
        (mine ? downloads : data).push_back(*root + L"\\Downloads");
        if (mine)
            for (const wchar_t* name : {L"\\AppData", L"\\AppData\\Local", L"\\AppData\\Roaming", L"\\AppData\\LocalLow"})
                account.push_back(*root + name);
    }

    // Each plainly and, where it differs, as its final path.
    const auto plainFolders = [](const Texts& texts) {
        std::vector<std::wstring> folders;
        const auto add = [&folders](std::wstring folder) {
            if (std::ranges::none_of(folders, [&folder](const std::wstring& f) { return f == folder; }))
                folders.push_back(std::move(folder));
        };
        for (const std::wstring& text : texts) {
            std::optional<std::wstring> plain = PlainFolder(text);
            if (!plain) continue;
            if (std::optional<std::wstring> final = FinalPathOf(*plain)) add(std::move(*final));
            add(std::move(*plain));
        }
        return folders;
    };
    return {plainFolders(data), plainFolders(downloads), plainFolders(system), plainFolders(otherProfiles),
            plainFolders(account)};
}

}  // namespace junk
