#include "cli/all_users.h"

#include <cstdint>
#include <map>

#include "cli/progress_line.h"
#include "common/account_sid.h"
#include "common/listed_delete.h"
#include "core/keep_list.h"
#include "core/worker_tasks.h"
#include "engine/shell_launch.h"
#include "engine/wire_format.h"
#include "junk/junk_categories.h"
#include "junk/junk_clean.h"
#include "junk/protected_folders.h"
#include "junk/user_profiles.h"

namespace cli {

namespace {

using engine::Utf8FromWide;

// What one run did in one place (a profile's share of a category, a
// profile, a category, the run).
struct Figures {
    std::size_t found = 0;
    std::uint64_t foundBytes = 0;
    common::DeleteTally tally;

    Figures& operator+=(const Figures& other) {
        found += other.found;
        foundBytes += other.foundBytes;
        tally += other.tally;
        return *this;
    }
    // Left for another reason than being in use: the failures.
    std::size_t Left() const { return tally.failed - tally.inUse; }
};

void AddFigures(cJSON* object, const Figures& figures, bool clean) {
    cJSON_AddNumberToObject(object, "found", static_cast<double>(figures.found));
    cJSON_AddNumberToObject(object, "foundBytes", static_cast<double>(figures.foundBytes));
    if (!clean) return;
    const common::DeleteTally& tally = figures.tally;
    cJSON_AddNumberToObject(object, "removed", static_cast<double>(tally.Cleaned()));
    cJSON_AddNumberToObject(object, "bytes", static_cast<double>(tally.freedBytes));
    cJSON_AddNumberToObject(object, "failed", static_cast<double>(figures.Left()));
    cJSON_AddNumberToObject(object, "failedBytes", static_cast<double>(tally.failedBytes - tally.inUseBytes));
    cJSON_AddNumberToObject(object, "inUse", static_cast<double>(tally.inUse));
    cJSON_AddNumberToObject(object, "inUseBytes", static_cast<double>(tally.inUseBytes));
}

std::string FiguresText(const Figures& figures, bool clean) {
    if (!clean) return std::to_string(figures.found) + " items, " + std::to_string(figures.foundBytes) + " bytes";
    return std::to_string(figures.tally.Cleaned()) + " removed, " + std::to_string(figures.Left()) + " failed, " +
           std::to_string(figures.tally.inUse) + " in use, " + std::to_string(figures.tally.freedBytes) + " bytes";
}

cJSON* ProfileObject(const junk::UserProfile& profile) {
    cJSON* object = cJSON_CreateObject();
    cJSON_AddStringToObject(object, "sid", Utf8FromWide(profile.sid).c_str());
    cJSON_AddStringToObject(object, "profile", Utf8FromWide(profile.root).c_str());
    return object;
}

// One share of category `category` (a profile's, the machine's) walked by
// `walk`, and deleted when cleaning.
template <typename Walk>
Figures RunShare(int category, Walk walk, bool clean) {
    junk::JunkFileList list, emptyFolders;
    Figures figures;
    if (!walk(list, emptyFolders)) return figures;
    figures.found = list.Count();
    figures.foundBytes = list.Total();
    if (clean) figures.tally = junk::CleanCategoryFiles(category, list, emptyFolders);
    return figures;
}

}  // namespace

std::string OwnAccountRefusal(const junk::CategoryId& category, const std::wstring& accountSid) {
    if (category.machineWide || accountSid != common::kLocalSystemSid) return {};
    if (category.cleaner == junk::Cleaner::Registry)
        return "a per-user registry category run as SYSTEM would clean SYSTEM's own registry: run it as the user";
    return "a per-user category run as SYSTEM would clean SYSTEM's own profile and recycle bin: run with --all-users";
}

std::string AllUsersRefusal(const junk::CategoryId& category) {
    if (category.cleaner == junk::Cleaner::Registry) return "registry categories are never cleaned for all users";
    if (!junk::IsPerUserCategory(category.index)) return "not a per-user category: run without --all-users";
    return {};
}

Outcome RunForAllUsers(const Command& command) {
    const bool clean = command.verb == Verb::Clean;
    std::string unknown;
    // A scan without ids: every category that is done for all users.
    std::vector<junk::CategoryId> selected = junk::SelectCategories(command.words, &unknown);
    if (command.words.empty())
        for (const junk::CategoryId& category : junk::AllCategories())
            if (AllUsersRefusal(category).empty()) selected.push_back(category);
    if (selected.empty()) {
        Outcome usage;
        usage.exitCode = kUsage;
        usage.error = "unknown category: " + unknown;
        return usage;
    }
    if (!engine::ProcessIsElevated())
        return NotPermitted("--all-users needs SYSTEM or an elevated administrator");
    if (clean) {
        if (std::string refused = KeepListRefusalText(core::DeletionRefusal()); !refused.empty())
            return NotPermitted(std::move(refused));
        core::EnableCleanPrivileges();
    }
    const junk::ProtectedFolders protectedFolders = junk::SystemProtectedFolders();
    const std::vector<junk::UserProfile> profiles = junk::LocalUserProfiles();
    std::vector<junk::CategorySources> sources;
    for (const junk::UserProfile& profile : profiles) sources.push_back(junk::ProfileSources(profile, protectedFolders));

    Outcome outcome;
    outcome.json = engine::Json(cJSON_CreateObject());
    cJSON_AddBoolToObject(outcome.json.get(), "allUsers", true);
    cJSON* categories = cJSON_AddArrayToObject(outcome.json.get(), "categories");
    const junk::CategorySources machineSources = junk::SystemSources();
    std::vector<Figures> perProfile(profiles.size());
    Figures machine;
    Figures total;
    std::size_t refused = 0;
    bool stopped = false;
    {
        ProgressLine progress;
        for (std::size_t i = 0; i < selected.size() && !stopped; ++i) {
            const junk::CategoryId& category = selected[i];
            progress.Show(category.id, static_cast<int>(i * 100 / selected.size()));
            cJSON* object = cJSON_CreateObject();
            cJSON_AddItemToArray(categories, object);
            cJSON_AddStringToObject(object, "id", category.id);
            cJSON_AddStringToObject(object, "name", category.name);
            // A refused category has the same keys, with zero values.
            const std::string refusal = AllUsersRefusal(category);
            cJSON_AddBoolToObject(object, "permitted", refusal.empty());
            if (refusal.empty())
                cJSON_AddNullToObject(object, "refusal");
            else
                cJSON_AddStringToObject(object, "refusal", refusal.c_str());
            cJSON* shares = cJSON_AddArrayToObject(object, "profiles");
            if (!refusal.empty()) {
                ++refused;
                cJSON_AddNullToObject(object, "machine");
                AddFigures(object, {}, clean);
                outcome.lines.push_back(std::string(category.id) + "  not permitted (" + refusal + ")");
                continue;
            }
            Figures categoryFigures;
            for (std::size_t p = 0; p < profiles.size(); ++p) {
                if (core::StopRequested() || (clean && core::KeepRefusalNow() != core::KeepRefusal::None)) {
                    stopped = true;
                    break;
                }
                const Figures share = RunShare(
                    category.index,
                    [&](junk::JunkFileList& list, junk::JunkFileList& emptyFolders) {
                        return junk::ScanProfileCategory(category.index, profiles[p], sources[p], list, emptyFolders);
                    },
                    clean);
                perProfile[p] += share;
                categoryFigures += share;
                cJSON* item = ProfileObject(profiles[p]);
                AddFigures(item, share, clean);
                cJSON_AddItemToArray(shares, item);
            }
            // The machine's own share of it (the Windows temporary folder).
            if (!stopped && !junk::MachineFoldersOf(category.index, machineSources).empty()) {
                const Figures share = RunShare(
                    category.index,
                    [&](junk::JunkFileList& list, junk::JunkFileList& emptyFolders) {
                        return junk::ScanMachineShare(category.index, machineSources, list, emptyFolders);
                    },
                    clean);
                machine += share;
                categoryFigures += share;
                AddFigures(cJSON_AddObjectToObject(object, "machine"), share, clean);
            } else {
                cJSON_AddNullToObject(object, "machine");
            }
            AddFigures(object, categoryFigures, clean);
            total += categoryFigures;
        }
    }
    stopped = stopped || core::StopRequested();
    cJSON* profileList = cJSON_AddArrayToObject(outcome.json.get(), "profiles");
    for (std::size_t p = 0; p < profiles.size(); ++p) {
        cJSON* item = ProfileObject(profiles[p]);
        cJSON_AddBoolToObject(item, "hiveLoaded", profiles[p].hiveLoaded);
        AddFigures(item, perProfile[p], clean);
        cJSON_AddItemToArray(profileList, item);
        outcome.lines.push_back(Utf8FromWide(profiles[p].sid) + "  " + Utf8FromWide(profiles[p].root) + "  " +
                                FiguresText(perProfile[p], clean));
    }
    outcome.lines.push_back("machine  " + FiguresText(machine, clean));
    AddFigures(outcome.json.get(), total, clean);
    cJSON_AddBoolToObject(outcome.json.get(), "stopped", stopped);
    outcome.lines.push_back(std::string(clean ? "clean" : "scan") + " --all-users: " + std::to_string(profiles.size()) +
                            " profiles, " + FiguresText(total, clean) +
                            (refused ? ", " + std::to_string(refused) + " not permitted" : "") +
                            (stopped ? " (stopped)" : ""));
    const bool keepListLost = core::KeepRefusalNow() != core::KeepRefusal::None;
    if (keepListLost) outcome.error = "the keep list could not be read during the clean, so it stopped";
    outcome.exitCode = CombinedExitCode({.parts = selected.size(),
                                         .refused = refused,
                                         .failed = total.Left(),
                                         .stopped = stopped,
                                         .keepListLost = keepListLost});
    return outcome;
}

}  // namespace cli
