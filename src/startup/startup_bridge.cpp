#include "startup/startup_bridge.h"

#include <cJSON.h>

#include <memory>
#include <optional>
#include <string>

#include "common/ansi_text.h"
#include "common/windows_version.h"
#include "core/event_trail.h"
#include "core/operation_lock.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_icon.h"
#include "startup/startup_journal.h"

namespace startup {

namespace {

// A state is an integer, non-zero meaning disabled, or a boolean; a value
// of any other kind asks for nothing.
std::optional<bool> StateOf(const engine::Value& value) {
    if (const std::optional<bool> flag = value.AsBool()) return *flag;
    if (const std::optional<int> number = value.AsInt()) return *number != 0;
    return std::nullopt;
}

std::optional<bool> StateOf(const cJSON* value) {
    if (cJSON_IsBool(value)) return cJSON_IsTrue(value) != 0;
    if (cJSON_IsNumber(value)) return value->valueint != 0;
    return std::nullopt;
}

}  // namespace

engine::Value StartupListValue(const std::vector<StartupItem>& items) {
    if (items.empty()) return {};
    engine::Value list = engine::Value::Array();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const StartupItem& item = items[i];
        list.Append(engine::Value::Array({item.fileDescription, item.companyName, item.iconPath,
                                          static_cast<int>(item.bStatus), static_cast<int>(i)}));
    }
    return list;
}

bool SetStartupItemState(int index, bool disabled, int windowsGeneration) {
    std::vector<StartupItem>& items = StartupItemList();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return false;
    StartupItem& item = items[static_cast<std::size_t>(index)];
    if ((item.bStatus != 0) == disabled) return true;
    return SwitchRecorded(item, disabled, windowsGeneration);
}

void SetStartupItemStates(std::string_view json, int windowsGeneration) {
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> document(
        cJSON_ParseWithLength(json.data(), json.size()), cJSON_Delete);
    if (!cJSON_IsArray(document.get())) return;
    std::vector<StartupItem>& items = StartupItemList();
    const int count = cJSON_GetArraySize(document.get());
    for (int j = 0; j < count && static_cast<std::size_t>(j) < items.size(); ++j) {
        const std::optional<bool> disabled =
            StateOf(cJSON_GetObjectItem(cJSON_GetArrayItem(document.get(), j), "four"));
        if (disabled) SetStartupItemState(j, *disabled, windowsGeneration);
    }
}

engine::Value GetStartupInfo(core::BridgeArgs) {
    EnumerateStartupItems(common::GetWindowsGeneration());
    PublishListedIcons(StartupItemList());
    return StartupListValue(StartupItemList());
}

namespace {

// The trail of one switch from the page: the entry by its name and place.
void WriteSwitchTrail(int index, bool disabled, bool switched) {
    const std::vector<StartupItem>& items = StartupItemList();
    const std::wstring entry = index >= 0 && static_cast<std::size_t>(index) < items.size()
                                   ? items[static_cast<std::size_t>(index)].strName + L" (" +
                                         items[static_cast<std::size_t>(index)].iconPath + L")"
                                   : L"#" + std::to_wstring(index);
    core::WriteTrail(core::TrailKind::StartupSwitch, std::wstring(L"window, ") + (disabled ? L"disable " : L"enable ") + entry,
                     switched ? 1 : 0, 0, switched ? core::kTrailDone : core::kTrailSomeLeft);
}

}  // namespace

// A switch from the page holds the window's share of the operation lock, as
// the command line's does the lock: never two switchers at once.
engine::Value SetSingleStartupInfo(core::BridgeArgs args) {
    const std::optional<int> index = args[0].AsInt();
    const std::optional<bool> disabled = StateOf(args[1]);
    const core::WindowShare share;
    if (!share.Held() || !index || !disabled) return false;
    const bool switched = SetStartupItemState(*index, *disabled, common::GetWindowsGeneration());
    WriteSwitchTrail(*index, *disabled, switched);
    return switched;
}

engine::Value SetStartupInfo(core::BridgeArgs args) {
    const core::WindowShare share;
    if (share.Held()) SetStartupItemStates(common::ToAnsi(args[0].ToText()), common::GetWindowsGeneration());
    return 0;
}

}  // namespace startup
