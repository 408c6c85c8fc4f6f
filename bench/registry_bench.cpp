// The registry scan over a generated hive (empty and non-empty keys under
// HKEY_CURRENT_USER\Software, MUI cache values naming programs in many
// folders: programs that exist, missing programs in folders that exist, and
// folders that do not) against a bare loop of the same keys with the same
// registry calls and one file test per MUI value, in the same run; each
// category's ratio on its own, and the one-click scan's total on this
// machine. Prints figures only; removes what it generated.
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

// Ten MUI values a folder; every other folder exists, and in one that does,
// every third program exists.
constexpr int kMuiPerFolder = 10;
std::wstring MuiFolder(const std::wstring& root, int n) { return root + L"\\mui" + std::to_wstring(n / kMuiPerFolder); }
bool MuiFolderExists(int n) { return (n / kMuiPerFolder) % 2 == 0; }
bool MuiProgramExists(int n) { return MuiFolderExists(n) && n % 3 == 0; }
std::wstring MuiProgram(const std::wstring& root, int n) {
    return MuiFolder(root, n) + L"\\app" + std::to_wstring(n) + L".exe";
}
std::wstring MuiName(const std::wstring& root, int n) { return MuiProgram(root, n) + L".FriendlyAppName"; }

void Generate(int emptyKeys, int fullKeys, int muiValues, const std::wstring& muiRoot) {
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
    CreateDirectoryW(muiRoot.c_str(), nullptr);
    for (int n = 0; n < muiValues; ++n) {
        RegSetValueExW(mui, MuiName(muiRoot, n).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
        if (MuiFolderExists(n)) CreateDirectoryW(MuiFolder(muiRoot, n).c_str(), nullptr);
        if (MuiProgramExists(n))
            CloseHandle(CreateFileW(MuiProgram(muiRoot, n).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    RegCloseKey(mui);
}

void Remove(int emptyKeys, int fullKeys, int muiValues, const std::wstring& muiRoot) {
    for (int n = 0; n < emptyKeys; ++n) RegDeleteKeyW(HKEY_CURRENT_USER, KeyName(L"Empty", n).c_str());
    for (int n = 0; n < fullKeys; ++n) RegDeleteTreeW(HKEY_CURRENT_USER, KeyName(L"Full", n).c_str());
    HKEY mui = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kMuiCache, 0, KEY_ALL_ACCESS, &mui) != ERROR_SUCCESS) return;
    for (int n = 0; n < muiValues; ++n) {
        RegDeleteValueW(mui, MuiName(muiRoot, n).c_str());
        if (MuiProgramExists(n)) DeleteFileW(MuiProgram(muiRoot, n).c_str());
        if (MuiFolderExists(n)) RemoveDirectoryW(MuiFolder(muiRoot, n).c_str());
    }
    RemoveDirectoryW(muiRoot.c_str());
    RegCloseKey(mui);
}

// What the scan of the software keys must at least do: enumerate the
// sub-keys, open and count each.
std::size_t BareSoftwareKeys() {
    std::size_t seen = 0;
    const common::UniqueRegKey software = registry::OpenKey(HKEY_CURRENT_USER, L"Software\\", registry::kReadWrite);
    for (const std::wstring& name : registry::SubKeyNames(software.get())) {
        const common::UniqueRegKey sub = registry::OpenKey(software.get(), name, registry::kReadWrite);
        if (sub && registry::CountKeyContents(sub.get())) ++seen;
    }
    return seen;
}

// What the scan of the MUI cache must at least do: enumerate the value
// names and ask once whether each one's program (the name without its last
// dotted part) exists; the missing ones.
std::size_t BareMuiCache() {
    std::size_t missing = 0;
    const common::UniqueRegKey mui = registry::OpenKey(HKEY_CURRENT_USER, kMuiCache, registry::kReadWrite);
    for (const std::wstring& name : registry::ValueNames(mui.get()))
        if (GetFileAttributesW(name.substr(0, name.rfind(L'.')).c_str()) == INVALID_FILE_ATTRIBUTES) ++missing;
    return missing;
}

std::size_t ScanCategory(int category) {
    registry::RegistryIssueList list;
    registry::ScanRegistryCategory(category, list);
    return list.size();
}

template <typename Work>
double Timed(Work work, std::size_t& result) {
    const Clock::time_point start = Clock::now();
    result = work();
    return Seconds(start);
}

// A measured side against its bare loop: best of five each, in turns, each
// side first in every other round, so that a change of load on a shared
// machine and the caches' warmth weigh on both alike.
struct Pair {
    double measured = 1e9, bare = 1e9;
    std::size_t measuredResult = 0, bareResult = 0;
};

template <typename Measured, typename Bare>
Pair Compare(Measured measured, Bare bare) {
    Pair pair;
    for (int round = 0; round < 5; ++round) {
        const auto measure = [&] { pair.measured = std::min(pair.measured, Timed(measured, pair.measuredResult)); };
        const auto loop = [&] { pair.bare = std::min(pair.bare, Timed(bare, pair.bareResult)); };
        if (round % 2) {
            loop();
            measure();
        } else {
            measure();
            loop();
        }
    }
    return pair;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int emptyKeys = argc > 1 ? _wtoi(argv[1]) : 20000;
    const int fullKeys = argc > 2 ? _wtoi(argv[2]) : 20000;
    const int muiValues = argc > 3 ? _wtoi(argv[3]) : 5000;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring muiRoot = std::wstring(temp) + L"QoBenchMui";

    Clock::time_point start = Clock::now();
    Generate(emptyKeys, fullKeys, muiValues, muiRoot);
    std::printf("generated %d empty keys, %d keys with a value, %d MUI cache values in %d folders "
                "(half of them missing; a third of the programs in the others exist) in %.1f s\n",
                emptyKeys, fullKeys, muiValues, (muiValues + kMuiPerFolder - 1) / kMuiPerFolder, Seconds(start));

    const Pair mui = Compare([] { return ScanCategory(1); }, BareMuiCache);
    const Pair software = Compare([] { return ScanCategory(2); }, BareSoftwareKeys);
    std::printf("MUI cache: scan %.3f s (%zu issues), bare loop %.3f s (%zu missing), ratio %.2f\n", mui.measured,
                mui.measuredResult, mui.bare, mui.bareResult, mui.measured / mui.bare);
    std::printf("software keys: scan %.3f s (%zu issues), bare loop %.3f s (%zu keys), ratio %.2f\n",
                software.measured, software.measuredResult, software.bare, software.bareResult,
                software.measured / software.bare);
    std::printf("both: scan %.3f s, bare %.3f s, ratio %.2f (best of 5 each, in turns, first place alternating)\n",
                mui.measured + software.measured, mui.bare + software.bare,
                (mui.measured + software.measured) / (mui.bare + software.bare));

    Remove(emptyKeys, fullKeys, muiValues, muiRoot);

    // The one-click scan on this machine as it is, with no page attached.
    start = Clock::now();
    app::NativeFunctions().Call("HomeScan", {});
    while (core::LiveWorkerBits() != 0) Sleep(1);
    std::printf("one-click scan total: %.3f s\n", Seconds(start));
    return 0;
}
