#include "app/update_check.h"

#include <mutex>

#include "app/update_server.h"
#include "common/app_directory.h"
#include "core/policy.h"
#include "core/worker_tasks.h"

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

}  // namespace

VersionTexts AppVersionTexts() {
    const std::lock_guard guard(versionLock);
    return versionTexts;
}

engine::Value GetAppVersion(core::BridgeArgs) {
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
    // The installed version is known at once (the About box shows it),
    // whether or not a check runs.
    const CfgVersion current = ReadCfgVersion(programFolder + kInstalledName);
    StoreVersionTexts({current.text, L""});
    // A build without an update server checks nothing and announces nothing;
    // nor does a machine whose organisation turned the notice off (a policy
    // that cannot be read is taken to have done so).
    if (server.empty()) return;
    if (const core::PolicyRead policy = core::ReadPolicy({});
        policy.state == core::PolicyState::Unreadable || !policy.policy.updateNotice)
        return;
    const std::wstring target = programFolder + kDownloadName;
    std::wstring address = std::wstring(server) + kConfigPath;
    while (!core::MainWindow()) Sleep(1000);
    // The tick count makes every address new, so no cache answers.
    address += L"?skq=" + std::to_wstring(static_cast<int>(GetTickCount()));
    // A copy left by an earlier run must not pass for this download.
    DeleteFileW(target.c_str());
    CBindCallback callback;
    const bool downloaded = URLDownloadToFileW(nullptr, address.c_str(), target.c_str(), 0, &callback) == S_OK;
    const CfgVersion latest = downloaded ? ReadCfgVersion(target) : CfgVersion{L"", false};
    DeleteFileW(target.c_str());
    StoreVersionTexts({current.text, latest.text});
    // A check that could not be made (no answer, or an answer without a
    // version) announces nothing: no new version is known.
    if (latest.text.empty()) return;
    if (!latest.valid || !current.valid || latest.text != current.text)
        core::CallScriptFunction("UpgradeTips", {engine::Value(1)});
}

void StartUpdateCheck() {
    core::StartDetachedWorker([] { RunUpdateCheck(kUpdateServer, common::GetAppDirectory().Text()); });
}

}  // namespace app
