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
//
// The browser that shows the program's page holds the page's session, so it
// must run as the program's own account. Where the desktop shell belongs to
// another account (over-the-shoulder elevation: an administrator typed a
// password for a standard user's session), neither shell route may start it:
// it is started with the program's own linked (unelevated) token, and where
// there is none that can start a program, it is not started at all.
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

// Whose the desktop shell is; Unknown when there is no shell or its token
// cannot be read.
enum class ShellAccount { Own, Other, Unknown };

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
    // With the program's own linked token (its unelevated half) at medium
    // integrity; Unavailable when there is no such token that can start a
    // program.
    virtual RouteAnswer LinkedToken(const ShellCommand& command) = 0;
    virtual ShellAccount DesktopShellAccount() = 0;
    // A moment for a shell that is not up yet.
    virtual void AwaitShell() = 0;
};

// Starts `command` by the routes its elevation allows: the process id when it
// started (0 when not known), else nothing.
std::optional<DWORD> Launch(const ShellCommand& command, bool elevated, LaunchRoutes& routes);

struct OwnAccountStart {
    enum class Outcome {
        Started,
        Failed,
        // The desktop belongs to another account (or cannot be told) and the
        // program has no token of its own to start it with.
        NoOwnAccountRoute,
    } outcome;
    DWORD processId = 0;  // 0 when not known
    bool operator==(const OwnAccountStart&) const = default;
};

// Starts `command` as the program's own account: as Launch where the desktop
// shell is the program's account (asked again after a moment when it cannot
// be told); where it is another account's, or still cannot be told, with the
// linked token only.
OwnAccountStart LaunchAsOwnAccount(const ShellCommand& command, bool elevated, LaunchRoutes& routes);

// Whether this process's token is elevated; true when that cannot be told,
// so that an unknown token is never passed on.
bool ProcessIsElevated();

// A test's seam: ProcessIsElevated answers `elevated` from now on (every Wine
// process is elevated, so a process without elevation is shown this way);
// nothing gives the token's answer back.
void SetProcessElevationForTest(std::optional<bool> elevated);

// Launch and LaunchAsOwnAccount with the system's routes and this process's
// elevation.
std::optional<DWORD> StartCommand(const ShellCommand& command);
OwnAccountStart StartAsOwnAccount(const ShellCommand& command);

}  // namespace engine
