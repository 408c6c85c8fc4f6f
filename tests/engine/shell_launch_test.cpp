#include "engine/shell_launch.h"

#include <gtest/gtest.h>

#include <deque>

#include "engine/browser_launch.h"
#include "engine/shell_routes.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace {

using engine::RouteAnswer;
using engine::ShellCommand;
using Outcome = RouteAnswer::Outcome;

// A stand-in for the system's routes: answers from a script, records the
// calls in order.
class ScriptedRoutes final : public engine::LaunchRoutes {
public:
    RouteAnswer Direct(const ShellCommand& command) override { return Next("direct", command); }
    RouteAnswer DesktopShell(const ShellCommand& command) override { return Next("shell", command); }
    RouteAnswer ShellToken(const ShellCommand& command) override { return Next("token", command); }
    RouteAnswer LinkedToken(const ShellCommand& command) override { return Next("linked", command); }
    engine::ShellAccount DesktopShellAccount() override {
        calls.push_back("account");
        if (accounts.empty()) return engine::ShellAccount::Unknown;
        const engine::ShellAccount account = accounts.front();
        accounts.pop_front();
        return account;
    }
    void AwaitShell() override { calls.push_back("wait"); }

    std::deque<engine::ShellAccount> accounts;
    std::deque<RouteAnswer> answers;
    std::vector<std::string> calls;
    std::vector<ShellCommand> commands;

private:
    RouteAnswer Next(const char* route, const ShellCommand& command) {
        calls.push_back(route);
        commands.push_back(command);
        if (answers.empty()) return {Outcome::Failed};
        const RouteAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

TEST(ShellLaunch, AnElevatedProgramStartsThingsThroughTheShellAndNeverWithItsOwnToken) {
    const RouteAnswer started{Outcome::Started, 0};
    const RouteAnswer startedAs42{Outcome::Started, 42};
    const RouteAnswer unavailable{Outcome::Unavailable};
    const RouteAnswer failed{Outcome::Failed};
    struct Case {
        const char* what;
        bool elevated;
        std::deque<RouteAnswer> answers;
        std::vector<std::string> calls;
        std::optional<DWORD> result;
    };
    const Case cases[] = {
        {"unelevated: itself", false, {startedAs42}, {"direct"}, 42},
        {"unelevated, failing", false, {failed}, {"direct"}, std::nullopt},
        {"elevated: the shell", true, {started}, {"shell"}, 0},
        {"the shell not up yet: a moment, then once more", true, {unavailable, started}, {"shell", "wait", "shell"}, 0},
        {"no shell at all: the shell's token", true, {unavailable, unavailable, startedAs42},
         {"shell", "wait", "shell", "token"}, 42},
        {"the shell refuses: the shell's token, no waiting", true, {failed, startedAs42}, {"shell", "token"}, 42},
        {"nothing works: nothing starts", true, {unavailable, unavailable, unavailable},
         {"shell", "wait", "shell", "token"}, std::nullopt},
        {"the token fails too", true, {failed, failed}, {"shell", "token"}, std::nullopt},
    };
    const ShellCommand command{ShellCommand::Kind::Program, L"C:\\Program Files\\Browser\\browser.exe", L"--app=x"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedRoutes routes;
        routes.answers = c.answers;
        EXPECT_EQ(engine::Launch(command, c.elevated, routes), c.result);
        EXPECT_EQ(routes.calls, c.calls);
        for (const ShellCommand& given : routes.commands) EXPECT_EQ(given, command);
    }
}

// The page's browser runs as the program's own account: through the shell
// only where the shell is that account's, else with the program's linked
// token, else not at all. Wine has one account: only this table shows it.
TEST(ShellLaunch, ThePagesBrowserStartsAsTheProgramsOwnAccountOrNotAtAll) {
    using engine::ShellAccount;
    using Start = engine::OwnAccountStart;
    const RouteAnswer started{Outcome::Started, 7};
    const RouteAnswer unavailable{Outcome::Unavailable};
    const RouteAnswer failed{Outcome::Failed};
    const Start none{Start::Outcome::NoOwnAccountRoute};
    struct Case {
        const char* what;
        bool elevated;
        std::deque<ShellAccount> accounts;
        std::deque<RouteAnswer> answers;
        std::vector<std::string> calls;
        Start result;
    };
    const Case cases[] = {
        {"unelevated: itself, whoever the shell is", false, {ShellAccount::Other}, {started}, {"direct"},
         {Start::Outcome::Started, 7}},
        {"the shell is the program's account: the shell", true, {ShellAccount::Own}, {started}, {"account", "shell"},
         {Start::Outcome::Started, 7}},
        {"the shell is the program's account, its routes fail", true, {ShellAccount::Own}, {failed, failed},
         {"account", "shell", "token"}, {Start::Outcome::Failed}},
        {"another account's shell, a linked token", true, {ShellAccount::Other}, {started}, {"account", "linked"},
         {Start::Outcome::Started, 7}},
        {"another account's shell, no linked token", true, {ShellAccount::Other}, {unavailable}, {"account", "linked"}, none},
        {"another account's shell, the linked token fails", true, {ShellAccount::Other}, {failed}, {"account", "linked"}, none},
        {"no shell yet, then the program's own", true, {ShellAccount::Unknown, ShellAccount::Own}, {started},
         {"account", "wait", "account", "shell"}, {Start::Outcome::Started, 7}},
        {"no shell yet, then another account's", true, {ShellAccount::Unknown, ShellAccount::Other}, {unavailable},
         {"account", "wait", "account", "linked"}, none},
        {"the shell's account never known: as another's", true, {ShellAccount::Unknown, ShellAccount::Unknown}, {started},
         {"account", "wait", "account", "linked"}, {Start::Outcome::Started, 7}},
    };
    const ShellCommand command{ShellCommand::Kind::Program, L"C:\\Program Files\\Browser\\browser.exe", L"--app=x"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedRoutes routes;
        routes.accounts = c.accounts;
        routes.answers = c.answers;
        EXPECT_EQ(engine::LaunchAsOwnAccount(command, c.elevated, routes), c.result);
        EXPECT_EQ(routes.calls, c.calls);
        for (const ShellCommand& given : routes.commands) EXPECT_EQ(given, command);
    }
}

TEST(ShellLaunch, BrowsersAreTakenFromTheMachineNeverFromTheUsersAppPaths) {
    // Any program the user runs unelevated may write the user's App Paths.
    testsupport::TempDir folder;
    const std::wstring planted = folder / L"msedge.exe";
    testsupport::WriteFile(planted, "not a browser");
    const testsupport::ScopedUserValue userEdge(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msedge.exe", L"");
    const testsupport::ScopedUserValue userChrome(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\chrome.exe", L"");
    userEdge.Set(planted);
    userChrome.Set(planted);
    for (const std::wstring& browser : engine::FindAppBrowsers()) EXPECT_NE(browser, planted);

    // A browser in its install folder for all users is found.
    HKEY currentVersion = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                            KEY_QUERY_VALUE | KEY_WOW64_64KEY, &currentVersion),
              ERROR_SUCCESS);
    wchar_t programFiles[MAX_PATH] = {};
    DWORD size = sizeof programFiles - sizeof(wchar_t);
    const LSTATUS read = RegQueryValueExW(currentVersion, L"ProgramFilesDir", nullptr, nullptr,
                                          reinterpret_cast<BYTE*>(programFiles), &size);
    RegCloseKey(currentVersion);
    ASSERT_EQ(read, ERROR_SUCCESS);
    const std::wstring google = std::wstring(programFiles) + L"\\Google";
    ASSERT_FALSE(testsupport::Exists(google)) << "the prefix has a Google folder of its own";
    const std::wstring chrome = google + L"\\Chrome\\Application\\chrome.exe";
    testsupport::MakeFile(chrome, 10);
    const std::vector<std::wstring> found = engine::FindAppBrowsers();
    testsupport::RemoveTree(google);
    EXPECT_NE(std::find(found.begin(), found.end(), chrome), found.end());
    for (const std::wstring& browser : found) EXPECT_NE(browser, planted);
}

// cmd.exe leaving "started" in `trace`.
ShellCommand TraceCommand(const std::wstring& trace) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return {ShellCommand::Kind::Program, std::wstring(system) + L"\\cmd.exe", L"/c echo started> \"" + trace + L"\""};
}

// The started program writes the file some time after the route returned.
bool TraceWritten(const std::wstring& trace) {
    const auto written = [&] { return testsupport::Exists(trace) && testsupport::ReadFile(trace).rfind("started", 0) == 0; };
    for (int tick = 0; tick < 300 && !written(); ++tick) Sleep(100);
    return written();
}

// Under Wine the desktop shell's route works too: the shell starts the
// program (here one that leaves a file behind), and the shell is the
// program's own account.
TEST(ShellLaunch, TheDesktopShellStartsAProgram) {
    testsupport::TempDir folder;
    const std::wstring trace = folder / L"started.txt";
    engine::SystemLaunchRoutes routes;
    RouteAnswer answer = routes.DesktopShell(TraceCommand(trace));
    // The shell may still be starting with this prefix.
    for (int attempt = 0; answer.outcome == Outcome::Unavailable && attempt < 10; ++attempt) {
        routes.AwaitShell();
        answer = routes.DesktopShell(TraceCommand(trace));
    }
    ASSERT_EQ(answer.outcome, Outcome::Started);
    EXPECT_TRUE(TraceWritten(trace));
    EXPECT_EQ(routes.DesktopShellAccount(), engine::ShellAccount::Own);
}

// The program's own unelevated token starts a program where the system
// hands it out as a token that can.
TEST(ShellLaunch, TheLinkedTokenStartsAProgramWhereThereIsOne) {
    testsupport::TempDir folder;
    const std::wstring trace = folder / L"started.txt";
    engine::SystemLaunchRoutes routes;
    const RouteAnswer answer = routes.LinkedToken(TraceCommand(trace));
    if (answer.outcome == Outcome::Unavailable)
        GTEST_SKIP() << "this system gives the test's process no linked token that can start a program";
    ASSERT_EQ(answer.outcome, Outcome::Started);
    EXPECT_NE(answer.processId, 0u);
    EXPECT_TRUE(TraceWritten(trace));
}

}  // namespace
