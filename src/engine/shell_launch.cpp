#include "engine/shell_launch.h"

#include "common/handles.h"
#include "engine/shell_routes.h"

namespace engine {

std::optional<DWORD> Launch(const ShellCommand& command, bool elevated, LaunchRoutes& routes) {
    using Outcome = RouteAnswer::Outcome;
    if (!elevated) {
        const RouteAnswer answer = routes.Direct(command);
        return answer.outcome == Outcome::Started ? std::optional(answer.processId) : std::nullopt;
    }
    RouteAnswer answer = routes.DesktopShell(command);
    if (answer.outcome == Outcome::Unavailable) {
        routes.AwaitShell();
        answer = routes.DesktopShell(command);
    }
    if (answer.outcome != Outcome::Started) answer = routes.ShellToken(command);
    return answer.outcome == Outcome::Started ? std::optional(answer.processId) : std::nullopt;
}

bool ProcessIsElevated() {
    common::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return true;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return !GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) ||
           elevation.TokenIsElevated != 0;
}

std::optional<DWORD> StartCommand(const ShellCommand& command) {
    SystemLaunchRoutes routes;
    return Launch(command, ProcessIsElevated(), routes);
}

}  // namespace engine
