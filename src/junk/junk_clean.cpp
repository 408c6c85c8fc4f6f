#include "junk/junk_clean.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "common/gate_point.h"
#include "common/handles.h"
#include "common/listed_delete.h"
#include "core/event_trail.h"
#include "core/keep_list.h"
#include "core/settings_store.h"
#include "core/settings_store_values.h"
#include "core/worker_tasks.h"
#include "engine/wire_format.h"
#include "junk/app_caches.h"
#include "junk/browser_hold.h"
#include "junk/category_policy.h"
#include "junk/folder_walk.h"
#include "junk/junk_categories.h"
#include "junk/recycle_bin.h"

namespace junk {

namespace {

constexpr std::uint32_t kCleanBits = 0xB8;

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (path.size() > 1 && path.back() == L'\\') path.pop_back();
    return path;
}

// Removes the file-free sub-trees of `folder` and the folder itself when
// nothing is left. Every removal goes through the deletion owner, so a
// folder reached through a link is never removed.
bool RemoveTree(const std::wstring& folder) {
    // Most folders are empty by then: one attempt settles them.
    if (common::DeleteListedFolder(folder) == common::DeleteResult::Deleted) return true;
    WIN32_FIND_DATAW data;
    const common::UniqueFind find(FindFirstFileW((folder + L"\\*.*").c_str(), &data));
    bool empty = true;
    if (find) {
        do {
            const std::wstring_view name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const bool folderEntry =
                (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(data.dwFileAttributes);
            if (!folderEntry || !RemoveTree(folder + L"\\" + std::wstring(name))) empty = false;
        } while (FindNextFileW(find.get(), &data));
    }
    return empty && common::DeleteListedFolder(folder) == common::DeleteResult::Deleted;
}

// After a category's files: each folder in which files went is removed if
// nothing is left in it, deepest first, and so is each folder above it that
// this leaves empty; a walk's own folder stays. (The category's folders that
// were empty already went before its files.) Deepest first, each folder is
// tried once, after everything below it.
void RemoveLeftFolders(const std::vector<const WalkedFolder*>& touched) {
    struct Left {
        std::wstring path;        // without its trailing backslash
        std::size_t rootLength;   // the walk's own folder, its backslash included
        std::ptrdiff_t depth;
    };
    std::vector<Left> folders;
    std::unordered_set<std::wstring> listed;
    for (const WalkedFolder* folder : touched) {
        std::wstring path = WithoutTrailingBackslash(folder->path);
        if (!listed.insert(path).second) continue;
        const std::ptrdiff_t depth = std::count(path.begin(), path.end(), L'\\');
        folders.push_back({std::move(path), folder->rootLength, depth});
    }
    std::ranges::stable_sort(folders, std::greater{}, &Left::depth);
    for (Left& folder : folders) {
        while (folder.path.size() >= folder.rootLength &&
               common::DeleteListedFolder(folder.path) == common::DeleteResult::Deleted) {
            folder.path.resize(folder.path.rfind(L'\\'));
            // A folder above that is listed itself has its own turn, later.
            if (listed.contains(folder.path)) break;
        }
    }
}

// The file-free folders that the scan of `category` listed, each with the
// empty folders below it; the list is emptied. A folder kept since the scan,
// or holding what was kept since (here or by another program), stays; a keep
// list that cannot be read stops the removal.
void RemoveEmptyFolders(JunkFileList& folders) {
    for (const JunkFileEntry& entry : folders) {
        const std::wstring folder = folders.FolderOf(entry).path + entry.name;
        const std::shared_ptr<const common::KeptItems> kept = core::KeptItemsForDeletion();
        if (!kept) break;
        if (!common::HoldsKept(*kept, folder)) RemoveEmptyFolderTree(folder);
    }
    folders.Clear();
}

// What deleting a stretch of a list did.
struct Deletions {
    common::DeleteTally tally;
    std::vector<const JunkFileEntry*> left;     // not deleted
    std::vector<const WalkedFolder*> touched;  // folders in which files went
};

// What was kept since the scan listed it (here or by another program, up to
// the file before) stays, and is neither counted nor reported as left. A
// keep list that cannot be read stops the deletions.
void DeleteEntries(const JunkFileList& list, std::size_t first, std::size_t last, Deletions& done) {
    std::wstring path;
    for (std::size_t position = first; position < last; ++position) {
        const JunkFileEntry& entry = list[position];
        const WalkedFolder& folder = list.FolderOf(entry);
        path.assign(folder.path).append(entry.name);
        const std::shared_ptr<const common::KeptItems> kept = core::KeptItemsForDeletion();
        if (!kept) break;
        if (common::IsKept(*kept, path)) continue;
        const common::DeleteResult result = common::DeleteListedFile(path);
        done.tally.Add(result, entry.size);
        if (common::IsCleaned(result)) {
            if (done.touched.empty() || done.touched.back() != &folder) done.touched.push_back(&folder);
        } else {
            done.left.push_back(&entry);
        }
        if (core::StopRequested()) break;
    }
}

// Checking each opened file (its final path) costs about as much again as
// the deletion's own calls, mostly waiting on the file system: a long list
// is shared by two threads, each deleting one half, so that the clean stays
// about as fast as deleting without any check.
constexpr std::size_t kSharedFrom = 256;

common::DeleteTally CleanFiles(const JunkFileList& list) {
    const std::size_t count = list.Count();
    std::size_t half = count >= kSharedFrom ? count / 2 : count;
    Deletions first, second;
    std::exception_ptr helperFailure;
    std::thread helper;
    if (half < count) {
        try {
            helper = std::thread([&, stops = core::TaskStopsAtStart()] {
                std::optional<core::TaskScope> task;
                if (stops) task.emplace(*stops);
                try {
                    DeleteEntries(list, half, count, second);
                } catch (...) {
                    helperFailure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            half = count;  // no second thread: this one deletes everything
        }
    }
    try {
        DeleteEntries(list, 0, half, first);
    } catch (...) {
        if (helper.joinable()) helper.join();
        throw;
    }
    if (helper.joinable()) helper.join();
    if (helperFailure) std::rethrow_exception(helperFailure);
    // The lists are this thread's alone again.
    for (const Deletions* done : {&first, &second})
        for (const JunkFileEntry* entry : done->left) Undeletables().Add(entry->name, list.FolderOf(*entry), entry->size);
    first.touched.insert(first.touched.end(), second.touched.begin(), second.touched.end());
    RemoveLeftFolders(first.touched);
    return first.tally += second.tally;
}

bool RecycleBinHoldsKept(const common::KeptItems& kept) {
    if (kept.empty()) return false;
    JunkFileList bin;
    ScanRecycleBin(bin);
    return std::ranges::any_of(bin, [&](const JunkFileEntry& entry) { return common::HoldsKept(kept, bin.PathOf(entry)); });
}

// Whether the browser of `category` holds the cache its scan listed; the
// category's state tells the page.
bool HeldByBrowser(int category, const JunkFileList& list) {
    const Browser* browser = BrowserOf(category);
    if (!browser || list.Empty()) return false;
    const bool held = BrowserHoldsCache(*browser, list);
    StateOf(category) = held ? CategoryState::Held : CategoryState::Ready;
    return held;
}

void FinishClean(const CleanRun& run) {
    const int health = std::clamp(run.health, 0, 100);
    if (const auto left = core::LoweredWaitCleanSize(core::ReadWaitCleanSize(), run.cleanedBytes))
        core::WriteWaitCleanSize(*left);
    if (const auto left = core::LoweredIssueCount(core::ReadRegistryIssueCount(), run.repairedCount))
        core::WriteRegistryIssueCount(*left);
    core::WriteHealthScore(static_cast<DWORD>(health));
    core::BroadcastProgress(100);
    core::ClearZoneBits(kCleanBits);
    core::CallScriptFunction("GetAllItemInfo", {AllItemInfoText()});
}

}  // namespace

int CleanJunkFile(std::wstring_view name, std::wstring_view folder) {
    const std::wstring path = std::wstring(folder) + std::wstring(name);
    const std::shared_ptr<const common::KeptItems> kept = core::KeptItemsForDeletion();
    if (!kept || common::IsKept(*kept, path)) return 0;
    return common::IsCleaned(common::DeleteListedFile(path)) ? 1 : 0;
}

common::DeleteTally CleanListedFiles(const JunkFileList& list, JunkFileList& emptyFolders) {
    RemoveEmptyFolders(emptyFolders);
    return CleanFiles(list);
}

int RemoveEmptyFolderTree(const std::wstring& folder) { return RemoveTree(WithoutTrailingBackslash(folder)); }

common::DeleteTally CleanCategoryFiles(int category, const JunkFileList& list, JunkFileList& emptyFolders) {
    if (!HeldByBrowser(category, list)) return CleanListedFiles(list, emptyFolders);
    common::DeleteTally held;
    for (const JunkFileEntry& entry : list) held.Add(common::DeleteResult::InUse, entry.size);
    return held;
}

CategoryCleaned CleanJunkCategory(int category, CleanRun& run) {
    JunkFileList& list = JunkList(category);
    CategoryCleaned done{.reported = true};
    if (category == kRecycleBinCategory) {
        // The bin is emptied whole, so not while it holds a kept item. A bin
        // that was not emptied is not reported as cleaned: its tile keeps its
        // count and list, and the score does not rise.
        const std::shared_ptr<const common::KeptItems> kept = core::KeptItemsForDeletion();
        if (!list.Empty() && (!kept || RecycleBinHoldsKept(*kept) || !EmptyRecycleBin()))
            return {.left = list.Count()};
        done.cleaned = list.Count();
        done.freedBytes = list.Total();
        run.cleanedBytes += list.Total();
    } else if (HeldByBrowser(category, list)) {
        // Left whole, with its list, for the page to say why.
        return {.left = list.Count(), .inUse = list.Count(), .inUseBytes = list.Total()};
    } else {
        const common::DeleteTally tally = CleanListedFiles(list, EmptyFolderList(category));
        done.cleaned = tally.Cleaned();
        done.left = tally.failed;
        done.inUse = tally.inUse;
        done.inUseBytes = tally.inUseBytes;
        done.freedBytes = tally.freedBytes;
        run.cleanedBytes += tally.CleanedBytes();
    }
    // Stopped for the keep list: not reported as cleaned, its list stays.
    if (core::KeepRefusalNow() != core::KeepRefusal::None) {
        done.reported = false;
        return done;
    }
    // Only a category that left nothing behind earns its health points.
    if (!list.Empty() && done.left == 0) run.health += CategoryWeight(category);
    SendCleanEnd(done.cleaned, core::DecimalText(static_cast<std::int64_t>(done.freedBytes)), kJunkRows, category);
    list.Clear();
    return done;
}

std::wstring CleanTrailText(const std::vector<SelectionElement>& selection) {
    std::wstring text = L"window, clean";
    for (const SelectionElement& element : selection) {
        if (const CategoryId* category = CategoryOf(element))
            text += L" " + engine::WideFromUtf8(category->id);
        else if (element.kind == kUndeletableRows)
            text += L" undeletable";
    }
    return text;
}

void RunClean(const std::vector<SelectionElement>& selection) {
    core::EnableCleanPrivileges();
    CleanRun run;
    run.health = static_cast<int>(core::ReadHealthScore());
    CategoryCleaned total;
    bool stopped = false;
    const std::size_t count = selection.size();
    for (std::size_t i = 0; i < count; ++i) {
        common::GatePoint("clean-category");
        if ((stopped = core::StopRequested())) break;
        // The keep list became unreadable: the clean ends here, as if done.
        if (core::KeepRefusalNow() != core::KeepRefusal::None) break;
        const SelectionElement& element = selection[i];
        const ResultKind* kind = FindResultKind(element.kind);
        if (kind && kind->HasCategory(element.category)) {
            const CategoryCleaned cleaned = kind->Clean(element.category, run);
            total.cleaned += cleaned.cleaned;
            total.left += cleaned.left;
            total.freedBytes += cleaned.freedBytes;
        }
        core::BroadcastProgress(static_cast<int>((i + 1) * 100 / count));
    }
    const bool refused = core::KeepRefusalNow() != core::KeepRefusal::None;
    if (stopped) {
        core::ClearZoneBits(kCleanBits);
    } else {
        FinishClean(run);
        core::TellKeepListStop();
    }
    core::WriteTrail(core::TrailKind::Clean, CleanTrailText(selection), total.cleaned, total.freedBytes,
                     refused ? core::kTrailRefused : stopped || total.left ? core::kTrailSomeLeft : core::kTrailDone);
}

engine::Value RepairChoose(core::BridgeArgs args) {
    if (const std::uint32_t refusal = core::TaskRefusal(core::Task::Clean)) return static_cast<int>(refusal);
    const int page = args[1].AsInt().value_or(0);
    if (page != 0x08 && page != 0x10 && page != 0x20 && page != 0x80) return -3;
    const std::optional<std::wstring> text = SelectionArgument(args[0]);
    if (!text) return -3;
    const StartPolicy start = PolicyForStart();
    if (start.refusal) return start.refusal;
    std::vector<SelectionElement> selection = ParseSelection(*text);
    if (SelectsTurnedOff(selection, start.policy)) return core::kPolicyTurnsOff;
    return core::StartTask(
        core::Task::Clean, {}, [selection = std::move(selection)] { RunClean(selection); },
        static_cast<std::uint32_t>(page));
}

void CheckJunkRegistryKey(const wchar_t* keyPath, const wchar_t* valueName, int mode) {
    constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
    const auto writeEmpty = [valueName](HKEY key) {
        const wchar_t empty = 0;
        RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(&empty), sizeof(empty));
    };
    common::UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, kAccess, key.put()) != ERROR_SUCCESS) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr,
                            key.put(), nullptr) != ERROR_SUCCESS)
            return;
        if (mode == 1) writeEmpty(key.get());
        return;
    }
    if (mode != 1) return;
    // Read whatever length the value has: a long proper string is kept.
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        writeEmpty(key.get());
        return;
    }
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(key.get(), valueName, nullptr, &type, data.data(), &size) != ERROR_SUCCESS ||
        !core::TerminatedRegistryText(type, {data.data(), size}))
        writeEmpty(key.get());
}

}  // namespace junk
