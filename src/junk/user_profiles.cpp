#include "junk/user_profiles.h"

#include <windows.h>

#include "common/handles.h"
#include "common/listed_delete.h"
#include "common/registry_value.h"
#include "core/settings_store_values.h"
#include "junk/junk_scan.h"
#include "junk/protected_folders.h"

namespace junk {

namespace {

constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

std::optional<std::wstring> TextValue(HKEY root, const std::wstring& path, const wchar_t* name) {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    const std::optional<common::RegistryValue> value = common::ReadRegistryValue(key.get(), name);
    return value ? core::TerminatedRegistryText(value->type, value->data) : std::nullopt;
}

std::vector<std::wstring> ProfileListSids() {
    std::vector<std::wstring> sids;
    common::UniqueRegKey list;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ | KEY_WOW64_64KEY, list.put()) != ERROR_SUCCESS)
        return sids;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status = RegEnumKeyExW(list.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_SUCCESS) sids.emplace_back(name, length);
    }
    return sids;
}

// Each fixed drive's root ("C:\").
std::vector<std::wstring> FixedDrives() {
    std::vector<std::wstring> drives;
    const DWORD mask = GetLogicalDrives();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        if (!(mask & (1u << (letter - L'A')))) continue;
        const std::wstring root = std::wstring(1, letter) + L":\\";
        if (GetDriveTypeW(root.c_str()) == DRIVE_FIXED) drives.push_back(root);
    }
    return drives;
}

}  // namespace

bool IsUserProfileSid(std::wstring_view sid) {
    constexpr std::wstring_view kUsers = L"S-1-5-21-";
    if (sid.size() <= kUsers.size() || !common::SamePathText(sid.substr(0, kUsers.size()), kUsers)) return false;
    for (const wchar_t c : sid.substr(kUsers.size()))
        if (!((c >= L'0' && c <= L'9') || c == L'-')) return false;
    return sid.back() != L'-';
}

std::wstring ProfileLocalAppData(const std::wstring& root, const std::optional<std::wstring>& shellValue,
                                 const std::wstring& windowsFolder) {
    return ProfileShellFolder(root, shellValue, windowsFolder, L"\\AppData\\Local");
}

std::vector<UserProfile> LocalUserProfiles() {
    std::vector<UserProfile> profiles;
    const std::wstring windowsFolder = SystemWindowsFolder();
    for (const std::wstring& sid : ProfileListSids()) {
        if (!IsUserProfileSid(sid)) continue;
        const std::optional<std::wstring> root = ProfileRootOf(sid);
        if (!root) continue;
        UserProfile profile;
        profile.sid = sid;
        profile.root = *root;
        common::UniqueRegKey hive;
        profile.hiveLoaded = RegOpenKeyExW(HKEY_USERS, sid.c_str(), 0, KEY_READ, hive.put()) == ERROR_SUCCESS;
        std::optional<std::wstring> localValue, roamingValue;
        if (profile.hiveLoaded) {
            constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
            localValue = TextValue(hive.get(), kShellFolders, L"Local AppData");
            roamingValue = TextValue(hive.get(), kShellFolders, L"AppData");
            profile.userTemp = TextValue(hive.get(), L"Environment", L"TEMP");
        }
        profile.localAppData = ProfileLocalAppData(profile.root, localValue, windowsFolder);
        profile.roamingAppData = ProfileShellFolder(profile.root, roamingValue, windowsFolder, L"\\AppData\\Roaming");
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

CategorySources ProfileSources(const UserProfile& profile, const ProtectedFolders& protectedFolders) {
    CategorySources sources;
    sources.userTemp = profile.userTemp;
    sources.variable = [](const wchar_t*) { return std::wstring(); };
    // The profile's own local AppData stands where the account's default
    // names it ("%USERPROFILE%\AppData\Local\...").
    sources.expand = [profile, windows = SystemWindowsFolder()](const std::wstring& path) {
        constexpr std::wstring_view kDefault = L"%USERPROFILE%\\AppData\\Local";
        if (path.size() >= kDefault.size() && common::SamePathText(std::wstring_view(path).substr(0, kDefault.size()), kDefault) &&
            (path.size() == kDefault.size() || path[kDefault.size()] == L'\\'))
            return profile.localAppData + path.substr(kDefault.size());
        return ExpandedProfileText(path, windows, profile.root).value_or(std::wstring());
    };
    sources.localAppData = profile.localAppData;
    sources.roamingAppData = profile.roamingAppData;
    // A link the user made at or below the profile root leads out of it.
    if (const std::optional<std::wstring> final = FinalPathOf(profile.root)) {
        sources.localAppDataFinal = *final + profile.localAppData.substr(profile.root.size());
        sources.roamingAppDataFinal = *final + profile.roamingAppData.substr(profile.root.size());
    }
    sources.protectedFolders = protectedFolders;
    return sources;
}

std::vector<std::wstring> ProfileWalkRoots(int category, const UserProfile& profile, const CategorySources& sources) {
    if (category != kRecycleBinCategory)
        return WalkRoots(UsableFolders(AccountOwnFolders(category, sources), sources), sources);
    std::vector<std::wstring> bins;
    for (const std::wstring& drive : FixedDrives()) {
        const std::wstring bin = drive + L"$Recycle.Bin\\" + profile.sid;
        const std::optional<std::wstring> resolved = common::ResolvedFolder(bin);
        if (resolved && common::SamePathText(*resolved, bin)) bins.push_back(bin);
    }
    return bins;
}

bool ScanProfileCategory(int category, const UserProfile& profile, const CategorySources& sources, JunkFileList& list,
                         JunkFileList& emptyFolders) {
    CategoryPlan plan = PlanFor(category, sources);
    if (plan.walker == Walker::RecycleBin) plan.walker = Walker::Folder;
    return WalkCategoryRoots(plan, ProfileWalkRoots(category, profile, sources), list, emptyFolders);
}

bool ScanMachineShare(int category, const CategorySources& sources, JunkFileList& list, JunkFileList& emptyFolders) {
    return WalkCategoryRoots(PlanFor(category, sources), WalkRoots(MachineFoldersOf(category, sources), sources), list,
                             emptyFolders);
}

}  // namespace junk
