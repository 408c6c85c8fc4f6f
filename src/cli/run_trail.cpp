#include "cli/run_trail.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace cli {

namespace {

struct ChangingVerb {
    Verb verb;
    const char* words;
    core::TrailKind kind;
};

constexpr ChangingVerb kChangingVerbs[] = {
    {Verb::Clean, "clean", core::TrailKind::Clean},
    {Verb::StartupSwitch, "startup", core::TrailKind::StartupSwitch},
    {Verb::ServicesSet, "services set", core::TrailKind::ServiceStartType},
    {Verb::UndoRestore, "undo restore", core::TrailKind::UndoRestore},
    {Verb::KeepAdd, "keep add", core::TrailKind::KeepList},
    {Verb::KeepRemove, "keep remove", core::TrailKind::KeepList},
};

std::uint64_t Count(const cJSON* document, const char* name) {
    const cJSON* item = cJSON_GetObjectItem(document, name);
    return cJSON_IsNumber(item) && item->valuedouble > 0 ? static_cast<std::uint64_t>(item->valuedouble) : 0;
}

bool Is(const cJSON* document, const char* name) { return cJSON_IsTrue(cJSON_GetObjectItem(document, name)); }

bool HasText(const cJSON* document, const char* name, const char* text) {
    const cJSON* item = cJSON_GetObjectItem(document, name);
    return cJSON_IsString(item) && std::string_view(item->valuestring) == text;
}

// Items and bytes as the command's document reports them.
void CountChanges(const Command& command, const cJSON* document, RunEvent& event) {
    switch (command.verb) {
        case Verb::Clean:
            event.items = Count(document, "removed");
            event.bytes = Count(document, "bytes");
            break;
        case Verb::StartupSwitch: {
            const cJSON* entries = cJSON_GetObjectItem(document, "entries");
            for (const cJSON* entry = entries ? entries->child : nullptr; entry; entry = entry->next)
                if (Is(entry, "switched")) ++event.items;
            break;
        }
        case Verb::ServicesSet: event.items = Is(document, "changed") ? 1 : 0; break;
        case Verb::UndoRestore: event.items = Count(document, "restored"); break;
        case Verb::KeepAdd: event.items = HasText(document, "status", "kept") ? 1 : 0; break;
        case Verb::KeepRemove: event.items = HasText(document, "status", "removed") ? 1 : 0; break;
        default: break;
    }
}

}  // namespace

std::optional<RunEvent> RunEventOf(const Command& command, const cJSON* document) {
    const auto changing = std::find_if(std::begin(kChangingVerbs), std::end(kChangingVerbs),
                                       [&](const ChangingVerb& entry) { return entry.verb == command.verb; });
    if (changing == std::end(kChangingVerbs)) return std::nullopt;
    std::string what = std::string("orvane ") + changing->words;
    if (command.verb == Verb::StartupSwitch) what += command.enable ? " enable" : " disable";
    if (command.allUsers) what += " --all-users";
    for (const std::string& word : command.words) what += " " + word;
    RunEvent event{changing->kind, engine::WideFromUtf8(what)};
    if (document) CountChanges(command, document, event);
    return event;
}

RunTrail::RunTrail(const Command& command) : command_(command), event_(RunEventOf(command, nullptr)) {}

int RunTrail::Ended(int exitCode, const cJSON* document) {
    exitCode_ = exitCode;
    event_ = RunEventOf(command_, document);
    return exitCode;
}

RunTrail::~RunTrail() {
    if (event_) core::WriteTrail(event_->kind, event_->what, event_->items, event_->bytes, exitCode_);
}

}  // namespace cli
