#include "registry/registry_rows.h"

#include "common/ansi_text.h"
#include "core/keep_list.h"
#include "core/log_file.h"
#include "core/store_backups.h"
#include "db/local_database.h"
#include "engine/wire_format.h"
#include "registry/registry_issue.h"
#include "registry/registry_journal.h"
#include "registry/registry_repair.h"

namespace registry {

namespace {

RegistryIssueList& ListOf(int category) { return RegistryIssueLists()[static_cast<std::size_t>(category)]; }

class RegistryIssueRows final : public junk::ResultKind {
public:
    bool HasCategory(int category) const override { return category >= 0 && category < kRegistryCategoryCount; }
    std::size_t Count(int category) const override { return ListOf(category).size(); }
    std::uint64_t Total(int) const override { return 0; }

    // One row per issue, naming its key; the value name is not shown.
    void AppendDetailRows(int category, std::size_t start, std::size_t end, cJSON* rows) const override {
        const RegistryIssueList& list = ListOf(category);
        for (std::size_t p = start; p < end && p < list.size(); ++p) {
            const RegistryIssue& issue = list[p];
            cJSON* row = cJSON_CreateObject();
            cJSON_AddStringToObject(row, "first",
                                    common::ToAnsi(RootPrefix(issue.root) + issue.keyPath + issue.keyName).c_str());
            cJSON_AddItemToArray(rows, row);
        }
    }

    // A category whose backup or journal row cannot be written is not
    // cleaned: no report, so its tile keeps its count, no health points, and
    // the list stays. Otherwise the page hears how many entries went; the
    // health points come only when none was left.
    junk::CategoryCleaned Clean(int category, junk::CleanRun& run) const override {
        RegistryIssueList& list = ListOf(category);
        const junk::CategoryCleaned notCleaned{.left = list.size()};
        const db::Store store = CategoryStore(category);
        junk::CleanRun::RegistryRecord& record = run.registry[static_cast<std::size_t>(store)];
        if (!record.backup) {
            const core::StoreFolder folder = core::BackupsFolder(store);
            if (!folder) {
                core::LogFile::Instance().Write(engine::Utf8FromWide(folder.refusal));
                return notCleaned;
            }
            record.backup = std::make_unique<RegistryBackup>(RegistryBackup::InFolder(folder.path));
        }
        if (!record.journal) record.journal = RecordRegistryClean(store, record.backup->Path());
        if (!record.journal) return notCleaned;
        const std::optional<RepairCount> repaired = RepairCategory(list, *record.backup);
        if (!repaired) return notCleaned;
        db::Database(store).CountRegistryCleanEntries(*record.journal, repaired->removed);
        // Stopped for the keep list: not reported as cleaned either.
        if (core::KeepRefusalNow() != core::KeepRefusal::None)
            return {.cleaned = repaired->removed, .left = repaired->left, .registryBackup = record.backup->Path()};
        if (!list.empty() && repaired->left == 0) run.health += kRegistryCategoryWeight;
        run.repairedCount += repaired->removed;
        junk::SendCleanEnd(repaired->removed, L"", junk::kRegistryRows, category);
        list.clear();
        return {.reported = true, .cleaned = repaired->removed, .left = repaired->left,
                .registryBackup = record.backup->Path()};
    }

    std::optional<std::wstring> KeepTextAt(int category, std::size_t position) const override {
        const RegistryIssueList& list = ListOf(category);
        if (position >= list.size()) return std::nullopt;
        return KeepTextOf(list[position]);
    }
    void RemoveAt(int category, std::size_t position) const override {
        RegistryIssueList& list = ListOf(category);
        if (position < list.size()) list.erase(list.begin() + static_cast<std::ptrdiff_t>(position));
    }
};

const RegistryIssueRows rows;

}  // namespace

const junk::ResultKind& RegistryRows() { return rows; }

std::wstring RootPrefix(std::uint32_t root) {
    const std::wstring name = RootName(root);
    return name.empty() ? name : name + L"\\";
}

}  // namespace registry
