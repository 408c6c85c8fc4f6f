#include "junk/junk_categories.h"

#include <windows.h>

#include <iterator>

#include "app/settings_store_values.h"
#include "common/env_path.h"
#include "common/handles.h"

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

bool IsAbsoluteFolder(const std::wstring& path) {
    const bool drive = path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
    const bool share = path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\';
    return drive || share;
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
    std::erase_if(plan.folders, [](const std::wstring& folder) { return !IsAbsoluteFolder(folder); });
    return plan;
}

CategorySources SystemSources() {
    CategorySources sources;
    sources.userTemp = ReadUserTemp();
    sources.variable = [](const wchar_t* name) { return common::ReadEnvironmentVariable(name); };
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    sources.systemDirectory = system;
    sources.expand = [](const std::wstring& path) { return common::ExpandedEnvironmentPath(path); };
    return sources;
}

int CategoryWeight(int category) {
    switch (category) {
        case 0: case 2: case 6: case 7: case 11: case 12: return 2;
        default: return 5;
    }
}

}  // namespace junk
