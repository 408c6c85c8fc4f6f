#include "core/keep_list.h"

#include <shlobj.h>

#include <array>
#include <atomic>
#include <mutex>

#include "common/listed_delete.h"
#include "core/keep_text.h"
#include "engine/shell_launch.h"

namespace core {

namespace {

enum class State { Unread, Known, Lost, Unreadable };

// One store's database at a read: its data version and change counter.
struct StoreRead {
    std::int64_t dataVersion = 0;
    std::optional<std::uint32_t> changeCounter;
};

// One reading of the list, published whole.
struct Snapshot {
    State state = State::Unread;
    common::KeptItems items;
    // Each store's database at the read (db::Store's order); nothing for a
    // list published by hand, which no database backs.
    std::optional<std::array<StoreRead, 2>> reads;
    std::optional<db::KeepListLoss> loss;
};

std::mutex publishedLock;
std::function<void()> deletionCheckHook;
// Whether a hook is set: the deletions skip the lock when none is.
std::atomic<bool> hookSet{false};

std::shared_ptr<const Snapshot>& Published() {
    static std::shared_ptr<const Snapshot> snapshot = std::make_shared<const Snapshot>();
    return snapshot;
}

std::shared_ptr<const Snapshot> Current() {
    const std::lock_guard guard(publishedLock);
    return Published();
}

void Publish(Snapshot snapshot) {
    auto published = std::make_shared<const Snapshot>(std::move(snapshot));
    const std::lock_guard guard(publishedLock);
    Published() = std::move(published);
}

std::shared_ptr<const common::KeptItems> ItemsOf(const std::shared_ptr<const Snapshot>& snapshot) {
    return {snapshot, &snapshot->items};
}

// A deletion could not learn the list: nothing more goes until a read
// succeeds. The items stay for the scans.
void MarkUnreadable() {
    const std::shared_ptr<const Snapshot> current = Current();
    Snapshot broken = *current;
    broken.state = State::Unreadable;
    Publish(std::move(broken));
}

// The account's profile folder; empty when it cannot be read.
std::wstring ProfileFolder() {
    wchar_t* path = nullptr;
    std::wstring profile;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &path))) profile = path;
    CoTaskMemFree(path);
    return profile;
}

KeepRefusal RefusalOf(State state) {
    switch (state) {
        case State::Known: return KeepRefusal::None;
        case State::Lost: return KeepRefusal::Lost;
        case State::Unread:
        case State::Unreadable: break;
    }
    return KeepRefusal::Unreadable;
}

}  // namespace

std::shared_ptr<const common::KeptItems> KeptItemsNow() { return ItemsOf(Current()); }

void PublishKeptItems(common::KeptItems items) {
    Snapshot snapshot;
    snapshot.state = State::Known;
    snapshot.items = std::move(items);
    Publish(std::move(snapshot));
}

std::optional<std::vector<db::KeepItemRow>> ReadKeepList() {
    std::vector<db::KeepItemRow> rows;
    for (const db::Store store : db::kStores)
        if (!db::Database(store).ReadKeepList(rows)) return std::nullopt;
    return rows;
}

bool RefreshKeptItems() {
    Snapshot snapshot;
    snapshot.reads.emplace();
    // The list is the machine's and the account's together: both or none.
    for (const db::Store store : db::kStores) {
        db::KeepListRead read;
        if (!db::Database(store).ReadKeepListState(read)) return false;
        (*snapshot.reads)[static_cast<std::size_t>(store)] = {read.dataVersion, read.changeCounter};
        if (!snapshot.loss) snapshot.loss = std::move(read.loss);
        // Each text as the list would store it now, and where it leads now.
        for (const db::KeepItemRow& row : read.rows)
            for (std::wstring& text : KeptTextsOf(row.text)) snapshot.items.push_back(std::move(text));
    }
    snapshot.state = snapshot.loss ? State::Lost : State::Known;
    Publish(std::move(snapshot));
    return true;
}

KeepRefusal KeepRefusalNow() { return RefusalOf(Current()->state); }

KeepRefusal DeletionRefusal() {
    if (RefreshKeptItems()) return KeepRefusalNow();
    MarkUnreadable();
    return KeepRefusal::Unreadable;
}

std::shared_ptr<const common::KeptItems> KeptItemsForDeletion() {
    if (hookSet.load()) {
        std::function<void()> hook;
        {
            const std::lock_guard guard(publishedLock);
            hook = deletionCheckHook;
        }
        if (hook) hook();
    }
    std::shared_ptr<const Snapshot> snapshot = Current();
    if (snapshot->state != State::Known) return nullptr;
    if (!snapshot->reads) return ItemsOf(snapshot);
    bool unchanged = true;
    for (const db::Store store : db::kStores) {
        const StoreRead& read = (*snapshot->reads)[static_cast<std::size_t>(store)];
        // Nothing committed since the read: one read of the file's header,
        // where the counter is kept; else the data version, which another
        // program's commit changes.
        if (const std::optional<std::uint32_t> counter = db::Database(store).ChangeCounter()) {
            unchanged = unchanged && counter == read.changeCounter;
        } else if (const std::optional<std::int64_t> version = db::Database(store).DataVersion()) {
            unchanged = unchanged && *version == read.dataVersion;
        } else {
            MarkUnreadable();
            return nullptr;
        }
    }
    if (unchanged) return ItemsOf(snapshot);
    // Something was committed since (here too, a journal row): perhaps a keep.
    if (!RefreshKeptItems()) {
        MarkUnreadable();
        return nullptr;
    }
    snapshot = Current();
    return snapshot->state == State::Known ? ItemsOf(snapshot) : nullptr;
}

void SetDeletionCheckHook(std::function<void()> hook) {
    const std::lock_guard guard(publishedLock);
    hookSet = static_cast<bool>(hook);
    deletionCheckHook = std::move(hook);
}

std::optional<db::KeepListLoss> KeepListLossNow() {
    const std::shared_ptr<const Snapshot> snapshot = Current();
    return snapshot->state == State::Lost ? snapshot->loss : std::nullopt;
}

std::optional<std::int64_t> ConfirmKeepListLoss() {
    std::optional<std::int64_t> confirmed = 0;
    for (const db::Store store : db::kStores) {
        // A store whose list was not lost has nothing to confirm: an
        // unelevated process may not write the machine's.
        db::KeepListRead read;
        if (db::Database(store).ReadKeepListState(read) && !read.loss) continue;
        const std::optional<std::int64_t> done = db::Database(store).ConfirmKeepListLoss();
        confirmed = confirmed && done ? std::optional<std::int64_t>(*confirmed + *done) : std::nullopt;
    }
    RefreshKeptItems();
    return confirmed;
}

db::Store KeepStoreOf(std::wstring_view normal, std::wstring_view profile) {
    const auto below = [normal](std::wstring_view folder) {
        return !folder.empty() && normal.size() > folder.size() && normal[folder.size()] == L'\\' &&
               common::SamePathText(normal.substr(0, folder.size()), folder);
    };
    return below(L"HKEY_CURRENT_USER") || below(profile) ? db::Store::User : db::Store::Machine;
}

KeepResult KeepItem(std::wstring_view text) {
    const std::wstring normal = common::NormalKeepText(text);
    const std::optional<std::vector<db::KeepItemRow>> rows = ReadKeepList();
    if (normal.empty() || !rows) return KeepResult::Failed;
    for (const db::KeepItemRow& row : *rows)
        if (common::SamePathText(common::NormalKeepText(row.text), normal)) return KeepResult::Unchanged;
    const db::Store store = KeepStoreOf(normal, ProfileFolder());
    if (store == db::Store::Machine && !engine::ProcessIsElevated()) return KeepResult::NotPermitted;
    const bool stored = db::Database(store).AddKeepItem(normal).has_value();
    RefreshKeptItems();
    return stored ? KeepResult::Done : KeepResult::Failed;
}

KeepResult UnkeepItem(std::wstring_view text) {
    const std::wstring normal = common::NormalKeepText(text);
    if (!ReadKeepList()) return KeepResult::Failed;
    KeepResult result = KeepResult::Unchanged;
    for (const db::Store store : db::kStores) {
        std::vector<db::KeepItemRow> rows;
        db::Database(store).ReadKeepList(rows);
        for (const db::KeepItemRow& row : rows) {
            if (!common::SamePathText(common::NormalKeepText(row.text), normal)) continue;
            if (store == db::Store::Machine && !engine::ProcessIsElevated()) result = KeepResult::NotPermitted;
            else if (!db::Database(store).RemoveKeepItem(row.id)) result = KeepResult::Failed;
            else if (result == KeepResult::Unchanged) result = KeepResult::Done;
        }
    }
    RefreshKeptItems();
    return result;
}

}  // namespace core
