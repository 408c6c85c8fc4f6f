#include "app/one_click_scan.h"

#include <ctime>
#include <cwchar>

#include "app/health_rules.h"
#include "app/settings_store.h"
#include "app/settings_store_values.h"
#include "app/worker_tasks.h"
#include "junk/junk_scan.h"
#include "registry/registry_scan.h"

namespace app {

namespace {

void EmptyLists() {
    for (registry::RegistryIssueList& list : registry::RegistryIssueLists()) list.clear();
    junk::ResetJunkLists();
}

std::wstring LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    wchar_t text[32] = {};
    std::wcsftime(text, 32, L"%Y-%m-%d %H:%M:%S", std::localtime(&now));
    return text;
}

// False when the stop flag ended the scan: a stopped scan stores nothing.
bool ScanEverything(std::array<bool, registry::kRegistryCategoryCount>& registryFound,
                    std::array<bool, junk::kJunkCategoryCount>& junkFound, std::uint64_t& junkBytes,
                    DWORD& registryIssues) {
    auto& registryLists = registry::RegistryIssueLists();
    for (int i = 0; i < registry::kRegistryCategoryCount; ++i) {
        if (StopRequested()) return false;
        registry::ScanRegistryCategory(i, registryLists[i]);
        // The category scan gives up inside when stopped: not a finding to report.
        if (StopRequested()) return false;
        registryFound[i] = !registryLists[i].empty();
        registryIssues += static_cast<DWORD>(registryLists[i].size());
        ReportScannedCategory(registryLists[i].size(), L"0", 0, i);
        BroadcastProgress((i + 1) * 5);
    }
    junk::ResetJunkLists();
    const junk::CategorySources sources = junk::SystemSources();
    for (int j = 0; j < junk::kJunkCategoryCount; ++j) {
        if (!junk::ScanJunkCategory(j, sources)) return false;
        const junk::JunkFileList& list = junk::JunkList(j);
        junkFound[j] = !list.Empty();
        junkBytes += list.Total();
        ReportScannedCategory(list.Count(), DecimalText(static_cast<std::int64_t>(list.Total())), 1, j);
        BroadcastProgress((j + 8) * 5);
    }
    return true;
}

void RunOneClickScan() {
    EmptyLists();
    std::array<bool, registry::kRegistryCategoryCount> registryFound{};
    std::array<bool, junk::kJunkCategoryCount> junkFound{};
    std::uint64_t junkBytes = 0;
    DWORD registryIssues = 0;
    if (ScanEverything(registryFound, junkFound, junkBytes, registryIssues)) {
        WriteHealthScore(static_cast<DWORD>(HealthScore(registryFound, junkFound)));
        WriteLastOneClickTime(LocalTimeText());
        WriteWaitCleanSize(static_cast<std::int64_t>(junkBytes));
        WriteRegistryIssueCount(registryIssues);
    }
    ClearZoneBits(HOME_SCAN_WORKING);
}

}  // namespace

engine::Value HomeScan(BridgeArgs) { return StartTask(Task::OneClickScan, EmptyLists, RunOneClickScan); }

}  // namespace app
