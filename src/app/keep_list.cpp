#include "app/keep_list.h"

#include <mutex>

#include "common/listed_delete.h"

namespace app {

namespace {

std::mutex publishedLock;

std::shared_ptr<const common::KeptItems>& Published() {
    static std::shared_ptr<const common::KeptItems> items = std::make_shared<const common::KeptItems>();
    return items;
}

}  // namespace

std::shared_ptr<const common::KeptItems> KeptItemsNow() {
    const std::lock_guard guard(publishedLock);
    return Published();
}

void PublishKeptItems(common::KeptItems items) {
    auto published = std::make_shared<const common::KeptItems>(std::move(items));
    const std::lock_guard guard(publishedLock);
    Published() = std::move(published);
}

std::optional<std::vector<db::KeepItemRow>> ReadKeepList() {
    std::vector<db::KeepItemRow> rows;
    if (!db::Database().ReadKeepList(rows)) return std::nullopt;
    return rows;
}

bool RefreshKeptItems() {
    const std::optional<std::vector<db::KeepItemRow>> rows = ReadKeepList();
    if (!rows) return false;
    common::KeptItems items;
    // Texts stored by hand elsewhere are matched as the list would store them.
    for (const db::KeepItemRow& row : *rows) items.push_back(common::NormalKeepText(row.text));
    PublishKeptItems(std::move(items));
    return true;
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

}  // namespace app
