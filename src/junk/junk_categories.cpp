#include "junk/junk_categories.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <iterator>

#include "common/env_path.h"
#include "common/handles.h"
#include "common/listed_delete.h"
#include "core/log_file.h"
#include "core/settings_store_values.h"
#include "engine/wire_format.h"
#include "junk/app_caches.h"
#include "junk/junk_lists.h"

namespace junk {

namespace {

std::optional<std::wstring> ReadUserTemp() {
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    BYTE buffer[520];
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), L"TEMP", nullptr, &type, buffer, &size) != ERROR_SUCCESS) return std::nullopt;
    return core::TerminatedRegistryText(type, {buffer, size});
}

std::optional<std::wstring> KnownFolder(const KNOWNFOLDERID& id) {
    PWSTR path = nullptr;
    std::optional<std::wstring> folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path))) folder = path;
    CoTaskMemFree(path);
    return folder;
}

// A folder that lies inside `inside` must still lie inside `insideFinal`
// once links are resolved.
bool LeavesOnTheWay(const std::wstring& folder, const std::wstring& final, const std::wstring& inside,
                    const std::wstring& insideFinal) {
    return LiesInside(folder, inside) && !LiesInside(final, insideFinal);
}

}  // namespace

std::vector<std::wstring> UsableFolders(const std::vector<std::wstring>& folders, const CategorySources& sources) {
    std::vector<std::wstring> usable;
    for (const std::wstring& folder : folders) {
        std::optional<std::wstring> plain = PlainFolder(folder);
        if (plain && !IsProtectedFolder(*plain, sources.protectedFolders)) usable.push_back(std::move(*plain));
    }
    return DistinctFolders(usable);
}

UserTempChoice ChooseUserTemp(const CategorySources& sources) {
    if (sources.localAppData.empty())
        return {L"", "The account's profile is not in the machine's list of profiles: its temporary files are not cleaned"};
    UserTempChoice choice{sources.localAppData + L"\\Temp", ""};
    if (!sources.userTemp) return choice;
    const std::optional<std::wstring> temp = PlainFolder(sources.expand(*sources.userTemp));
    if (!temp)
        choice.refusal = "is not an absolute path";
    else if (!LiesInside(*temp, sources.localAppData))
        choice.refusal = "lies outside the account's local AppData folder";
    else if (IsProtectedFolder(*temp, sources.protectedFolders))
        choice.refusal = "is or holds a protected folder";
    else
        choice.folder = *temp;
    if (!choice.refusal.empty())
        choice.refusal = "The user's TEMP \"" + engine::Utf8FromWide(*sources.userTemp) + "\" " + choice.refusal + ": " +
                         engine::Utf8FromWide(choice.folder) + " is cleaned instead";
    return choice;
}

std::vector<std::wstring> AccountFolders(const std::vector<std::wstring>& folders, const CategorySources& sources) {
    std::vector<std::wstring> inside = UsableFolders(folders, sources);
    std::erase_if(inside, [&sources](const std::wstring& folder) { return !LiesInside(folder, sources.localAppData); });
    return inside;
}

bool IsPerUserCategory(int category) {
    return category == 0 || category == 3 || category == kRecycleBinCategory || category == 11 || IsAppCategory(category);
}

std::vector<std::wstring> AccountOwnFolders(int category, const CategorySources& sources) {
    switch (category) {
        case 0: return {ChooseUserTemp(sources).folder};
        case 3:
            return AccountFolders(
                {sources.expand(L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Terminal Server Client\\Cache")}, sources);
        case 11: return AccountFolders({sources.expand(L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\Explorer")}, sources);
        default: break;
    }
    if (!IsAppCategory(category)) return {};
    // A browser may keep its caches in the roaming AppData too.
    std::vector<std::wstring> inside = UsableFolders(AppCacheFolders(category, sources), sources);
    std::erase_if(inside, [&sources](const std::wstring& folder) {
        return !LiesInside(folder, sources.localAppData) && !LiesInside(folder, sources.roamingAppData);
    });
    return inside;
}

CategoryPlan PlanFor(int category, const CategorySources& sources) {
    const auto under = [&](const wchar_t* variable, const wchar_t* sub) { return sources.variable(variable) + sub; };
    CategoryPlan plan;
    plan.folders = AccountOwnFolders(category, sources);
    switch (category) {
        case 0: plan.folders.push_back(under(L"SYSTEMROOT", L"\\temp")); break;
        case 1: plan.folders = {under(L"SYSTEMROOT", L"\\WinSxS\\Backup")}; break;
        case 2: plan.folders = {sources.systemDirectory + L"\\LogFiles"}; break;
        case 4: plan.folders = {under(L"ALLUSERSPROFILE", L"\\Microsoft\\Windows Defender\\Scans")}; break;
        case 5:
            plan.folders = {under(L"ALLUSERSPROFILE", L"\\Microsoft\\Windows Defender\\Definition Updates\\Backup")};
            break;
        case 6: plan.folders = {under(L"SYSTEMROOT", L"\\Prefetch")}; break;
        case 7:
            plan.folders = {under(L"SYSTEMROOT", L"\\ServiceProfiles\\LocalService\\AppData\\Local\\FontCache")};
            break;
        case 8: plan.folders = {under(L"SYSTEMROOT", L"\\LiveKernelReports")}; break;
        case 9: plan.folders = {under(L"SYSTEMROOT", L"\\WinSxS\\ManifestCache")}; break;
        case 10: plan.walker = Walker::RecycleBin; break;
        case 11:
            plan.walker = Walker::Extension;
            plan.extensions = {L".db", L".tmp"};
            break;
        case 12:
            plan.folders = {under(L"ALLUSERSPROFILE", L"\\Microsoft\\Windows\\WER\\ReportArchive"),
                            under(L"ALLUSERSPROFILE", L"\\Microsoft\\Windows\\WER\\ReportQueue")};
            break;
        case kCrashDumpsCategory:
            plan.folders.push_back(under(L"SYSTEMROOT", L"\\Minidump"));
            plan.files = {under(L"SYSTEMROOT", L"\\MEMORY.DMP")};
            break;
        default: break;
    }
    plan.folders = UsableFolders(plan.folders, sources);
    // A file is taken as its folder would be: absolute and not protected.
    std::erase_if(plan.files, [&sources](std::wstring& file) {
        std::optional<std::wstring> plain = PlainFolder(file);
        if (!plain || IsProtectedFolder(*plain, sources.protectedFolders)) return true;
        file = std::move(*plain);
        return false;
    });
    return plan;
}

std::vector<std::wstring> MachineFoldersOf(int category, const CategorySources& sources) {
    std::vector<std::wstring> folders = PlanFor(category, sources).folders;
    const std::vector<std::wstring> own = UsableFolders(AccountOwnFolders(category, sources), sources);
    std::erase_if(folders, [&own](const std::wstring& folder) { return std::ranges::find(own, folder) != own.end(); });
    return folders;
}

std::vector<std::wstring> WalkRoots(const std::vector<std::wstring>& folders, const CategorySources& sources) {
    std::vector<std::wstring> roots;
    for (const std::wstring& folder : folders) {
        const std::optional<std::wstring> resolved = common::ResolvedFolder(folder);
        if (!resolved) continue;
        std::optional<std::wstring> plain = PlainFolder(*resolved);
        if (!plain || IsProtectedFolder(*plain, sources.protectedFolders)) continue;
        // A link the user made on the way out of the local or roaming AppData.
        if (LeavesOnTheWay(folder, *plain, sources.localAppData, sources.localAppDataFinal) ||
            LeavesOnTheWay(folder, *plain, sources.roamingAppData, sources.roamingAppDataFinal))
            continue;
        roots.push_back(std::move(*plain));
    }
    return DistinctFolders(roots);
}

CategorySources SystemSources() {
    CategorySources sources;
    sources.userTemp = ReadUserTemp();
    sources.variable = [](const wchar_t* name) { return common::ReadEnvironmentVariable(name); };
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    sources.systemDirectory = system;
    sources.expand = [](const std::wstring& path) { return common::ExpandedEnvironmentPath(path); };
    sources.protectedFolders = SystemProtectedFolders();
    if (const std::optional<std::wstring> profile = AccountProfile()) {
        const std::wstring windows = SystemWindowsFolder();
        sources.localAppData = ProfileShellFolder(*profile, KnownFolder(FOLDERID_LocalAppData), windows, L"\\AppData\\Local");
        sources.roamingAppData =
            ProfileShellFolder(*profile, KnownFolder(FOLDERID_RoamingAppData), windows, L"\\AppData\\Roaming");
        if (const std::optional<std::wstring> final = FinalPathOf(*profile)) {
            sources.localAppDataFinal = *final + sources.localAppData.substr(profile->size());
            sources.roamingAppDataFinal = *final + sources.roamingAppData.substr(profile->size());
        }
    }
    if (const std::string refusal = ChooseUserTemp(sources).refusal; !refusal.empty()) core::LogFile::Instance().Write(refusal);
    return sources;
}

int CategoryWeight(int category) {
    // The group "Browsers and applications" weighs 2 a category, so that all
    // categories together stay within the score's 100 points.
    if (IsAppCategory(category)) return 2;
    switch (category) {
        case 0: case 2: case 6: case 7: case 11: case 12: return 2;
        default: return 5;
    }
}

}  // namespace junk
