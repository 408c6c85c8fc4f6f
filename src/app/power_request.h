#pragma once
// FinishOtherOperate: shuts down, restarts, hibernates or suspends the
// computer (the system disk page asks for a restart after moving the
// download folder).
#include "core/script_bridge.h"

namespace app {

// The calls that end or suspend the session; tests put their own in place.
class PowerControl {
public:
    virtual ~PowerControl() = default;
    virtual void Shutdown(bool restart) = 0;
    virtual void SetPowerState(bool suspend) = 0;
};
// `control` answers from now on; nullptr restores the system's.
void UsePowerControl(PowerControl* control);

// Modes 1 shut down, 2 restart, 3 hibernate, 4 sleep. Answers 4 for anything
// but an integer 1 to 4; 1, 2 or -3 when the shutdown privilege cannot be
// had; else 0.
engine::Value FinishOtherOperate(core::BridgeArgs args);

}  // namespace app
