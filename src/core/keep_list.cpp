#include "core/keep_list.h"

#include <atomic>
#include <mutex>

#include "common/listed_delete.h"
#include "core/keep_text.h"

namespace core {

namespace {

enum class State { Unread, Known, Lost, Unreadable };

// One reading of the list, published whole.
struct Snapshot {
    State state = State::Unread;
    common::KeptItems items;
    // The database's data version and change counter at the read; no data
    // version for a list published by hand, which no database backs.
    std::optional<std::int64_t> dataVersion;
    std::optional<std::uint32_t> changeCounter;
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
    if (!db::Database().ReadKeepList(rows)) return std::nullopt;
    return rows;
}

bool RefreshKeptItems() {
    db::KeepListRead read;
    if (!db::Database().ReadKeepListState(read)) return false;
    Snapshot snapshot;
    snapshot.state = read.loss ? State::Lost : State::Known;
    snapshot.dataVersion = read.dataVersion;
    snapshot.changeCounter = read.changeCounter;
    snapshot.loss = std::move(read.loss);
    // Each text as the list would store it now, and where it leads now.
    for (const db::KeepItemRow& row : read.rows)
        for (std::wstring& text : KeptTextsOf(row.text)) snapshot.items.push_back(std::move(text));
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
    if (!snapshot->dataVersion) return ItemsOf(snapshot);
    // Nothing committed since the read: one read of the file's header, where
    // the counter is kept; else the data version, which another program's
    // commit changes.
    if (const std::optional<std::uint32_t> counter = db::Database().ChangeCounter()) {
        if (counter == snapshot->changeCounter) return ItemsOf(snapshot);
    } else if (const std::optional<std::int64_t> version = db::Database().DataVersion()) {
        if (*version == *snapshot->dataVersion) return ItemsOf(snapshot);
    } else {
        MarkUnreadable();
        return nullptr;
    }
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
    const std::optional<std::int64_t> confirmed = db::Database().ConfirmKeepListLoss();
    RefreshKeptItems();
    return confirmed;
}

KeepResult KeepItem(std::wstring_view text) {
    const std::wstring normal = common::NormalKeepText(text);
    const std::optional<std::vector<db::KeepItemRow>> rows = ReadKeepList();
    if (normal.empty() || !rows) return KeepResult::Failed;
    for (const db::KeepItemRow& row : *rows)
        if (common::SamePathText(common::NormalKeepText(row.text), normal)) return KeepResult::Unchanged;
    const bool stored = db::Database().AddKeepItem(normal).has_value();
    RefreshKeptItems();
    return stored ? KeepResult::Done : KeepResult::Failed;
}

KeepResult UnkeepItem(std::wstring_view text) {
    const std::wstring normal = common::NormalKeepText(text);
    const std::optional<std::vector<db::KeepItemRow>> rows = ReadKeepList();
    if (!rows) return KeepResult::Failed;
    KeepResult result = KeepResult::Unchanged;
    for (const db::KeepItemRow& row : *rows) {
        if (!common::SamePathText(common::NormalKeepText(row.text), normal)) continue;
        if (!db::Database().RemoveKeepItem(row.id)) result = KeepResult::Failed;
        else if (result == KeepResult::Unchanged) result = KeepResult::Done;
    }
    RefreshKeptItems();
    return result;
}

}  // namespace core
