#include "cli/commands.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "cli/all_users.h"
#include "cli/policy_check.h"
#include "cli/progress_line.h"
#include "cli/run_document.h"
#include "cli/startup_ids.h"
#include "common/account_sid.h"
#include "common/app_directory.h"
#include "common/text.h"
#include "common/windows_version.h"
#include "core/keep_list.h"
#include "core/keep_text.h"
#include "core/worker_tasks.h"
#include "engine/shell_launch.h"
#include "junk/app_caches.h"
#include "junk/category_ids.h"
#include "junk/junk_categories.h"
#include "junk/junk_clean.h"
#include "junk/junk_lists.h"
#include "junk/junk_scan.h"
#include "junk/result_kinds.h"
#include "registry/registry_issue.h"
#include "registry/registry_rows.h"
#include "registry/registry_scan.h"
#include "services/service_change.h"
#include "services/service_entry.h"
#include "services/service_enumeration.h"
#include "services/start_type.h"
#include "startup/startup_bridge.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_item.h"
#include "startup/startup_store.h"
#include "suite/undo_changes.h"

namespace cli {

namespace {

using engine::Utf8FromWide;
using engine::WideFromUtf8;

engine::Json NewObject() { return engine::Json(cJSON_CreateObject()); }

void AddText(cJSON* object, const char* name, const std::wstring& text) {
    cJSON_AddStringToObject(object, name, Utf8FromWide(text).c_str());
}

std::string Number(std::uint64_t value) { return std::to_string(value); }

Outcome Usage(std::string error) {
    Outcome outcome;
    outcome.exitCode = kUsage;
    outcome.error = std::move(error);
    return outcome;
}

bool Permitted(const junk::CategoryId& category) { return !category.machineWide || engine::ProcessIsElevated(); }

// What the last scan or clean of a junk category learnt of its program.
junk::CategoryState StateOf(const junk::CategoryId& category) {
    return category.cleaner == junk::Cleaner::Junk ? junk::StateOf(category.index).load() : junk::CategoryState::Ready;
}

// Why a browser's cache was left whole; empty otherwise.
std::string HeldText(const junk::CategoryId& category) {
    const junk::Browser* browser = category.cleaner == junk::Cleaner::Junk ? junk::BrowserOf(category.index) : nullptr;
    if (!browser || StateOf(category) != junk::CategoryState::Held) return {};
    return "close " + Utf8FromWide(browser->name) + " to clean its cache";
}

// One category's scan into its cleaner's list; what it found.
struct Found {
    std::size_t count = 0;
    std::uint64_t bytes = 0;
};

Found ScanCategory(const junk::CategoryId& category, const junk::CategorySources& sources) {
    if (category.cleaner == junk::Cleaner::Junk) {
        junk::ScanJunkCategory(category.index, sources);
        const junk::JunkFileList& list = junk::JunkList(category.index);
        return {list.Count(), list.Total()};
    }
    registry::RegistryIssueList& list = registry::RegistryIssueLists()[static_cast<std::size_t>(category.index)];
    list.clear();
    registry::ScanRegistryCategory(category.index, list);
    return {list.size(), 0};
}

engine::Json ItemsOf(const junk::CategoryId& category) {
    engine::Json items(cJSON_CreateArray());
    if (category.cleaner == junk::Cleaner::Junk) {
        const junk::JunkFileList& list = junk::JunkList(category.index);
        for (const junk::JunkFileEntry& entry : list) {
            cJSON* item = cJSON_CreateObject();
            AddText(item, "path", list.PathOf(entry));
            cJSON_AddNumberToObject(item, "bytes", static_cast<double>(entry.size));
            cJSON_AddItemToArray(items.get(), item);
        }
        return items;
    }
    for (const registry::RegistryIssue& issue : registry::RegistryIssueLists()[static_cast<std::size_t>(category.index)]) {
        cJSON* item = cJSON_CreateObject();
        AddText(item, "key", registry::RootPrefix(issue.root) + issue.keyPath + issue.keyName);
        if (issue.IsValueIssue()) AddText(item, "value", issue.valueName);
        cJSON_AddItemToArray(items.get(), item);
    }
    return items;
}

cJSON* CategoryObject(const junk::CategoryId& category) {
    cJSON* object = cJSON_CreateObject();
    cJSON_AddStringToObject(object, "id", category.id);
    cJSON_AddStringToObject(object, "name", category.name);
    return object;
}

// A scanned or cleaned category's object: its id, name, whether it was
// permitted and why not (null when it was), then `figures`' members. A
// refused category has the same keys with zero values.
cJSON* OutcomeObject(const junk::CategoryId& category, bool permitted, const std::string& refusal) {
    cJSON* object = CategoryObject(category);
    cJSON_AddBoolToObject(object, "permitted", permitted);
    if (refusal.empty())
        cJSON_AddNullToObject(object, "refusal");
    else
        cJSON_AddStringToObject(object, "refusal", refusal.c_str());
    return object;
}

constexpr const char* kNeedsAdministrator = "it needs an administrator's rights: run orvane as an administrator";

// Calls `each` for the categories in turn, with the progress line; false
// when the stop flag ended the run before one of them.
template <typename Each>
bool EachCategory(const std::vector<junk::CategoryId>& categories, Each each) {
    ProgressLine progress;
    for (std::size_t i = 0; i < categories.size(); ++i) {
        progress.Show(categories[i].id, static_cast<int>(i * 100 / categories.size()));
        if (core::StopRequested()) return false;
        each(categories[i]);
    }
    return true;
}

std::vector<junk::CategoryId> Selected(const Command& command, std::string* unknown) {
    if (command.words.empty()) return junk::AllCategories();
    return junk::SelectCategories(command.words, unknown);
}

Outcome List() {
    Outcome outcome;
    outcome.json = NewObject();
    cJSON* categories = cJSON_AddArrayToObject(outcome.json.get(), "categories");
    for (const junk::CategoryId& category : junk::AllCategories()) {
        cJSON_AddItemToArray(categories, CategoryObject(category));
        outcome.lines.push_back(std::string(category.id) + "  " + category.name);
    }
    outcome.lines.push_back(Number(junk::AllCategories().size()) + " categories");
    return outcome;
}

Outcome Scan(const Command& command) {
    std::string unknown;
    const std::vector<junk::CategoryId> selected = Selected(command, &unknown);
    if (selected.empty()) return Usage("unknown category: " + unknown);
    const junk::CategorySources sources = junk::SystemSources();
    Outcome outcome;
    outcome.json = NewObject();
    cJSON* categories = cJSON_AddArrayToObject(outcome.json.get(), "categories");
    Found total;
    const std::wstring account = common::ProcessAccountSid();
    std::size_t refused = 0;
    const bool stopped = !EachCategory(selected, [&](const junk::CategoryId& category) {
        if (const std::string refusal = OwnAccountRefusal(category, account); !refusal.empty()) {
            ++refused;
            outcome.error = refusal;
            cJSON* object = OutcomeObject(category, false, refusal);
            cJSON_AddNumberToObject(object, "count", 0);
            cJSON_AddNumberToObject(object, "bytes", 0);
            cJSON_AddBoolToObject(object, "installed", false);
            cJSON_AddBoolToObject(object, "held", false);
            if (command.details) cJSON_AddArrayToObject(object, "items");
            cJSON_AddItemToArray(categories, object);
            outcome.lines.push_back(std::string(category.id) + "  not permitted (" + refusal + ")");
            return;
        }
        const Found found = ScanCategory(category, sources);
        total.count += found.count;
        total.bytes += found.bytes;
        // Scanned: "permitted" tells whether this run could clean it;
        // "installed" whether its program is on the machine, "held" whether
        // its browser runs (a clean now would leave it).
        cJSON* object = OutcomeObject(category, Permitted(category), "");
        cJSON_AddNumberToObject(object, "count", static_cast<double>(found.count));
        cJSON_AddNumberToObject(object, "bytes", static_cast<double>(found.bytes));
        cJSON_AddBoolToObject(object, "installed", StateOf(category) != junk::CategoryState::Absent);
        cJSON_AddBoolToObject(object, "held", StateOf(category) == junk::CategoryState::Held);
        if (command.details) cJSON_AddItemToObject(object, "items", ItemsOf(category).release());
        cJSON_AddItemToArray(categories, object);
        outcome.lines.push_back(std::string(category.id) + "  " + Number(found.count) + " items, " +
                                Number(found.bytes) + " bytes" + (Permitted(category) ? "" : " (not permitted)") +
                                (StateOf(category) == junk::CategoryState::Absent ? " (not installed)" : "") +
                                (HeldText(category).empty() ? "" : " (" + HeldText(category) + ")"));
        if (command.details)
            for (const cJSON* item = cJSON_GetObjectItem(object, "items")->child; item; item = item->next) {
                const cJSON* path = cJSON_GetObjectItem(item, "path");
                const cJSON* key = cJSON_GetObjectItem(item, "key");
                const cJSON* value = cJSON_GetObjectItem(item, "value");
                std::string line = "    " + std::string(path ? path->valuestring : key->valuestring);
                if (value) line += "  " + Utf8FromWide(registry::ShownValueName(WideFromUtf8(value->valuestring)));
                outcome.lines.push_back(line);
            }
    });
    cJSON_AddNumberToObject(outcome.json.get(), "count", static_cast<double>(total.count));
    cJSON_AddNumberToObject(outcome.json.get(), "bytes", static_cast<double>(total.bytes));
    cJSON_AddBoolToObject(outcome.json.get(), "stopped", stopped);
    outcome.lines.push_back("scan: " + Number(total.count) + " items, " + Number(total.bytes) + " bytes in " +
                            Number(cJSON_GetArraySize(categories)) + " categories" + (stopped ? " (stopped)" : ""));
    const bool over = command.minBytes && total.bytes > *command.minBytes;
    if (command.minBytes) cJSON_AddNumberToObject(outcome.json.get(), "minBytes", static_cast<double>(*command.minBytes));
    // A scan that scanned anything is done: its refused categories say why
    // in the document, as before.
    outcome.exitCode = CombinedExitCode({.parts = selected.size(),
                                         .refused = refused == selected.size() ? refused : 0,
                                         .stopped = stopped,
                                         .overThreshold = over});
    return outcome;
}

// What cleaning one category did: the cleaner's own account, through the
// same entry point as the window's clean.
junk::CategoryCleaned CleanCategory(const junk::CategoryId& category, junk::CleanRun& run) {
    const int kind = category.cleaner == junk::Cleaner::Junk ? junk::kJunkRows : junk::kRegistryRows;
    return junk::FindResultKind(kind)->Clean(category.index, run);
}

}  // namespace

Outcome NotPermitted(std::string reason) {
    Outcome outcome;
    outcome.exitCode = kNotPermitted;
    outcome.error = std::move(reason);
    return outcome;
}

std::string KeepListRefusalText(core::KeepRefusal refusal) {
    if (refusal == core::KeepRefusal::None) return {};
    if (refusal == core::KeepRefusal::Unreadable)
        return "the keep list cannot be read, so nothing is deleted (the database is locked or damaged; try again)";
    const std::optional<db::KeepListLoss> loss = core::KeepListLossNow();
    return "the keep list was lost with the damaged database" +
           (loss ? " (set aside as " + Utf8FromWide(loss->aside) + ")" : std::string()) +
           ", so nothing is deleted: check \"orvane keep list\", keep again what must stay, then run "
           "\"orvane keep confirm\"";
}

namespace {

Outcome Clean(const Command& command) {
    std::string unknown;
    const std::vector<junk::CategoryId> selected = junk::SelectCategories(command.words, &unknown);
    if (selected.empty()) return Usage("unknown category: " + unknown);
    // Read afresh: the window may have changed it since this run started.
    if (std::string refused = KeepListRefusalText(core::DeletionRefusal()); !refused.empty())
        return NotPermitted(std::move(refused));
    core::EnableCleanPrivileges();
    const junk::CategorySources sources = junk::SystemSources();
    const std::wstring account = common::ProcessAccountSid();
    Outcome outcome;
    outcome.json = NewObject();
    cJSON* categories = cJSON_AddArrayToObject(outcome.json.get(), "categories");
    junk::CleanRun run;
    junk::CategoryCleaned total;
    std::size_t refused = 0;
    const bool stopped = !EachCategory(selected, [&](const junk::CategoryId& category) {
        // The keep list became unreadable: nothing more is deleted.
        if (core::KeepRefusalNow() != core::KeepRefusal::None) return;
        std::string refusal = Permitted(category) ? OwnAccountRefusal(category, account) : kNeedsAdministrator;
        junk::CategoryCleaned cleaned;
        if (refusal.empty()) {
            ScanCategory(category, sources);
            cleaned = CleanCategory(category, run);
        }
        cJSON* object = OutcomeObject(category, refusal.empty(), refusal);
        cJSON_AddItemToArray(categories, object);
        // Removed: entries gone (a file gone by itself meanwhile included);
        // bytes: what the deletions freed now; in use: left, but no failure.
        cJSON_AddNumberToObject(object, "removed", static_cast<double>(cleaned.cleaned));
        cJSON_AddNumberToObject(object, "failed", static_cast<double>(cleaned.left - cleaned.inUse));
        cJSON_AddNumberToObject(object, "inUse", static_cast<double>(cleaned.inUse));
        cJSON_AddNumberToObject(object, "inUseBytes", static_cast<double>(cleaned.inUseBytes));
        cJSON_AddNumberToObject(object, "bytes", static_cast<double>(cleaned.freedBytes));
        if (!refusal.empty()) {
            ++refused;
            outcome.error = std::string(category.id) + ": " + refusal;
            cJSON_AddNullToObject(object, "error");
            cJSON_AddNullToObject(object, "backup");
            outcome.lines.push_back(std::string(category.id) + "  not permitted (" + refusal + ")");
            return;
        }
        total.cleaned += cleaned.cleaned;
        total.left += cleaned.left;
        total.inUse += cleaned.inUse;
        total.inUseBytes += cleaned.inUseBytes;
        total.freedBytes += cleaned.freedBytes;
        std::string line = std::string(category.id) + "  " + Number(cleaned.cleaned) + " removed, " +
                           Number(cleaned.left - cleaned.inUse) + " failed, " + Number(cleaned.inUse) + " in use, " +
                           Number(cleaned.freedBytes) + " bytes";
        const bool backupFailed = category.cleaner == junk::Cleaner::Registry && !cleaned.reported &&
                                  core::KeepRefusalNow() == core::KeepRefusal::None;
        const std::string held = HeldText(category);
        if (backupFailed)
            cJSON_AddStringToObject(object, "error", "the backup could not be written");
        else if (!held.empty())
            cJSON_AddStringToObject(object, "error", held.c_str());
        else
            cJSON_AddNullToObject(object, "error");
        if (!held.empty()) line += " (" + held + ")";
        if (category.cleaner == junk::Cleaner::Junk) cJSON_AddNullToObject(object, "backup");
        if (category.cleaner == junk::Cleaner::Registry) {
            const std::wstring& backup = cleaned.registryBackup;
            const bool written = !backup.empty() && GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES;
            if (written && cleaned.cleaned)
                AddText(object, "backup", backup);
            else
                cJSON_AddNullToObject(object, "backup");
            if (backupFailed) {
                line += " (the backup could not be written)";
            } else if (written && cleaned.cleaned) {
                line += ", backup " + Utf8FromWide(backup);
            }
        }
        outcome.lines.push_back(line);
    });
    cJSON_AddNumberToObject(outcome.json.get(), "removed", static_cast<double>(total.cleaned));
    cJSON_AddNumberToObject(outcome.json.get(), "failed", static_cast<double>(total.left - total.inUse));
    cJSON_AddNumberToObject(outcome.json.get(), "inUse", static_cast<double>(total.inUse));
    cJSON_AddNumberToObject(outcome.json.get(), "inUseBytes", static_cast<double>(total.inUseBytes));
    cJSON_AddNumberToObject(outcome.json.get(), "bytes", static_cast<double>(total.freedBytes));
    cJSON_AddBoolToObject(outcome.json.get(), "stopped", stopped);
    outcome.lines.push_back("clean: " + Number(total.cleaned) + " removed, " + Number(total.left - total.inUse) +
                            " failed, " + Number(total.inUse) + " in use, " + Number(total.freedBytes) + " bytes" +
                            (refused ? ", " + Number(refused) + " not permitted" : "") + (stopped ? " (stopped)" : ""));
    const bool keepListLost = core::KeepRefusalNow() != core::KeepRefusal::None;
    if (keepListLost) outcome.error = "the keep list could not be read during the clean, so it stopped";
    outcome.exitCode = CombinedExitCode({.parts = selected.size(),
                                         .refused = refused,
                                         .failed = total.left - total.inUse,
                                         .stopped = stopped,
                                         .keepListLost = keepListLost});
    return outcome;
}

cJSON* StartupObject(std::size_t number, const startup::StartupItem& item) {
    cJSON* object = cJSON_CreateObject();
    AddText(object, "id", StartupId(item));
    cJSON_AddNumberToObject(object, "number", static_cast<double>(number));
    AddText(object, "name", item.strName);
    AddText(object, "description", item.fileDescription);
    AddText(object, "company", item.companyName);
    AddText(object, "program", item.iconPath);
    cJSON_AddBoolToObject(object, "enabled", item.bStatus == 0);
    return object;
}

// Number, state, stable id (what `startup enable|disable` takes, to copy),
// name and program.
std::string StartupLine(std::size_t number, const startup::StartupItem& item) {
    return Number(number) + "  " + (item.bStatus == 0 ? "on   " : "off  ") + Utf8FromWide(StartupId(item)) + "  " +
           Utf8FromWide(item.strName) + "  " + Utf8FromWide(item.iconPath);
}

Outcome StartupList() {
    startup::EnumerateStartupItems(common::GetWindowsGeneration());
    const std::vector<startup::StartupItem>& items = startup::StartupItemList();
    Outcome outcome;
    outcome.json = NewObject();
    cJSON* entries = cJSON_AddArrayToObject(outcome.json.get(), "entries");
    std::size_t enabled = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        cJSON_AddItemToArray(entries, StartupObject(i + 1, items[i]));
        outcome.lines.push_back(StartupLine(i + 1, items[i]));
        if (items[i].bStatus == 0) ++enabled;
    }
    outcome.lines.push_back("startup: " + Number(items.size()) + " entries, " + Number(enabled) + " on");
    return outcome;
}

Outcome StartupSwitch(const Command& command) {
    const int generation = common::GetWindowsGeneration();
    startup::EnumerateStartupItems(generation);
    std::vector<std::size_t> numbers;
    for (const std::string& word : command.words) {
        const std::optional<std::size_t> index = FindStartupEntry(startup::StartupItemList(), WideFromUtf8(word));
        if (!index) return Usage("no startup entry " + word + " (see orvane startup list)");
        numbers.push_back(*index + 1);
    }
    Outcome outcome;
    outcome.json = NewObject();
    cJSON* entries = cJSON_AddArrayToObject(outcome.json.get(), "entries");
    std::size_t refused = 0, failed = 0;
    for (const std::size_t number : numbers) {
        const startup::StartupItem& item = startup::StartupItemList()[number - 1];
        cJSON* object = StartupObject(number, item);
        cJSON_AddItemToArray(entries, object);
        const bool wanted = (item.bStatus == 0) != command.enable;
        // Machine-wide entries need an administrator to be switched.
        if (wanted && startup::StoreOf(item) == db::Store::Machine && !engine::ProcessIsElevated()) {
            ++refused;
            cJSON_AddBoolToObject(object, "permitted", false);
            outcome.lines.push_back(StartupLine(number, item) + "  (not permitted)");
            continue;
        }
        const bool switched = startup::SetStartupItemState(static_cast<int>(number - 1), !command.enable, generation);
        if (!switched) ++failed;
        cJSON_ReplaceItemInObject(object, "enabled", cJSON_CreateBool(startup::StartupItemList()[number - 1].bStatus == 0));
        cJSON_AddBoolToObject(object, "switched", switched);
        outcome.lines.push_back(StartupLine(number, startup::StartupItemList()[number - 1]) +
                                (switched ? "" : "  (could not be switched)"));
    }
    outcome.lines.push_back(std::string("startup: ") + Number(numbers.size() - refused - failed) + " switched " +
                            (command.enable ? "on" : "off") + ", " + Number(failed) + " failed" +
                            (refused ? ", " + Number(refused) + " not permitted" : ""));
    outcome.exitCode = CombinedExitCode({.parts = numbers.size(), .refused = refused, .failed = failed});
    if (refused) outcome.error = "switching a machine-wide startup entry needs an administrator's rights";
    return outcome;
}

struct TypeName {
    int type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {{2, "auto"}, {services::kDelayedAutoStart, "delayed"}, {3, "manual"},
                                   {4, "disabled"}, {0, "boot"}, {1, "system"}};

const char* StartTypeName(std::uint32_t type) {
    for (const TypeName& entry : kTypeNames)
        if (static_cast<std::uint32_t>(entry.type) == type) return entry.name;
    return "unknown";
}

Outcome ServicesList() {
    std::vector<services::ServiceEntry> entries;
    services::EnumerateServices(entries);
    Outcome outcome;
    outcome.json = NewObject();
    cJSON* list = cJSON_AddArrayToObject(outcome.json.get(), "services");
    for (const services::ServiceEntry& entry : entries) {
        cJSON* object = cJSON_CreateObject();
        AddText(object, "name", entry.serviceName);
        AddText(object, "displayName", entry.displayName);
        cJSON_AddStringToObject(object, "startType", StartTypeName(entry.startType));
        cJSON_AddBoolToObject(object, "running", entry.currentState == SERVICE_RUNNING);
        cJSON_AddItemToArray(list, object);
        outcome.lines.push_back(Utf8FromWide(entry.serviceName) + "  " + StartTypeName(entry.startType) + "  " +
                                Utf8FromWide(entry.displayName));
    }
    outcome.lines.push_back("services: " + Number(entries.size()));
    return outcome;
}

Outcome ServicesSet(const Command& command) {
    const std::wstring name = WideFromUtf8(command.words[0]);
    const std::string typeWord = common::AsciiLowerCase(command.words[1]);
    const auto type = std::find_if(std::begin(kTypeNames), std::end(kTypeNames),
                                   [&](const TypeName& entry) { return typeWord == entry.name; });
    if (type == std::end(kTypeNames) || !services::IsApplicableStartType(type->type))
        return Usage("unknown start type: " + typeWord + " (auto, delayed, manual or disabled)");
    if (!engine::ProcessIsElevated()) return NotPermitted("changing a service needs an administrator's rights");
    const std::optional<int> before = services::ReadServiceStartType(name);
    if (!before) {
        Outcome outcome;
        outcome.exitCode = engine::ProcessIsElevated() ? kSomeLeft : kNotPermitted;
        outcome.error = "the service " + command.words[0] + " cannot be read";
        return outcome;
    }
    const services::ChangeOutcome change = services::ChangeStartTypeLogged(name, type->type);
    // A driver, or a start type that could not be given back, is never changed.
    if (change == services::ChangeOutcome::Driver || change == services::ChangeOutcome::Unrestorable) {
        Outcome outcome;
        outcome.exitCode = kNotPermitted;
        outcome.error = command.words[0] + ": " + Utf8FromWide(services::ChangeReason(change));
        return outcome;
    }
    const bool changed = change == services::ChangeOutcome::Changed;
    Outcome outcome;
    outcome.json = NewObject();
    AddText(outcome.json.get(), "name", name);
    cJSON_AddStringToObject(outcome.json.get(), "before", StartTypeName(static_cast<std::uint32_t>(*before)));
    const std::optional<int> after = services::ReadServiceStartType(name);
    cJSON_AddStringToObject(outcome.json.get(), "startType",
                            after ? StartTypeName(static_cast<std::uint32_t>(*after)) : "unknown");
    cJSON_AddBoolToObject(outcome.json.get(), "changed", changed);
    outcome.lines.push_back("services: " + command.words[0] + " " + StartTypeName(static_cast<std::uint32_t>(*before)) +
                            (changed ? " -> " + std::string(type->name)
                                     : " unchanged (" + Utf8FromWide(services::ChangeReason(change)) + ")"));
    outcome.exitCode = changed ? kDone : engine::ProcessIsElevated() ? kSomeLeft : kNotPermitted;
    return outcome;
}

Outcome UndoList() {
    const std::vector<suite::Change> changes = suite::ListChanges();
    Outcome outcome;
    outcome.json = NewObject();
    cJSON* list = cJSON_AddArrayToObject(outcome.json.get(), "changes");
    for (const suite::Change& change : changes) {
        cJSON* object = cJSON_CreateObject();
        cJSON_AddStringToObject(object, "id", change.id.c_str());
        cJSON_AddStringToObject(object, "kind", change.kind.c_str());
        // UTC, as every time in the document; the text lines keep local time.
        cJSON_AddStringToObject(object, "when", UtcFromLocalText(change.when).c_str());
        AddText(object, "what", change.what);
        cJSON_AddNumberToObject(object, "entries", static_cast<double>(change.entries));
        cJSON_AddBoolToObject(object, "restored", change.restored);
        cJSON_AddBoolToObject(object, "backupGone", change.backupGone);
        cJSON_AddItemToArray(list, object);
        outcome.lines.push_back(change.id + "  " + Utf8FromWide(change.when) + "  " + Number(change.entries) +
                                " entries  " + Utf8FromWide(change.what) +
                                (change.restored ? "  (restored)" : change.backupGone ? "  (backup gone)" : ""));
    }
    outcome.lines.push_back("undo: " + Number(changes.size()) + " changes");
    return outcome;
}

Outcome UndoRestore(const Command& command) {
    const std::string id = common::AsciiLowerCase(command.words[0]);
    const suite::RestoreOutcome restore = suite::RestoreChange(id);
    if (restore.status == suite::RestoreStatus::Unknown) return Usage("no change " + id + " (see orvane undo list)");
    Outcome outcome;
    outcome.json = NewObject();
    cJSON_AddStringToObject(outcome.json.get(), "id", id.c_str());
    switch (restore.status) {
        case suite::RestoreStatus::OtherAccount:
            return NotPermitted("undo " + id + ": this change was made by another account, and only it may undo it");
        case suite::RestoreStatus::NotPermitted:
            return NotPermitted("undo " + id + ": undoing this change needs an administrator's rights");
        case suite::RestoreStatus::BackupRefused:
            return NotPermitted("undo " + id + ": its backup is not in the program's Backups folder, so it is not read");
        default: break;
    }
    static constexpr const char* kStatus[] = {"restored", "already restored", "", "backup gone", "failed"};
    const char* status = kStatus[static_cast<int>(restore.status)];
    cJSON_AddStringToObject(outcome.json.get(), "status", status);
    cJSON_AddNumberToObject(outcome.json.get(), "restored", static_cast<double>(restore.restored));
    cJSON* existing = cJSON_AddArrayToObject(outcome.json.get(), "existing");
    for (const std::wstring& entry : restore.existing) {
        cJSON_AddItemToArray(existing, cJSON_CreateString(Utf8FromWide(entry).c_str()));
        outcome.lines.push_back("changed since or there again, kept: " + Utf8FromWide(entry));
    }
    cJSON* failed = cJSON_AddArrayToObject(outcome.json.get(), "failed");
    for (const std::wstring& entry : restore.failed) {
        cJSON_AddItemToArray(failed, cJSON_CreateString(Utf8FromWide(entry).c_str()));
        outcome.lines.push_back("could not be restored: " + Utf8FromWide(entry));
    }
    const std::string kept =
        restore.existing.empty() ? "" : ", " + Number(restore.existing.size()) + " kept as they are";
    outcome.lines.push_back("undo " + id + ": " + status + ", " + Number(restore.restored) + " entries back" + kept);
    if (restore.status == suite::RestoreStatus::Restored)
        outcome.exitCode = restore.existing.empty() ? kDone : kSomeLeft;
    else
        outcome.exitCode = restore.status == suite::RestoreStatus::Failed && !engine::ProcessIsElevated() ? kNotPermitted
                                                                                                        : kSomeLeft;
    return outcome;
}

Outcome KeepList() {
    Outcome outcome;
    const std::optional<std::vector<db::KeepItemRow>> rows = core::ReadKeepList();
    const std::optional<std::vector<std::wstring>> policy = core::PolicyKeepList();
    if (!rows || !policy) {
        outcome.exitCode = kSomeLeft;
        outcome.error = rows ? "the organisation's policy cannot be read" : "the keep list cannot be read";
        return outcome;
    }
    outcome.json = NewObject();
    cJSON* list = cJSON_AddArrayToObject(outcome.json.get(), "kept");
    for (const db::KeepItemRow& row : *rows) {
        cJSON_AddItemToArray(list, cJSON_CreateString(Utf8FromWide(row.text).c_str()));
        outcome.lines.push_back(Utf8FromWide(row.text));
    }
    // The organisation's entries apart: kept on every account, not removable.
    cJSON* set = cJSON_AddArrayToObject(outcome.json.get(), "setByPolicy");
    for (const std::wstring& text : *policy) {
        cJSON_AddItemToArray(set, cJSON_CreateString(Utf8FromWide(text).c_str()));
        outcome.lines.push_back(Utf8FromWide(text) + "  (set by your organisation)");
    }
    outcome.lines.push_back("keep: " + Number(rows->size() + policy->size()) + " kept");
    return outcome;
}

Outcome KeepChange(const Command& command) {
    const bool adding = command.verb == Verb::KeepAdd;
    // Stored (and taken off) as the scans list it, so that it matches.
    const std::wstring item = core::StoredKeepText(WideFromUtf8(command.words[0]));
    if (item.empty()) return Usage("nothing to keep: " + command.words[0]);
    const core::KeepResult result = adding ? core::KeepItem(item) : core::UnkeepItem(item);
    if (result == core::KeepResult::NotPermitted)
        return NotPermitted("keep: " + Utf8FromWide(item) + ": the machine's keep list needs an administrator's rights");
    if (result == core::KeepResult::SetByPolicy)
        return NotPermitted("keep: " + Utf8FromWide(item) + ": set by your organisation's policy, which keeps it");
    static constexpr const char* kAdded[] = {"kept", "already kept", "failed"};
    static constexpr const char* kRemoved[] = {"removed", "not on the keep list", "failed"};
    const char* status = (adding ? kAdded : kRemoved)[static_cast<int>(result)];
    Outcome outcome;
    outcome.json = NewObject();
    AddText(outcome.json.get(), "item", item);
    cJSON_AddStringToObject(outcome.json.get(), "status", status);
    outcome.lines.push_back("keep: " + Utf8FromWide(item) + " " + status);
    // Keeping what is kept already leaves the list as asked for.
    outcome.exitCode = result == core::KeepResult::Done || (adding && result == core::KeepResult::Unchanged)
                           ? kDone
                           : kSomeLeft;
    return outcome;
}

Outcome KeepConfirm() {
    const std::optional<db::KeepListLoss> loss = core::KeepListLossNow();
    const std::optional<std::int64_t> confirmed = core::ConfirmKeepListLoss();
    Outcome outcome;
    if (!confirmed) {
        outcome.exitCode = kSomeLeft;
        outcome.error = "the confirmation could not be stored";
        return outcome;
    }
    const char* status = *confirmed ? "confirmed" : "nothing to confirm";
    outcome.json = NewObject();
    cJSON_AddStringToObject(outcome.json.get(), "status", status);
    if (loss) AddText(outcome.json.get(), "aside", loss->aside);
    outcome.lines.push_back(std::string("keep: ") + status +
                            (*confirmed ? ": cleaning goes on with the keep list as it is now" : ""));
    return outcome;
}

}  // namespace

bool NeedsOperationLock(const Command& command) {
    // Keeping is not among them: a keep made while the window cleans counts
    // for that clean from its next item on.
    return command.verb == Verb::Scan || command.verb == Verb::Clean || command.verb == Verb::StartupSwitch ||
           command.verb == Verb::ServicesSet || command.verb == Verb::UndoRestore;
}

std::string RecoveryLine(const db::DatabaseRecovery& recovery) {
    const auto part = [](const char* name, const db::RecoveredPart& recovered) {
        return std::string(name) + " " + Number(static_cast<std::uint64_t>(recovered.rows)) +
               (recovered.whole ? "" : " (not all could be read)");
    };
    std::string line = "the database could not be read; it was set aside as " + Utf8FromWide(recovery.aside) +
                       " and a new one made, with what could be read of it: " + part("kept items", recovery.keepList) +
                       ", " + part("kept startup entries", recovery.startupKept) + ", " +
                       part("undo records", recovery.undo);
    if (!recovery.keepList.whole)
        line += "; as the keep list did not come back whole, nothing is deleted until \"orvane keep confirm\"";
    return line;
}

Outcome RunCommand(const Command& command) {
    switch (command.verb) {
        case Verb::List: return List();
        case Verb::Scan:
        case Verb::Clean: {
            PolicyChecked checked = CheckPolicy(command, core::ReadPolicy(junk::PolicyCategoryIds()));
            if (checked.refused) return std::move(*checked.refused);
            const Command& allowed = checked.command;
            if (allowed.allUsers) return RunForAllUsers(allowed);
            return allowed.verb == Verb::Scan ? Scan(allowed) : Clean(allowed);
        }
        case Verb::StartupList: return StartupList();
        case Verb::StartupSwitch: return StartupSwitch(command);
        case Verb::ServicesList: return ServicesList();
        case Verb::ServicesSet: return ServicesSet(command);
        case Verb::UndoList: return UndoList();
        case Verb::UndoRestore: return UndoRestore(command);
        case Verb::KeepList: return KeepList();
        case Verb::KeepAdd:
        case Verb::KeepRemove: return KeepChange(command);
        case Verb::KeepConfirm: return KeepConfirm();
        case Verb::Help:
        case Verb::Version: break;  // answered before a run
    }
    return {};
}

}  // namespace cli
