#include "app/power_request.h"

#include <windows.h>

#include "common/handles.h"

namespace app {

namespace {

constexpr DWORD kApplicationReason = 0x40000;  // SHTDN_REASON_MAJOR_APPLICATION

class SystemPowerControl final : public PowerControl {
public:
    void Shutdown(bool restart) override {
        InitiateSystemShutdownExW(nullptr, nullptr, 0, FALSE, restart, kApplicationReason);
    }
    void SetPowerState(bool suspend) override { ::SetSystemPowerState(suspend, TRUE); }
};

PowerControl* activeControl = nullptr;

PowerControl& Control() {
    static SystemPowerControl system;
    return activeControl ? *activeControl : system;
}

// 0 when the shutdown privilege is enabled, else the mode's failure answer.
int EnableShutdownPrivilege() {
    common::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return 1;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return 2;
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) return -3;
    return 0;
}

}  // namespace

void UsePowerControl(PowerControl* control) { activeControl = control; }

engine::Value FinishOtherOperate(core::BridgeArgs args) {
    const std::optional<int> mode = args[0].AsInt();
    if (!mode || *mode < 1 || *mode > 4) return 4;
    if (const int failure = EnableShutdownPrivilege()) return failure;
    switch (*mode) {
        case 1: Control().Shutdown(false); break;
        case 2: Control().Shutdown(true); break;
        case 3: Control().SetPowerState(false); break;
        case 4: Control().SetPowerState(true); break;
    }
    return 0;
}

}  // namespace app
