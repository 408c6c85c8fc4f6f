#include "support/linux_links.h"

#include <windows.h>

#include "support/temp_dir.h"

namespace testsupport {

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

// Wine starts a Unix program given by its Z: path, but does not let the
// caller wait for it: the script writes its exit status into a file that is
// waited for instead.
bool RunShell(const std::string& commands) {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"qo-shell-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
    const std::wstring script = base + L".sh", status = base + L".status";
    const std::string unixStatus = UnixPath(status);
    testsupport::WriteFile(script, commands + "\necho $? > " + Quoted(unixStatus + ".part") + " && mv " +
                                       Quoted(unixStatus + ".part") + " " + Quoted(unixStatus) + "\n");
    const std::string unixScript = UnixPath(script);
    std::wstring command = L"Z:\\bin\\sh " + std::wstring(unixScript.begin(), unixScript.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    bool ok = false;
    if (CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        for (int i = 0; i < 1000 && !testsupport::Exists(status); ++i) Sleep(10);
        ok = testsupport::ReadFile(status).starts_with("0");
    }
    DeleteFileW(script.c_str());
    DeleteFileW(status.c_str());
    return ok;
}

std::string UnixPath(const std::wstring& windowsPath) {
    using Convert = char*(__cdecl*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!convert) return {};
    char* path = convert(windowsPath.c_str());
    if (!path) return {};
    std::string result = path;
    HeapFree(GetProcessHeap(), 0, path);
    return result;
}

bool MakeLinuxLink(const std::string& unixTarget, const std::wstring& link) {
    const std::string unixLink = UnixPath(link);
    return !unixLink.empty() && RunShell("ln -s " + Quoted(unixTarget) + " " + Quoted(unixLink));
}

bool RemoveLinuxLink(const std::wstring& link) {
    const std::string unixLink = UnixPath(link);
    return !unixLink.empty() && RunShell("rm -f " + Quoted(unixLink));
}

bool LinuxLinks::Make(const std::wstring& target, const std::wstring& link) {
    links_.push_back(link);
    return MakeLinuxLink(UnixPath(target), link);
}

void LinuxLinks::RemoveAll() {
    for (const std::wstring& link : links_) RemoveLinuxLink(link);
    links_.clear();
}

}  // namespace testsupport
