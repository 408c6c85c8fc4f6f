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
    void AwaitShell() override { calls.push_back("wait"); }

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

// Under Wine the desktop shell's route works too: the shell starts the
// program (here one that leaves a file behind).
TEST(ShellLaunch, TheDesktopShellStartsAProgram) {
    testsupport::TempDir folder;
    const std::wstring trace = folder / L"started.txt";
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const ShellCommand command{ShellCommand::Kind::Program, std::wstring(system) + L"\\cmd.exe",
                               L"/c echo started> \"" + trace + L"\""};
    engine::SystemLaunchRoutes routes;
    RouteAnswer answer = routes.DesktopShell(command);
    // The shell may still be starting with this prefix.
    for (int attempt = 0; answer.outcome == Outcome::Unavailable && attempt < 10; ++attempt) {
        routes.AwaitShell();
        answer = routes.DesktopShell(command);
    }
    ASSERT_EQ(answer.outcome, Outcome::Started);
    // The shell's program writes the file some time after the call returned.
    const auto written = [&] { return testsupport::Exists(trace) && testsupport::ReadFile(trace).rfind("started", 0) == 0; };
    for (int tick = 0; tick < 300 && !written(); ++tick) Sleep(100);
    EXPECT_TRUE(written());
}

}  // namespace
