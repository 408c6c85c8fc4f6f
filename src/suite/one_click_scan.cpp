#include "suite/one_click_scan.h"

#include <ctime>
#include <cwchar>

#include "core/settings_store.h"
#include "core/settings_store_values.h"
#include "core/worker_tasks.h"
#include "junk/category_policy.h"
#include "junk/junk_scan.h"
#include "registry/registry_scan.h"
#include "suite/health_rules.h"

namespace suite {

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

constexpr int kScannedCategories = registry::kRegistryCategoryCount + junk::kJunkCategoryCount;

// False when the stop flag ended the scan: a stopped scan stores nothing.
// A category the policy turns off is not scanned: it is reported empty and
// counts nothing towards the health score.
bool ScanEverything(const core::Policy& policy, std::array<bool, registry::kRegistryCategoryCount>& registryFound,
                    std::array<bool, junk::kJunkCategoryCount>& junkFound, std::uint64_t& junkBytes,
                    DWORD& registryIssues) {
    auto& registryLists = registry::RegistryIssueLists();
    for (int i = 0; i < registry::kRegistryCategoryCount; ++i) {
        if (core::StopRequested()) return false;
        if (!junk::TurnedOff(policy, junk::Cleaner::Registry, i)) registry::ScanRegistryCategory(i, registryLists[i]);
        // The category scan gives up inside when stopped: not a finding to report.
        if (core::StopRequested()) return false;
        registryFound[i] = !registryLists[i].empty();
        registryIssues += static_cast<DWORD>(registryLists[i].size());
        core::ReportScannedCategory(registryLists[i].size(), L"0", 0, i);
        core::BroadcastProgress((i + 1) * 100 / kScannedCategories);
    }
    junk::ResetJunkLists();
    const junk::CategorySources sources = junk::SystemSources();
    for (int j = 0; j < junk::kJunkCategoryCount; ++j) {
        if (!junk::TurnedOff(policy, junk::Cleaner::Junk, j) && !junk::ScanJunkCategory(j, sources)) return false;
        const junk::JunkFileList& list = junk::JunkList(j);
        junkFound[j] = !list.Empty();
        junkBytes += list.Total();
        core::ReportScannedCategory(list.Count(), core::DecimalText(static_cast<std::int64_t>(list.Total())), 1, j,
                                    static_cast<int>(junk::StateOf(j).load()));
        core::BroadcastProgress((registry::kRegistryCategoryCount + j + 1) * 100 / kScannedCategories);
    }
    return true;
}

void RunOneClickScan(const core::Policy& policy) {
    EmptyLists();
    std::array<bool, registry::kRegistryCategoryCount> registryFound{};
    std::array<bool, junk::kJunkCategoryCount> junkFound{};
    std::uint64_t junkBytes = 0;
    DWORD registryIssues = 0;
    if (ScanEverything(policy, registryFound, junkFound, junkBytes, registryIssues)) {
        core::WriteHealthScore(static_cast<DWORD>(HealthScore(registryFound, junkFound)));
        core::WriteLastOneClickTime(LocalTimeText());
        core::WriteWaitCleanSize(static_cast<std::int64_t>(junkBytes));
        core::WriteRegistryIssueCount(registryIssues);
    }
    core::ClearZoneBits(core::HOME_SCAN_WORKING);
}

}  // namespace

engine::Value HomeScan(core::BridgeArgs) {
    junk::StartPolicy start = junk::PolicyForStart();
    if (start.refusal) return start.refusal;
    return core::StartTask(core::Task::OneClickScan, EmptyLists,
                           [policy = std::move(start.policy)] { RunOneClickScan(policy); });
}

}  // namespace suite
