#include "engine/shell_launch.h"

#include <atomic>

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

OwnAccountStart LaunchAsOwnAccount(const ShellCommand& command, bool elevated, LaunchRoutes& routes) {
    using Outcome = OwnAccountStart::Outcome;
    const auto started = [](std::optional<DWORD> process) {
        return process ? OwnAccountStart{Outcome::Started, *process} : OwnAccountStart{Outcome::Failed};
    };
    if (!elevated) return started(Launch(command, false, routes));
    ShellAccount account = routes.DesktopShellAccount();
    if (account == ShellAccount::Unknown) {
        routes.AwaitShell();
        account = routes.DesktopShellAccount();
    }
    if (account == ShellAccount::Own) return started(Launch(command, true, routes));
    const RouteAnswer answer = routes.LinkedToken(command);
    if (answer.outcome == RouteAnswer::Outcome::Started) return {Outcome::Started, answer.processId};
    return {Outcome::NoOwnAccountRoute};
}

namespace {

// The seam's answer: -1 for none, else 0 or 1; workers read it.
std::atomic<int> g_testElevation{-1};

}  // namespace

void SetProcessElevationForTest(std::optional<bool> elevated) { g_testElevation = elevated ? *elevated : -1; }

bool ProcessIsElevated() {
    if (const int elevated = g_testElevation; elevated >= 0) return elevated == 1;
    common::UniqueKernelHandle token;
    return !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) || TokenIsElevated(token.get());
}

std::optional<DWORD> StartCommand(const ShellCommand& command) {
    SystemLaunchRoutes routes;
    return Launch(command, ProcessIsElevated(), routes);
}

OwnAccountStart StartAsOwnAccount(const ShellCommand& command) {
    SystemLaunchRoutes routes;
    return LaunchAsOwnAccount(command, ProcessIsElevated(), routes);
}

}  // namespace engine
