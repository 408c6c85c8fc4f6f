#include "junk/junk_lists.h"

#include <array>

namespace junk {

std::uint32_t JunkFileList::AddFolder(std::wstring path, std::size_t rootLength) {
    folders_.push_back({std::move(path), static_cast<std::uint32_t>(rootLength)});
    return static_cast<std::uint32_t>(folders_.size() - 1);
}

void JunkFileList::Add(std::wstring name, std::uint32_t folder, std::uint64_t size) {
    entries_.push_back({std::move(name), folder, size});
    total_ += size;
}

void JunkFileList::Clear() {
    // Swapping with empty containers gives the memory back.
    std::deque<JunkFileEntry>().swap(entries_);
    std::deque<WalkedFolder>().swap(folders_);
    total_ = 0;
}

bool UndeletableList::Add(std::wstring_view name, const WalkedFolder& folder, std::uint64_t size) {
    const std::lock_guard guard(lock_);
    if (!paths_.insert(folder.path + std::wstring(name)).second) return false;
    auto [known, added] = folders_.try_emplace(folder.path, 0);
    if (added) known->second = entries_.AddFolder(folder.path, folder.rootLength);
    entries_.Add(std::wstring(name), known->second, size);
    return true;
}

void UndeletableList::RemoveListed(JunkFileList& list) const {
    const std::lock_guard guard(lock_);
    if (paths_.empty()) return;
    std::wstring path;
    list.RemoveIf([&](const JunkFileEntry& entry) {
        path.assign(list.FolderOf(entry).path).append(entry.name);
        return paths_.contains(path);
    });
}

std::size_t UndeletableList::Count() const {
    const std::lock_guard guard(lock_);
    return entries_.Count();
}

std::uint64_t UndeletableList::Total() const {
    const std::lock_guard guard(lock_);
    return entries_.Total();
}

void UndeletableList::Clear() {
    const std::lock_guard guard(lock_);
    entries_.Clear();
    paths_.clear();
    folders_.clear();
}

JunkFileList& JunkList(int category) {
    static std::array<JunkFileList, kJunkCategoryCount> lists;
    return lists.at(static_cast<std::size_t>(category));
}

JunkFileList& EmptyFolderList(int category) {
    static std::array<JunkFileList, kJunkCategoryCount> lists;
    return lists.at(static_cast<std::size_t>(category));
}

std::atomic<CategoryState>& StateOf(int category) {
    static std::array<std::atomic<CategoryState>, kJunkCategoryCount> states{};
    return states.at(static_cast<std::size_t>(category));
}

UndeletableList& Undeletables() {
    static UndeletableList list;
    return list;
}

void RemoveKept(JunkFileList& list, const common::KeptItems& kept) {
    if (kept.empty()) return;
    list.RemoveIf([&](const JunkFileEntry& entry) { return common::HoldsKept(kept, list.PathOf(entry)); });
}

}  // namespace junk
