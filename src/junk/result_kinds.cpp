#include "junk/result_kinds.h"

#include "core/worker_tasks.h"
#include "junk/junk_clean.h"
#include "junk/junk_lists.h"
#include "junk/result_rows.h"
#include "registry/registry_rows.h"

namespace junk {

namespace {

class JunkRows final : public ResultKind {
public:
    bool HasCategory(int category) const override { return category >= 0 && category < kJunkCategoryCount; }
    std::size_t Count(int category) const override { return JunkList(category).Count(); }
    std::uint64_t Total(int category) const override { return JunkList(category).Total(); }
    void AppendDetailRows(int category, std::size_t start, std::size_t end, cJSON* rows) const override {
        const JunkFileList& list = JunkList(category);
        for (std::size_t p = start; p < end && p < list.Count(); ++p)
            AppendFileRow(rows, list[p].name, list.FolderOf(list[p]).path, list[p].size);
    }
    CategoryCleaned Clean(int category, CleanRun& run) const override { return CleanJunkCategory(category, run); }
    std::optional<std::wstring> KeepTextAt(int category, std::size_t position) const override {
        const JunkFileList& list = JunkList(category);
        if (position >= list.Count()) return std::nullopt;
        return list.PathOf(list[position]);
    }
    void RemoveAt(int category, std::size_t position) const override {
        std::size_t at = 0;
        JunkList(category).RemoveIf([&at, position](const JunkFileEntry&) { return at++ == position; });
    }
};

class UndeletableRows final : public ResultKind {
public:
    bool HasCategory(int) const override { return true; }
    std::size_t Count(int) const override { return Undeletables().Count(); }
    std::uint64_t Total(int) const override { return Undeletables().Total(); }
    void AppendDetailRows(int, std::size_t start, std::size_t end, cJSON* rows) const override {
        Undeletables().Visit(start, end, [rows](const JunkFileEntry& entry, const WalkedFolder& folder) {
            AppendFileRow(rows, entry.name, folder.path, entry.size);
        });
    }
    // Selecting the list of undeletable files cleans nothing.
    CategoryCleaned Clean(int, CleanRun&) const override { return {}; }
    // A file that could not be deleted is shown, not kept from here.
    std::optional<std::wstring> KeepTextAt(int, std::size_t) const override { return std::nullopt; }
    void RemoveAt(int, std::size_t) const override {}
};

const JunkRows junkRows;
const UndeletableRows undeletableRows;

// Indexed by kind.
const ResultKind* const kKinds[] = {&registry::RegistryRows(), &junkRows, &undeletableRows};

}  // namespace

const ResultKind* FindResultKind(int kind) {
    if (kind < 0 || kind >= static_cast<int>(std::size(kKinds))) return nullptr;
    return kKinds[kind];
}

void SendCleanEnd(std::size_t count, const std::wstring& sizeText, int kind, int category) {
    static constexpr std::uint32_t kCleanPages[] = {core::HOME_CLEAN_WORKING, core::REG_CLEAN_WORKING,
                                                    core::JUNKFILE_CLEAN_WORKING, core::POPUP_WINDOWS_CLEAN_WORKING};
    for (const std::uint32_t page : kCleanPages) {
        if (!(core::ZoneBits().load() & page)) continue;
        core::CallScriptFunction("SetCleanEnd", {engine::Value::Array({static_cast<int>(count), sizeText, kind,
                                                                      category, static_cast<int>(page)})});
    }
}

}  // namespace junk
