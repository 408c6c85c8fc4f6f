#include "engine/shell_routes.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstdint>
#include <vector>

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

// The desktop among the shell windows: its window and its dispatch object;
// empty where the shell cannot be reached. With COM initialised.
struct ShellDesktop {
    HWND window = nullptr;
    common::ComPtr<IDispatch> dispatch;
};
ShellDesktop FindShellDesktop() {
    common::ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.put_void())))
        return {};
    Variant desktopLocation(static_cast<long>(CSIDL_DESKTOP));
    Variant none;
    long window = 0;
    ShellDesktop desktop;
    if (windows->FindWindowSW(&desktopLocation.value, &none.value, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.dispatch.put()) != S_OK)
        return {};
    desktop.window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(window));
    return desktop;
}

// The desktop's shell dispatch object: shell windows -> the desktop's
// browser -> its active view -> the view's background object -> the folder
// view's Application.
common::ComPtr<IShellDispatch2> DesktopShellDispatch() {
    const common::ComPtr<IDispatch> desktop = FindShellDesktop().dispatch;
    if (!desktop) return {};
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

// The desktop shell's window: the one the system names, else (Wine's
// explorer names none) the desktop among the shell windows.
HWND DesktopShellWindow() {
    if (const HWND window = GetShellWindow()) return window;
    const common::ComScope com;
    return FindShellDesktop().window;
}

// The desktop shell process's token, opened with `access`.
common::UniqueKernelHandle ShellProcessToken(DWORD access) {
    const HWND shellWindow = DesktopShellWindow();
    DWORD shellProcess = 0;
    if (!shellWindow || !GetWindowThreadProcessId(shellWindow, &shellProcess) || !shellProcess) return {};
    const common::UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellProcess));
    common::UniqueKernelHandle token;
    if (!process || !OpenProcessToken(process.get(), access, token.put())) return {};
    return token;
}

// `source` as a primary token at medium integrity; empty when it cannot be
// made one (an identification-level token cannot).
common::UniqueKernelHandle MediumPrimaryToken(HANDLE source) {
    common::UniqueKernelHandle token;
    if (!DuplicateTokenEx(source,
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

// The user a token stands for; empty when it cannot be read.
std::vector<std::uint8_t> TokenUserOf(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::uint8_t> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) return {};
    return user;
}

// The unelevated half of this process's token, as a primary token at medium
// integrity. Windows hands a caller without SeTcbPrivilege the linked token
// at identification level, which cannot be made a primary token: then, as
// where the program's token has no linked one, there is none.
common::UniqueKernelHandle OwnLinkedToken() {
    common::UniqueKernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put())) return {};
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size) || !linked.LinkedToken) return {};
    const common::UniqueKernelHandle linkedToken(linked.LinkedToken);
    // The linked token of an unelevated token is the elevated one.
    if (TokenIsElevated(linkedToken.get())) return {};
    return MediumPrimaryToken(linkedToken.get());
}

// Starts `command` with `token`: a program itself, a document through the
// file explorer.
RouteAnswer StartWithToken(HANDLE token, const ShellCommand& command) {
    const std::wstring program = command.kind == ShellCommand::Kind::Program ? command.file : ExplorerPath();
    std::wstring commandLine = CommandLineOf(command);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessWithTokenW(token, 0, program.c_str(), commandLine.data(), 0, nullptr, nullptr, &startup,
                                 &process))
        return {Outcome::Failed};
    const common::UniqueKernelHandle thread(process.hThread);
    const common::UniqueKernelHandle owned(process.hProcess);
    return {Outcome::Started, process.dwProcessId};
}

}  // namespace

bool TokenIsElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return !GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) || elevation.TokenIsElevated != 0;
}

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
    const common::UniqueKernelHandle shellToken = ShellProcessToken(TOKEN_DUPLICATE);
    const common::UniqueKernelHandle token = shellToken ? MediumPrimaryToken(shellToken.get()) : common::UniqueKernelHandle();
    if (!token) return {Outcome::Unavailable};
    return StartWithToken(token.get(), command);
}

RouteAnswer SystemLaunchRoutes::LinkedToken(const ShellCommand& command) {
    const common::UniqueKernelHandle token = OwnLinkedToken();
    if (!token) return {Outcome::Unavailable};
    return StartWithToken(token.get(), command);
}

ShellAccount SystemLaunchRoutes::DesktopShellAccount() {
    const common::UniqueKernelHandle shellToken = ShellProcessToken(TOKEN_QUERY);
    common::UniqueKernelHandle own;
    if (!shellToken || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put())) return ShellAccount::Unknown;
    const std::vector<std::uint8_t> shellUser = TokenUserOf(shellToken.get());
    const std::vector<std::uint8_t> ownUser = TokenUserOf(own.get());
    if (shellUser.empty() || ownUser.empty()) return ShellAccount::Unknown;
    return EqualSid(reinterpret_cast<const TOKEN_USER*>(shellUser.data())->User.Sid,
                    reinterpret_cast<const TOKEN_USER*>(ownUser.data())->User.Sid)
               ? ShellAccount::Own
               : ShellAccount::Other;
}

void SystemLaunchRoutes::AwaitShell() { Sleep(1000); }

}  // namespace engine
