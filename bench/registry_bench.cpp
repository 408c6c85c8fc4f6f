// The registry scan over a generated hive (empty and non-empty keys under
// HKEY_CURRENT_USER\Software, MUI cache values) against a bare enumeration
// of the same keys with the same registry calls in the same run, and the
// one-click scan's total on this machine. Prints figures only; removes what
// it generated.
// usage: registry_bench.exe [EMPTY_KEYS FULL_KEYS MUI_VALUES]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/bridge_table.h"
#include "core/script_bridge.h"
#include "core/worker_tasks.h"
#include "registry/registry_access.h"
#include "registry/registry_scan.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

constexpr wchar_t kMuiCache[] = L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";

std::wstring KeyName(const wchar_t* kind, int n) { return std::wstring(L"Software\\QoBench") + kind + std::to_wstring(n); }
std::wstring MuiName(int n) { return L"C:\\QoBench\\app" + std::to_wstring(n) + L".exe.FriendlyAppName"; }

void Generate(int emptyKeys, int fullKeys, int muiValues) {
    const auto create = [](const std::wstring& path) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        return key;
    };
    for (int n = 0; n < emptyKeys; ++n) RegCloseKey(create(KeyName(L"Empty", n)));
    for (int n = 0; n < fullKeys; ++n) {
        const HKEY key = create(KeyName(L"Full", n));
        const DWORD one = 1;
        RegSetValueExW(key, L"v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
        RegCloseKey(key);
    }
    const HKEY mui = create(kMuiCache);
    for (int n = 0; n < muiValues; ++n) RegSetValueExW(mui, MuiName(n).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    RegCloseKey(mui);
}

void Remove(int emptyKeys, int fullKeys, int muiValues) {
    for (int n = 0; n < emptyKeys; ++n) RegDeleteKeyW(HKEY_CURRENT_USER, KeyName(L"Empty", n).c_str());
    for (int n = 0; n < fullKeys; ++n) RegDeleteTreeW(HKEY_CURRENT_USER, KeyName(L"Full", n).c_str());
    HKEY mui = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kMuiCache, 0, KEY_ALL_ACCESS, &mui) != ERROR_SUCCESS) return;
    for (int n = 0; n < muiValues; ++n) RegDeleteValueW(mui, MuiName(n).c_str());
    RegCloseKey(mui);
}

// What the scan of the two categories must at least do: enumerate the
// sub-keys, open and count each; enumerate the cache's value names.
std::size_t BareEnumeration() {
    std::size_t seen = 0;
    const common::UniqueRegKey software = registry::OpenKey(HKEY_CURRENT_USER, L"Software\\", registry::kReadWrite);
    for (const std::wstring& name : registry::SubKeyNames(software.get())) {
        const common::UniqueRegKey sub = registry::OpenKey(software.get(), name, registry::kReadWrite);
        if (sub && registry::CountKeyContents(sub.get())) ++seen;
    }
    const common::UniqueRegKey mui = registry::OpenKey(HKEY_CURRENT_USER, kMuiCache, registry::kReadWrite);
    seen += registry::ValueNames(mui.get()).size();
    return seen;
}

std::size_t ScanTwoCategories() {
    registry::RegistryIssueList mui, software;
    registry::ScanRegistryCategory(1, mui);
    registry::ScanRegistryCategory(2, software);
    return mui.size() + software.size();
}

template <typename Work>
double Timed(Work work, std::size_t& result) {
    const Clock::time_point start = Clock::now();
    result = work();
    return Seconds(start);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int emptyKeys = argc > 1 ? _wtoi(argv[1]) : 20000;
    const int fullKeys = argc > 2 ? _wtoi(argv[2]) : 20000;
    const int muiValues = argc > 3 ? _wtoi(argv[3]) : 5000;

    Clock::time_point start = Clock::now();
    Generate(emptyKeys, fullKeys, muiValues);
    std::printf("generated %d empty keys, %d keys with a value, %d MUI cache values in %.1f s\n", emptyKeys,
                fullKeys, muiValues, Seconds(start));

    // Best of three each, taken in turns, so that a change of load on a
    // shared machine weighs on both alike.
    std::size_t bareSeen = 0, issues = 0;
    double bare = 1e9, scan = 1e9;
    for (int round = 0; round < 3; ++round) {
        bare = std::min(bare, Timed(BareEnumeration, bareSeen));
        scan = std::min(scan, Timed(ScanTwoCategories, issues));
    }
    std::printf("bare enumeration: %.3f s (%zu keys and values)\n", bare, bareSeen);
    std::printf("registry scan (MUI cache + software keys): %.3f s (%zu issues)\n", scan, issues);
    std::printf("ratio scan / bare: %.2f\n", scan / bare);

    Remove(emptyKeys, fullKeys, muiValues);

    // The one-click scan on this machine as it is, with no page attached.
    start = Clock::now();
    app::NativeFunctions().Call("HomeScan", {});
    while (core::LiveWorkerBits() != 0) Sleep(1);
    std::printf("one-click scan total: %.3f s\n", Seconds(start));
    return 0;
}
