#pragma once
// The system's ways to start a program or open a document (shell_launch.h).
#include "engine/shell_launch.h"

namespace engine {

class SystemLaunchRoutes final : public LaunchRoutes {
public:
    RouteAnswer Direct(const ShellCommand& command) override;
    RouteAnswer DesktopShell(const ShellCommand& command) override;
    RouteAnswer ShellToken(const ShellCommand& command) override;
    void AwaitShell() override;
};

// The file explorer of this Windows.
std::wstring ExplorerPath();

}  // namespace engine
