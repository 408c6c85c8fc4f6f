#include "engine/shell_routes.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "common/handles.h"

namespace engine {

namespace {

using Outcome = RouteAnswer::Outcome;

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

// The whole command line: a program with its arguments; a document is handed
// to the file explorer, which opens it as the shell does.
std::wstring CommandLineOf(const ShellCommand& command) {
    if (command.kind == ShellCommand::Kind::Document) return Quoted(ExplorerPath()) + L" " + Quoted(command.file);
    return Quoted(command.file) + (command.arguments.empty() ? L"" : L" " + command.arguments);
}

// A VARIANT that frees what it holds.
struct Variant {
    VARIANT value;
    Variant() { VariantInit(&value); }
    explicit Variant(std::wstring_view text) : Variant() {
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    explicit Variant(long number) : Variant() {
        value.vt = VT_I4;
        value.lVal = number;
    }
    ~Variant() { VariantClear(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// The desktop's shell dispatch object: shell windows -> the desktop's
// browser -> its active view -> the view's background object -> the folder
// view's Application.
common::ComPtr<IShellDispatch2> DesktopShellDispatch() {
    common::ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.put_void())))
        return {};
    Variant desktopLocation(static_cast<long>(CSIDL_DESKTOP));
    Variant none;
    long window = 0;
    common::ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&desktopLocation.value, &none.value, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.put()) != S_OK ||
        !desktop)
        return {};
    common::ComPtr<IServiceProvider> services;
    common::ComPtr<IShellBrowser> browser;
    common::ComPtr<IShellView> view;
    common::ComPtr<IDispatch> background;
    common::ComPtr<IShellFolderViewDual> folderView;
    common::ComPtr<IDispatch> application;
    common::ComPtr<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, services.put_void())) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void())) ||
        FAILED(browser->QueryActiveShellView(view.put())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void())) ||
        FAILED(folderView->get_Application(application.put())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.put_void())))
        return {};
    return shell;
}

// S-1-16-8192, the medium mandatory level.
struct MediumIntegrity {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    PSID sid = nullptr;
    MediumIntegrity() { AllocateAndInitializeSid(&authority, 1, SECURITY_MANDATORY_MEDIUM_RID, 0, 0, 0, 0, 0, 0, 0, &sid); }
    ~MediumIntegrity() {
        if (sid) FreeSid(sid);
    }
    MediumIntegrity(const MediumIntegrity&) = delete;
    MediumIntegrity& operator=(const MediumIntegrity&) = delete;
};

// The shell process's token as a primary token at medium integrity.
common::UniqueKernelHandle ShellProcessToken() {
    const HWND shellWindow = GetShellWindow();
    DWORD shellProcess = 0;
    if (!shellWindow || !GetWindowThreadProcessId(shellWindow, &shellProcess) || !shellProcess) return {};
    const common::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcess));
    common::UniqueKernelHandle shellToken;
    if (!process || !OpenProcessToken(process.get(), TOKEN_DUPLICATE, shellToken.put())) return {};
    common::UniqueKernelHandle token;
    if (!DuplicateTokenEx(shellToken.get(),
                          TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID,
                          nullptr, SecurityImpersonation, TokenPrimary, token.put()))
        return {};
    const MediumIntegrity medium;
    TOKEN_MANDATORY_LABEL label{};
    label.Label.Attributes = SE_GROUP_INTEGRITY;
    label.Label.Sid = medium.sid;
    if (!medium.sid ||
        !SetTokenInformation(token.get(), TokenIntegrityLevel, &label, sizeof label + GetLengthSid(medium.sid)))
        return {};
    return token;
}

}  // namespace

std::wstring ExplorerPath() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return L"explorer.exe";
    return std::wstring(folder, length) + L"\\explorer.exe";
}

RouteAnswer SystemLaunchRoutes::Direct(const ShellCommand& command) {
    if (command.kind == ShellCommand::Kind::Document) {
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", command.file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return {result > 32 ? Outcome::Started : Outcome::Failed};
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = CommandLineOf(command);
    if (!CreateProcessW(command.file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return {Outcome::Failed};
    const common::UniqueKernelHandle thread(process.hThread);
    const common::UniqueKernelHandle owned(process.hProcess);
    return {Outcome::Started, process.dwProcessId};
}

RouteAnswer SystemLaunchRoutes::DesktopShell(const ShellCommand& command) {
    const common::ComScope com;
    const common::ComPtr<IShellDispatch2> shell = DesktopShellDispatch();
    if (!shell) return {Outcome::Unavailable};
    BSTR file = SysAllocStringLen(command.file.data(), static_cast<UINT>(command.file.size()));
    Variant arguments(command.arguments);
    Variant folder(std::wstring_view(L""));
    Variant operation(std::wstring_view(L"open"));
    Variant show(static_cast<long>(SW_SHOWNORMAL));
    const HRESULT result = shell->ShellExecute(file, arguments.value, folder.value, operation.value, show.value);
    SysFreeString(file);
    return {SUCCEEDED(result) ? Outcome::Started : Outcome::Failed};
}

RouteAnswer SystemLaunchRoutes::ShellToken(const ShellCommand& command) {
    const common::UniqueKernelHandle token = ShellProcessToken();
    if (!token) return {Outcome::Unavailable};
    const std::wstring program = command.kind == ShellCommand::Kind::Program ? command.file : ExplorerPath();
    std::wstring commandLine = CommandLineOf(command);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessWithTokenW(token.get(), 0, program.c_str(), commandLine.data(), 0, nullptr, nullptr, &startup,
                                 &process))
        return {Outcome::Failed};
    const common::UniqueKernelHandle thread(process.hThread);
    const common::UniqueKernelHandle owned(process.hProcess);
    return {Outcome::Started, process.dwProcessId};
}

void SystemLaunchRoutes::AwaitShell() { Sleep(1000); }

}  // namespace engine
