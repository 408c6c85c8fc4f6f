#include "junk/protected_folders.h"

#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>

#include <algorithm>

#include "common/env_path.h"
#include "common/handles.h"
#include "common/listed_delete.h"

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

bool IsProtectedFolder(std::wstring_view folder, const std::vector<std::wstring>& protectedFolders) {
    if (IsRoot(folder)) return true;
    return std::ranges::any_of(protectedFolders,
                               [folder](const std::wstring& kept) { return Holds(folder, kept); });
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

void AddKnownFolder(std::vector<std::wstring>& texts, REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path))) texts.emplace_back(path);
    CoTaskMemFree(path);
}

void AddSystemFolder(std::vector<std::wstring>& texts, UINT (WINAPI* read)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH];
    const UINT length = read(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) texts.emplace_back(path, length);
}

// A text value, REG_EXPAND_SZ expanded.
void AddRegistryText(std::vector<std::wstring>& texts, HKEY key, const wchar_t* name) {
    DWORD size = 0;
    constexpr DWORD kTexts = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ;
    if (RegGetValueW(key, nullptr, name, kTexts, nullptr, nullptr, &size) != ERROR_SUCCESS || size < 2) return;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(key, nullptr, name, kTexts, nullptr, text.data(), &size) != ERROR_SUCCESS) return;
    text.resize(wcsnlen(text.c_str(), text.size()));
    texts.push_back(std::move(text));
}

void AddRegistryFolders(std::vector<std::wstring>& texts) {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        common::UniqueRegKey current;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ | view,
                          current.put()) == ERROR_SUCCESS) {
            for (const wchar_t* name : {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir"})
                AddRegistryText(texts, current.get(), name);
        }
        common::UniqueRegKey profiles;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                          KEY_READ | view, profiles.put()) != ERROR_SUCCESS)
            continue;
        for (const wchar_t* name : {L"ProfilesDirectory", L"Default", L"Public", L"ProgramData"})
            AddRegistryText(texts, profiles.get(), name);
        wchar_t sid[256];
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(std::size(sid));
            const LSTATUS status = RegEnumKeyExW(profiles.get(), index, sid, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS) continue;
            common::UniqueRegKey profile;
            if (RegOpenKeyExW(profiles.get(), sid, 0, KEY_READ | view, profile.put()) == ERROR_SUCCESS)
                AddRegistryText(texts, profile.get(), L"ProfileImagePath");
        }
    }
}

}  // namespace

std::vector<std::wstring> SystemProtectedFolders() {
    std::vector<std::wstring> texts;
    AddSystemFolder(texts, GetWindowsDirectoryW);
    AddSystemFolder(texts, GetSystemWindowsDirectoryW);
    AddSystemFolder(texts, GetSystemDirectoryW);
    AddSystemFolder(texts, GetSystemWow64DirectoryW);
    for (const KNOWNFOLDERID* id : {&FOLDERID_Windows, &FOLDERID_System, &FOLDERID_SystemX86, &FOLDERID_ProgramFiles,
                                    &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramFilesX64, &FOLDERID_ProgramData,
                                    &FOLDERID_Profile, &FOLDERID_UserProfiles, &FOLDERID_Public})
        AddKnownFolder(texts, *id);
    for (const wchar_t* name : {L"SYSTEMROOT", L"windir", L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432",
                                L"ProgramData", L"ALLUSERSPROFILE", L"USERPROFILE", L"PUBLIC"}) {
        std::wstring value = common::ReadEnvironmentVariable(name);
        if (!value.empty()) texts.push_back(std::move(value));
    }
    AddRegistryFolders(texts);

    std::vector<std::wstring> folders;
    for (const std::wstring& text : texts) {
        std::optional<std::wstring> plain = PlainFolder(text);
        if (!plain) continue;
        if (const std::optional<std::wstring> resolved = common::ResolvedFolder(*plain)) {
            if (std::optional<std::wstring> final = PlainFolder(*resolved); final && *final != *plain)
                folders.push_back(std::move(*final));
        }
        folders.push_back(std::move(*plain));
    }
    return folders;
}

}  // namespace junk
