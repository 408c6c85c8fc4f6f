#pragma once
// The system's ways to start a program or open a document (shell_launch.h).
#include "engine/shell_launch.h"

namespace engine {

class SystemLaunchRoutes final : public LaunchRoutes {
public:
    RouteAnswer Direct(const ShellCommand& command) override;
    RouteAnswer DesktopShell(const ShellCommand& command) override;
    RouteAnswer ShellToken(const ShellCommand& command) override;
    RouteAnswer LinkedToken(const ShellCommand& command) override;
    ShellAccount DesktopShellAccount() override;
    void AwaitShell() override;
};

// Whether `token` is elevated; true when that cannot be told.
bool TokenIsElevated(HANDLE token);

// The file explorer of this Windows.
std::wstring ExplorerPath();

}  // namespace engine
