#include "app/keep_bridge.h"

#include "core/keep_list.h"
#include "core/worker_tasks.h"
#include "db/local_database.h"
#include "junk/result_kinds.h"

namespace app {

namespace {

engine::Value PartOf(const db::RecoveredPart& part) {
    return engine::Value::Array({static_cast<double>(part.rows), part.whole});
}

}  // namespace

engine::Value GetKeepList(core::BridgeArgs) {
    engine::Value list = engine::Value::Array();
    if (const auto rows = core::ReadKeepList())
        for (const db::KeepItemRow& row : *rows) list.Append(row.text);
    return list;
}

engine::Value KeepListedItem(core::BridgeArgs args) {
    enum { kKept, kNoSuchRow, kBusy, kNotStored };
    // The lists belong to the workers while any runs.
    if (core::ZoneBits().load() != 0 || core::LiveWorkerBits() != 0) return kBusy;
    const int category = args[1].AsInt().value_or(-1);
    const int position = args[2].AsInt().value_or(-1);
    const junk::ResultKind* kind = junk::FindResultKind(args[0].AsInt().value_or(-1));
    if (!kind || !kind->HasCategory(category) || position < 0) return kNoSuchRow;
    const std::optional<std::wstring> text = kind->KeepTextAt(category, static_cast<std::size_t>(position));
    if (!text) return kNoSuchRow;
    const core::KeepResult kept = core::KeepItem(*text);
    if (kept == core::KeepResult::Failed || kept == core::KeepResult::NotPermitted) return kNotStored;
    kind->RemoveAt(category, static_cast<std::size_t>(position));
    return kKept;
}

engine::Value RemoveKeptItem(core::BridgeArgs args) {
    switch (core::UnkeepItem(args[0].ToText())) {
        case core::KeepResult::Done: return 0;
        case core::KeepResult::Unchanged: return 1;
        case core::KeepResult::Failed:
        case core::KeepResult::NotPermitted: break;
    }
    return 2;
}

engine::Value GetKeepListNotice(core::BridgeArgs) {
    engine::Value recovery = engine::Value::Null();
    // One store's recovery at a time: the other's shows at the next call.
    std::optional<db::DatabaseRecovery> recovered = db::Database(db::Store::Machine).TakeRecovery();
    if (!recovered) recovered = db::Database(db::Store::User).TakeRecovery();
    if (recovered)
        recovery = engine::Value::Map({{L"aside", recovered->aside},
                                       {L"keepList", PartOf(recovered->keepList)},
                                       {L"startupKept", PartOf(recovered->startupKept)},
                                       {L"undo", PartOf(recovered->undo)}});
    core::RefreshKeptItems();
    const std::optional<db::KeepListLoss> loss = core::KeepListLossNow();
    return engine::Value::Map({{L"recovery", std::move(recovery)},
                               {L"lost", loss ? engine::Value(loss->aside) : engine::Value::Null()}});
}

engine::Value AcknowledgeKeepListLoss(core::BridgeArgs) {
    const std::optional<std::int64_t> confirmed = core::ConfirmKeepListLoss();
    if (!confirmed) return 2;
    return *confirmed ? 0 : 1;
}

}  // namespace app
