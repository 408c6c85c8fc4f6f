#pragma once
// Row kinds: which process-wide lists a result row or a selection element
// refers to. Each kind answers for its own lists (counts, totals, detail rows)
// and cleans its own categories; the row and selection machinery only looks
// kinds up in the table of result_kinds.cpp, where the registry issue lists
// take slot 0.
#include <cJSON.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "registry/registry_backup.h"

namespace junk {

inline constexpr int kRegistryRows = 0;
inline constexpr int kJunkRows = 1;
inline constexpr int kUndeletableRows = 2;
using registry::kRegistryCategoryCount;

// What one clean run has done so far.
struct CleanRun {
    // Bytes of the junk files no longer there: deleted now or gone already
    // (what no longer waits to be cleaned). Files that stay count nowhere.
    std::uint64_t cleanedBytes = 0;
    std::uint32_t repairedCount = 0;  // registry entries removed
    int health = 0;                   // the health status, from the stored score
    // For each store (db::Store's order), where the registry entries this run
    // removes from that store's hives are saved first, made by the first
    // such category the run repairs, and the change journal's row of that
    // backup, written before anything goes.
    struct RegistryRecord {
        std::unique_ptr<registry::RegistryBackup> backup;
        std::optional<std::int64_t> journal;
    };
    std::array<RegistryRecord, 2> registry;
};

// What cleaning one category did: what the page's SetCleanEnd, the
// statistics and orvane report.
struct CategoryCleaned {
    // False when the category was not cleaned at all (its registry backup
    // could not be written, the recycle bin was not emptied): no SetCleanEnd,
    // its list and count stay.
    bool reported = false;
    std::size_t cleaned = 0;       // entries gone: deleted now, or gone already
    std::size_t left = 0;          // entries still there
    std::size_t inUse = 0;         // of those left: in use by a program
    std::uint64_t inUseBytes = 0;  // their bytes
    std::uint64_t freedBytes = 0;  // bytes the clean freed now
    std::wstring registryBackup{};  // a registry category: the backup its entries went to
};

class ResultKind {
public:
    virtual ~ResultKind() = default;
    // Whether `category` names a list of this kind; a kind with a single list
    // accepts any category.
    virtual bool HasCategory(int category) const = 0;
    virtual std::size_t Count(int category) const = 0;
    virtual std::uint64_t Total(int category) const = 0;
    // Appends the detail rows at positions start .. end - 1 that exist.
    virtual void AppendDetailRows(int category, std::size_t start, std::size_t end, cJSON* rows) const = 0;
    // Cleans the category as one element of a clean's selection, reporting
    // what went with SendCleanEnd.
    virtual CategoryCleaned Clean(int category, CleanRun& run) const = 0;
    // The keep-list text of the row at `position` (its path, its registry
    // entry); nothing when there is no such row or it cannot be kept.
    virtual std::optional<std::wstring> KeepTextAt(int category, std::size_t position) const = 0;
    // Takes the row at `position` off its list, once it is kept.
    virtual void RemoveAt(int category, std::size_t position) const = 0;
};

// The kind that `kind` names; null for a kind this program does not know.
const ResultKind* FindResultKind(int kind);

// "SetCleanEnd" [count, size text, kind, category, page] once for each clean
// page bit (0x08, 0x10, 0x20, 0x80) that is set, in that order.
void SendCleanEnd(std::size_t count, const std::wstring& sizeText, int kind, int category);

}  // namespace junk
