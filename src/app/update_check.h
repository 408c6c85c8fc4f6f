#pragma once
// The update check: once per run a worker downloads the update configuration
// from the maker's server, compares its version with the one installed beside
// the program, keeps both texts for GetAppVersion and asks the main document
// to show its upgrade notice (UpgradeTips) when they differ or cannot both be
// read. A build without an update server makes no check, nor does a machine
// whose Group Policy sets UpdateNotice to 0; a check that cannot
// be made (no download, or no version in it) shows no notice, and the latest
// version text stays empty, which the version popup reports as a failed
// check.
#include <windows.h>
#include <urlmon.h>

#include <string>
#include <string_view>

#include "core/script_bridge.h"

namespace app {

// The installed and the downloaded version texts; both empty until the check
// has read them.
struct VersionTexts {
    std::wstring current;
    std::wstring latest;
    bool operator==(const VersionTexts&) const = default;
};
VersionTexts AppVersionTexts();

// [current, latest].
engine::Value GetAppVersion(core::BridgeArgs args);

struct CfgVersion {
    std::wstring text;
    bool valid;
    bool operator==(const CfgVersion&) const = default;
};
// The version as read (up to 259 characters): valid when 5 to 20 characters
// long before trimming, with at most 3 dots and no run of more than 4 digits.
// The text is trimmed whenever its length qualifies, valid or not.
CfgVersion CheckCfgVersion(std::wstring_view read);
// "version" of section "System" of the INI file at `path`.
CfgVersion ReadCfgVersion(const std::wstring& path);

// The download's status callback: never cancels, implements nothing else. It
// lives on the worker's stack, so it counts no references.
class CBindCallback : public IBindStatusCallback {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 0; }
    ULONG STDMETHODCALLTYPE Release() override { return 0; }
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }
};

// The whole check. `server`: scheme and host of the update server, empty for
// none; `programFolder`: the folder of the installed configuration, ending in
// a backslash. Waits until the main window is published before it downloads.
void RunUpdateCheck(std::wstring_view server, const std::wstring& programFolder);
// Runs it on a worker of its own against the build's update server.
void StartUpdateCheck();

}  // namespace app
