#pragma once
// How the program starts other programs (the browser that shows its page,
// the default browser for an address, the file explorer for a folder)
// without passing its rights on. The program runs elevated (its manifest
// asks for administrator rights), and whatever it starts with its own token
// runs elevated too, a browser above all. So, when elevated, it asks the
// desktop shell to start it (the documented shell-dispatch route: the shell
// windows' desktop view, whose IShellDispatch2::ShellExecute starts it as the
// user's shell would); where that route is not available, it starts it with
// the shell's own token lowered to medium integrity; never with its own
// token. A shell that is not up yet (under Wine it starts with the first
// window) is given a moment and asked once more. Unelevated, the program
// starts it itself.
#include <windows.h>

#include <optional>
#include <string>

namespace engine {

struct ShellCommand {
    enum class Kind { Program, Document } kind;
    std::wstring file;       // Program: the executable's full path; Document: an address
    std::wstring arguments;  // Program only
    bool operator==(const ShellCommand&) const = default;
};

struct RouteAnswer {
    enum class Outcome { Started, Unavailable, Failed } outcome;
    DWORD processId = 0;  // 0 when not known
    bool operator==(const RouteAnswer&) const = default;
};

// The ways to start something; tests bring their own.
class LaunchRoutes {
public:
    virtual ~LaunchRoutes() = default;
    // With the program's own token.
    virtual RouteAnswer Direct(const ShellCommand& command) = 0;
    // Through the desktop shell's dispatch object; Unavailable when the
    // shell cannot be reached.
    virtual RouteAnswer DesktopShell(const ShellCommand& command) = 0;
    // With the shell process's token at medium integrity; Unavailable when
    // there is no shell process or its token cannot be had.
    virtual RouteAnswer ShellToken(const ShellCommand& command) = 0;
    // A moment for a shell that is not up yet.
    virtual void AwaitShell() = 0;
};

// Starts `command` by the routes its elevation allows: the process id when it
// started (0 when not known), else nothing.
std::optional<DWORD> Launch(const ShellCommand& command, bool elevated, LaunchRoutes& routes);

// Whether this process's token is elevated; true when that cannot be told,
// so that an unknown token is never passed on.
bool ProcessIsElevated();
// Launch with the system's routes and this process's elevation.
std::optional<DWORD> StartCommand(const ShellCommand& command);

}  // namespace engine
