#include "app/update_check.h"

#include <mutex>

#include "app/update_server.h"
#include "app/worker_tasks.h"

namespace app {

namespace {

constexpr wchar_t kConfigPath[] = L"/inst/update/orvaneupdatecfg.ini";
constexpr wchar_t kDownloadName[] = L"updatecfg_url.ini";
constexpr wchar_t kInstalledName[] = L"Orvaneupdatecfg.ini";

std::mutex versionLock;
VersionTexts versionTexts;

void StoreVersionTexts(VersionTexts texts) {
    const std::lock_guard guard(versionLock);
    versionTexts = std::move(texts);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring module(path, length);
    const std::size_t slash = module.rfind(L'\\');
    return slash == std::wstring::npos ? L"\\" : module.substr(0, slash + 1);
}

}  // namespace

VersionTexts AppVersionTexts() {
    const std::lock_guard guard(versionLock);
    return versionTexts;
}

engine::Value GetAppVersion(BridgeArgs) {
    const VersionTexts texts = AppVersionTexts();
    return engine::Value::Array({texts.current, texts.latest});
}

CfgVersion CheckCfgVersion(std::wstring_view read) {
    if (read.size() < 5 || read.size() > 20) return {L"", false};
    while (!read.empty() && IsBlank(read.back())) read.remove_suffix(1);
    while (!read.empty() && IsBlank(read.front())) read.remove_prefix(1);
    const CfgVersion invalid{std::wstring(read), false};
    int dots = 0;
    int digitRun = 0;
    for (const wchar_t c : read) {
        if (c == L'.') {
            if (++dots > 3) return invalid;
            digitRun = 0;
        } else if (c >= L'0' && c <= L'9') {
            if (++digitRun > 4) return invalid;
        }
    }
    return {std::wstring(read), true};
}

CfgVersion ReadCfgVersion(const std::wstring& path) {
    wchar_t read[260] = {};
    const DWORD length = GetPrivateProfileStringW(L"System", L"version", L"", read, 260, path.c_str());
    return CheckCfgVersion(std::wstring_view(read, length));
}

HRESULT STDMETHODCALLTYPE CBindCallback::QueryInterface(REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOTIMPL;
}

void RunUpdateCheck(std::wstring_view server, const std::wstring& programFolder) {
    const std::wstring target = programFolder + kDownloadName;
    std::wstring address = std::wstring(server) + kConfigPath;
    while (!MainWindow()) Sleep(1000);
    // The tick count makes every address new, so no cache answers.
    address += L"?skq=" + std::to_wstring(static_cast<int>(GetTickCount()));
    // A copy left by an earlier run must not pass for this download.
    DeleteFileW(target.c_str());
    CBindCallback callback;
    if (URLDownloadToFileW(nullptr, address.c_str(), target.c_str(), 0, &callback) != S_OK)
        CallScriptFunction("UpgradeTips", {engine::Value(1)});
    const CfgVersion latest = ReadCfgVersion(target);
    DeleteFileW(target.c_str());
    const CfgVersion current = ReadCfgVersion(programFolder + kInstalledName);
    StoreVersionTexts({current.text, latest.text});
    if (!latest.valid || !current.valid || latest.text != current.text)
        CallScriptFunction("UpgradeTips", {engine::Value(1)});
}

void StartUpdateCheck() {
    StartDetachedWorker([] { RunUpdateCheck(kUpdateServer, ProgramFolder()); });
}

}  // namespace app
