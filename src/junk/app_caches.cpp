#include "junk/app_caches.h"

#include <windows.h>

#include <algorithm>

#include "common/handles.h"
#include "junk/folder_walk.h"
#include "junk/junk_lists.h"

namespace junk {

namespace {

constexpr Browser kBrowsers[] = {
    {kChromeCategory, L"Chrome", L"chrome.exe"},    {kEdgeCategory, L"Edge", L"msedge.exe"},
    {kBraveCategory, L"Brave", L"brave.exe"},       {kVivaldiCategory, L"Vivaldi", L"vivaldi.exe"},
    {kOperaCategory, L"Opera", L"opera.exe"},       {kFirefoxCategory, L"Firefox", L"firefox.exe"},
};

// The User Data of the Chromium browsers that keep it in the local AppData.
const wchar_t* ChromiumUserData(int category) {
    switch (category) {
        case kChromeCategory: return L"\\Google\\Chrome\\User Data";
        case kEdgeCategory: return L"\\Microsoft\\Edge\\User Data";
        case kBraveCategory: return L"\\BraveSoftware\\Brave-Browser\\User Data";
        case kVivaldiCategory: return L"\\Vivaldi\\User Data";
        default: return nullptr;
    }
}

// Opera keeps its User Data (profile files, Preferences) in the roaming
// AppData and its disk cache at the same place in the local AppData.
constexpr wchar_t kOperaData[] = L"\\Opera Software\\Opera Stable";
constexpr wchar_t kFirefoxProfiles[] = L"\\Mozilla\\Firefox\\Profiles";

constexpr const wchar_t* kChromiumProfileCaches[] = {L"\\Cache", L"\\Code Cache", L"\\GPUCache"};
constexpr const wchar_t* kChromiumUserDataCaches[] = {L"\\ShaderCache", L"\\GrShaderCache"};
constexpr const wchar_t* kFirefoxProfileCaches[] = {L"\\cache2", L"\\startupCache"};
constexpr const wchar_t* kShaderCaches[] = {L"\\D3DSCache", L"\\NVIDIA\\DXCache", L"\\NVIDIA\\GLCache",
                                            L"\\AMD\\DxCache"};

bool IsPlainFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// The names of the folders in `folder` that are not links.
std::vector<std::wstring> SubfolderNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const common::UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return names;
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L".." || !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            IsLink(data.dwFileAttributes))
            continue;
        names.emplace_back(name);
    } while (FindNextFileW(find.get(), &data));
    std::ranges::sort(names);
    return names;
}

// The profiles of a Chromium User Data, each as "\<name>" (an empty text
// for the User Data itself, when it is a profile as Opera's is).
std::vector<std::wstring> ChromiumProfiles(const std::wstring& userData, bool userDataIsProfile) {
    std::vector<std::wstring> profiles;
    if (userDataIsProfile && IsPlainFile(userData + L"\\Preferences")) profiles.emplace_back();
    for (const std::wstring& name : SubfolderNames(userData))
        if (IsChromiumProfile(name, IsPlainFile(userData + L"\\" + name + L"\\Preferences")))
            profiles.push_back(L"\\" + name);
    return profiles;
}

// The caches of the profiles (and of the User Data itself) found in
// `userData`, under each of `bases` (the same layout in another AppData).
void AddChromiumCaches(std::vector<std::wstring>& folders, const std::wstring& userData, bool userDataIsProfile,
                       const std::vector<std::wstring>& bases) {
    const std::vector<std::wstring> profiles = ChromiumProfiles(userData, userDataIsProfile);
    for (const std::wstring& base : bases) {
        for (const std::wstring& profile : profiles)
            for (const wchar_t* cache : kChromiumProfileCaches) folders.push_back(base + profile + cache);
        for (const wchar_t* cache : kChromiumUserDataCaches) folders.push_back(base + cache);
    }
}

std::wstring Under(const std::wstring& appData, const wchar_t* part) {
    return appData.empty() ? std::wstring() : appData + part;
}

}  // namespace

bool IsAppCategory(int category) { return category >= kFirstAppCategory && category < kJunkCategoryCount; }

const Browser* BrowserOf(int category) {
    const auto found = std::ranges::find(kBrowsers, category, &Browser::category);
    return found == std::end(kBrowsers) ? nullptr : &*found;
}

bool IsChromiumProfile(std::wstring_view name, bool holdsPreferences) {
    if (holdsPreferences || name == L"Default") return true;
    constexpr std::wstring_view kNumbered = L"Profile ";
    if (name.size() <= kNumbered.size() || name.substr(0, kNumbered.size()) != kNumbered) return false;
    return std::ranges::all_of(name.substr(kNumbered.size()), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

std::vector<std::wstring> ProgramFolders(int category, const CategorySources& sources) {
    if (const wchar_t* userData = ChromiumUserData(category)) return {Under(sources.localAppData, userData)};
    switch (category) {
        case kOperaCategory: return {Under(sources.roamingAppData, kOperaData)};
        case kFirefoxCategory: return {Under(sources.localAppData, kFirefoxProfiles)};
        case kShaderCacheCategory: {
            std::vector<std::wstring> folders;
            for (const wchar_t* cache : kShaderCaches) folders.push_back(Under(sources.localAppData, cache));
            return folders;
        }
        case kCrashDumpsCategory:
            return {Under(sources.localAppData, L"\\CrashDumps"), sources.variable(L"SYSTEMROOT") + L"\\Minidump",
                    sources.variable(L"SYSTEMROOT") + L"\\MEMORY.DMP"};
        default: return {};
    }
}

bool CategoryPresent(int category, const CategorySources& sources) {
    if (!IsAppCategory(category)) return true;
    const std::vector<std::wstring> folders = ProgramFolders(category, sources);
    return std::ranges::any_of(folders, [](const std::wstring& folder) {
        return PlainFolder(folder) && GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
}

std::vector<std::wstring> AppCacheFolders(int category, const CategorySources& sources) {
    std::vector<std::wstring> folders;
    if (const wchar_t* userData = ChromiumUserData(category)) {
        const std::wstring data = Under(sources.localAppData, userData);
        if (!data.empty()) AddChromiumCaches(folders, data, false, {data});
        return folders;
    }
    switch (category) {
        case kOperaCategory: {
            const std::wstring data = Under(sources.roamingAppData, kOperaData);
            const std::wstring local = Under(sources.localAppData, kOperaData);
            if (data.empty()) return folders;
            std::vector<std::wstring> bases{data};
            if (!local.empty()) bases.push_back(local);
            AddChromiumCaches(folders, data, true, bases);
            return folders;
        }
        case kFirefoxCategory: {
            const std::wstring profiles = Under(sources.localAppData, kFirefoxProfiles);
            if (profiles.empty()) return folders;
            for (const std::wstring& name : SubfolderNames(profiles))
                for (const wchar_t* cache : kFirefoxProfileCaches) folders.push_back(profiles + L"\\" + name + cache);
            return folders;
        }
        case kShaderCacheCategory: return ProgramFolders(category, sources);
        case kCrashDumpsCategory: return {Under(sources.localAppData, L"\\CrashDumps")};
        default: return folders;
    }
}

}  // namespace junk
