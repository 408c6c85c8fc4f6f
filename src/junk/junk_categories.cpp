#include "junk/junk_categories.h"

#include <windows.h>

#include <iterator>

#include "app/settings_store_values.h"
#include "common/env_path.h"
#include "common/handles.h"
#include "common/listed_delete.h"
#include "junk/protected_folders.h"

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
    return app::TerminatedRegistryText(type, {buffer, size});
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

CategoryPlan PlanFor(int category, const CategorySources& sources) {
    const auto under = [&](const wchar_t* variable, const wchar_t* sub) { return sources.variable(variable) + sub; };
    CategoryPlan plan;
    switch (category) {
        case 0:
            if (sources.userTemp) plan.folders.push_back(sources.expand(*sources.userTemp));
            plan.folders.push_back(under(L"SYSTEMROOT", L"\\temp"));
            break;
        case 1: plan.folders = {under(L"SYSTEMROOT", L"\\WinSxS\\Backup")}; break;
        case 2: plan.folders = {sources.systemDirectory + L"\\LogFiles"}; break;
        case 3:
            plan.folders = {sources.expand(L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Terminal Server Client\\Cache")};
            break;
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
            plan.folders = {sources.expand(L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\Explorer")};
            plan.extensions = {L".db", L".tmp"};
            break;
        case 12:
            plan.folders = {under(L"ALLUSERSPROFILE", L"\\Microsoft\\Windows\\WER\\ReportArchive"),
                            under(L"ALLUSERSPROFILE", L"\\Microsoft\\Windows\\WER\\ReportQueue")};
            break;
        default: break;
    }
    plan.folders = UsableFolders(plan.folders, sources);
    return plan;
}

std::vector<std::wstring> WalkRoots(const std::vector<std::wstring>& folders,
                                    const std::vector<std::wstring>& protectedFolders) {
    std::vector<std::wstring> roots;
    for (const std::wstring& folder : folders) {
        const std::optional<std::wstring> resolved = common::ResolvedFolder(folder);
        if (!resolved) continue;
        std::optional<std::wstring> plain = PlainFolder(*resolved);
        if (plain && !IsProtectedFolder(*plain, protectedFolders)) roots.push_back(std::move(*plain));
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
    return sources;
}

int CategoryWeight(int category) {
    switch (category) {
        case 0: case 2: case 6: case 7: case 11: case 12: return 2;
        default: return 5;
    }
}

}  // namespace junk
