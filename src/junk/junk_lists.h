#pragma once
// The junk scans' findings: a JunkFileList per category, the file-free
// folders each category's walks found (its EmptyFolderList), what each
// category's last scan or clean learnt of its program (its state) and the
// UndeletableList. They live for the whole process.
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/keep_match.h"

namespace junk {

// The thirteen places where Windows leaves removable files (0 to 12), then
// the group "Browsers and applications" (13 to 20, junk/app_caches.h).
inline constexpr int kJunkCategoryCount = 21;
inline constexpr int kFirstAppCategory = 13;
// Emptied in one call to the shell, never file by file.
inline constexpr int kRecycleBinCategory = 10;

// A folder in which entries were found, stored once for all of them: its
// text ends with a backslash. The first `rootLength` characters are the
// folder the walk was given; every folder below that the walk entered itself
// and knew not to be a link.
struct WalkedFolder {
    std::wstring path;
    std::uint32_t rootLength;
};

// One file found: its name, the folder it lies in (an index into its list's
// folders) and its size. The full path is the folder's text and the name.
struct JunkFileEntry {
    std::wstring name;
    std::uint32_t folder;
    std::uint64_t size;
};

// An ordered list of entries with the running total of their sizes.
class JunkFileList {
public:
    std::uint32_t AddFolder(std::wstring path, std::size_t rootLength);
    void Add(std::wstring name, std::uint32_t folder, std::uint64_t size);

    std::size_t Count() const { return entries_.size(); }
    std::uint64_t Total() const { return total_; }
    bool Empty() const { return entries_.empty(); }
    const JunkFileEntry& operator[](std::size_t position) const { return entries_[position]; }
    const WalkedFolder& FolderOf(const JunkFileEntry& entry) const { return folders_[entry.folder]; }
    std::wstring PathOf(const JunkFileEntry& entry) const { return FolderOf(entry).path + entry.name; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    // Removes the entries for which `remove(entry)` holds, keeping the order
    // of the rest and lowering the total by their sizes.
    template <typename Predicate>
    void RemoveIf(Predicate remove) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (remove(entries_[i]))
                total_ -= entries_[i].size;
            else if (kept++ != i)
                entries_[kept - 1] = std::move(entries_[i]);
        }
        entries_.resize(kept);
    }
    void Clear();

private:
    std::deque<JunkFileEntry> entries_;
    std::deque<WalkedFolder> folders_;
    std::uint64_t total_ = 0;
};

// The files a clean failed to delete. A scan hides them; the clean and the
// system-disk clean add to the list from their own workers while the UI
// thread pages through it, so every access takes the list's lock.
class UndeletableList {
public:
    // Appends the entry unless one with the same folder and name (exact,
    // case-sensitive) is already there; true when appended.
    bool Add(std::wstring_view name, const WalkedFolder& folder, std::uint64_t size);
    // Removes from `list` every entry that is here (same folder and name).
    void RemoveListed(JunkFileList& list) const;

    std::size_t Count() const;
    std::uint64_t Total() const;
    // Calls visit(entry, folder) for positions start .. end - 1 that exist.
    template <typename Visitor>
    void Visit(std::size_t start, std::size_t end, Visitor visit) const {
        const std::lock_guard guard(lock_);
        for (std::size_t p = start; p < end && p < entries_.Count(); ++p)
            visit(entries_[p], entries_.FolderOf(entries_[p]));
    }
    void Clear();

private:
    mutable std::mutex lock_;
    JunkFileList entries_;
    // Folder text and name: the identity of an entry.
    std::unordered_set<std::wstring> paths_;
    std::unordered_map<std::wstring, std::uint32_t> folders_;
};

// Removes from `list` every entry that the keep list keeps, and every
// folder entry that holds something kept.
void RemoveKept(JunkFileList& list, const common::KeptItems& kept);

// The process-wide lists. A category's empty folders go only with a clean
// of that category.
JunkFileList& JunkList(int category);
JunkFileList& EmptyFolderList(int category);

// What the page shows of a category besides its list: Ready; Absent when its
// program is not on the machine (the tile is not shown); Held when its
// browser holds its cache (the tile says to close the browser, and nothing
// of it is deleted). The numbers travel to the page.
enum class CategoryState { Ready = 0, Absent = 1, Held = 2 };
std::atomic<CategoryState>& StateOf(int category);
UndeletableList& Undeletables();

}  // namespace junk
