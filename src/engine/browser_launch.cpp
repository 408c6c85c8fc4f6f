#include "engine/browser_launch.h"

#include <shellapi.h>
#include <shlobj.h>

#include "common/handles.h"

namespace engine {

namespace {

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

std::wstring AppPath(HKEY root, const wchar_t* program, REGSAM view) {
    const std::wstring key = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + program;
    common::UniqueRegKey appKey;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, appKey.put()) != ERROR_SUCCESS) return {};
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(appKey.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring found(path);
    if (found.size() > 1 && found.front() == L'"' && found.back() == L'"') found = found.substr(1, found.size() - 2);
    return GetFileAttributesW(found.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : found;
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

BrowserLaunch PlanBrowserLaunch(std::string_view url, bool underWine, std::span<const std::wstring> appBrowsers,
                                std::wstring_view profileFolder) {
    const std::wstring wideUrl(url.begin(), url.end());  // the page address is ASCII
    if (underWine || appBrowsers.empty()) return {BrowserLaunch::Kind::Shell, {}, {}, wideUrl};
    const std::wstring& browser = appBrowsers.front();
    std::wstring commandLine = Quoted(browser) + L" --app=" + Quoted(wideUrl) + L" " +
                               Quoted(L"--user-data-dir=" + std::wstring(profileFolder)) + L" --window-size=" +
                               std::to_wstring(kPageWidth) + L"," + std::to_wstring(kPageHeight) +
                               L" --no-first-run --no-default-browser-check";
    return {BrowserLaunch::Kind::AppWindow, browser, std::move(commandLine), wideUrl};
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::vector<std::wstring> FindAppBrowsers() {
    std::vector<std::wstring> found;
    for (const wchar_t* program : {L"msedge.exe", L"chrome.exe"}) {
        for (const auto& [root, view] : {std::pair{HKEY_CURRENT_USER, REGSAM{0}},
                                         std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_64KEY}},
                                         std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_32KEY}}}) {
            std::wstring path = AppPath(root, program, view);
            if (!path.empty()) {
                found.push_back(std::move(path));
                break;
            }
        }
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

DWORD OpenBrowser(const BrowserLaunch& launch) {
    if (launch.kind == BrowserLaunch::Kind::AppWindow) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::wstring commandLine = launch.commandLine;
        if (CreateProcessW(launch.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process)) {
            const common::UniqueKernelHandle thread(process.hThread);
            const common::UniqueKernelHandle owned(process.hProcess);
            return process.dwProcessId;
        }
    }
    ShellExecuteW(nullptr, L"open", launch.url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return 0;
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
