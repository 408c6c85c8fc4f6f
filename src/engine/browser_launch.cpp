#include "engine/browser_launch.h"

#include <shlobj.h>

#include "common/handles.h"

namespace engine {

namespace {

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A text value of HKEY_LOCAL_MACHINE in `view`; empty when there is none.
std::wstring MachineText(const wchar_t* key, const wchar_t* name, REGSAM view) {
    common::UniqueRegKey opened;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, opened.put()) != ERROR_SUCCESS) return {};
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(opened.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return text;
}

// The file that a machine-wide App Paths entry names, where it exists.
std::wstring MachineAppPath(const wchar_t* program, REGSAM view) {
    const std::wstring key = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + program;
    std::wstring found = MachineText(key.c_str(), nullptr, view);
    if (found.size() > 1 && found.front() == L'"' && found.back() == L'"') found = found.substr(1, found.size() - 2);
    return IsFile(found) ? found : std::wstring();
}

struct FoundWindow {
    DWORD processId;
    HWND window;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<FoundWindow*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
    search->window = window;
    return FALSE;
}

}  // namespace

ShellCommand PlanBrowserLaunch(std::string_view url, bool underWine, std::span<const std::wstring> appBrowsers,
                               std::wstring_view profileFolder) {
    const std::wstring wideUrl(url.begin(), url.end());  // the page address is ASCII
    if (underWine || appBrowsers.empty()) return {ShellCommand::Kind::Document, wideUrl, {}};
    std::wstring arguments = L"--app=" + Quoted(wideUrl) + L" " + Quoted(L"--user-data-dir=" + std::wstring(profileFolder)) +
                             L" --window-size=" + std::to_wstring(kPageWidth) + L"," + std::to_wstring(kPageHeight) +
                             L" --no-first-run --no-default-browser-check";
    return {ShellCommand::Kind::Program, appBrowsers.front(), std::move(arguments)};
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::vector<std::vector<std::wstring>> KnownBrowserPaths(std::span<const std::wstring> programFiles) {
    static constexpr const wchar_t* kInstalls[] = {L"\\Microsoft\\Edge\\Application\\msedge.exe",
                                                   L"\\Google\\Chrome\\Application\\chrome.exe"};
    std::vector<std::vector<std::wstring>> paths;
    for (const wchar_t* install : kInstalls) {
        std::vector<std::wstring>& browser = paths.emplace_back();
        for (const std::wstring& folder : programFiles)
            if (!folder.empty()) browser.push_back(folder + install);
    }
    return paths;
}

std::vector<std::wstring> FindAppBrowsers() {
    constexpr const wchar_t* kCurrentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const std::wstring programFiles[] = {MachineText(kCurrentVersion, L"ProgramFilesDir", KEY_WOW64_64KEY),
                                         MachineText(kCurrentVersion, L"ProgramFilesDir (x86)", KEY_WOW64_64KEY)};
    const std::vector<std::vector<std::wstring>> known = KnownBrowserPaths(programFiles);
    std::vector<std::wstring> found;
    const wchar_t* const programs[] = {L"msedge.exe", L"chrome.exe"};
    for (std::size_t browser = 0; browser < std::size(programs); ++browser) {
        std::wstring path = MachineAppPath(programs[browser], KEY_WOW64_64KEY);
        if (path.empty()) path = MachineAppPath(programs[browser], KEY_WOW64_32KEY);
        for (const std::wstring& candidate : known[browser])
            if (path.empty() && IsFile(candidate)) path = candidate;
        if (!path.empty()) found.push_back(std::move(path));
    }
    return found;
}

std::wstring BrowserProfileFolder() {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base))) return {};
    std::wstring folder = std::wstring(base) + L"\\Quillmark";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\Quillmark Orvane";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\Browser";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

HWND ProcessWindow(DWORD processId) {
    if (processId == 0) return nullptr;
    FoundWindow search{processId, nullptr};
    EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

bool FocusProcessWindow(DWORD processId) {
    const HWND window = ProcessWindow(processId);
    if (!window) return false;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    return true;
}

}  // namespace engine
