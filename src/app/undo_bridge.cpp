#include "app/undo_bridge.h"

#include "core/event_trail.h"
#include "core/operation_lock.h"
#include "engine/wire_format.h"
#include "suite/undo_changes.h"

namespace app {

engine::Value GetChangeJournal(core::BridgeArgs) {
    engine::Value list = engine::Value::Array();
    for (const suite::Change& change : suite::ListChanges()) {
        engine::Value subject = engine::Value::Array();
        for (const std::wstring& text : change.subject) subject.Append(text);
        list.Append(engine::Value::Array({engine::WideFromUtf8(change.id), engine::WideFromUtf8(change.kind),
                                          change.when, change.what, static_cast<int>(change.entries), change.restored,
                                          change.backupGone, subject}));
    }
    return list;
}

engine::Value RestoreJournalChange(core::BridgeArgs args) {
    constexpr int kBusy = 5;
    // Never while the command line changes things.
    if (!core::TakeForWindowTask()) return engine::Value::Array({kBusy, 0, 0});
    const suite::RestoreOutcome outcome = suite::RestoreChange(engine::Utf8FromWide(args[0].ToText()));
    core::ReleaseForWindowTask();
    if (outcome.status != suite::RestoreStatus::Unknown)
        core::WriteTrail(core::TrailKind::UndoRestore, L"window, " + args[0].ToText(), outcome.restored, 0,
                         outcome.status == suite::RestoreStatus::Restored && outcome.existing.empty()
                             ? core::kTrailDone
                             : core::kTrailSomeLeft);
    return engine::Value::Array({static_cast<int>(outcome.status), static_cast<int>(outcome.restored),
                                 static_cast<int>(outcome.existing.size())});
}

}  // namespace app
