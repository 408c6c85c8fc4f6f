// orvane run without elevation: machine-wide work is not permitted (exit 4
// when nothing asked for was, 1 beside work that was done) and nothing of it
// changes. Every Wine process is elevated: the process's elevation is
// answered through its seam here, and the commands run in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "db/scratch_database.h"
#include "engine/shell_launch.h"
#include "services/test_services.h"
#include "support/junk_fixtures.h"
#include "support/scratch_program.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Exists;

TEST(NotElevated, MachineWideWorkIsNotPermittedAndNothingOfItChanges) {
    const testsupport::ScratchDatabase database;
    testsupport::TempDir temp;
    const junktest::ScopedUserTemp setting(temp.Path());
    const std::wstring prefetch = testsupport::Environment(L"SystemRoot") + L"\\Prefetch\\QONOTELEVATED.EXE-" +
                                  std::to_wstring(GetCurrentProcessId()) + L".pf";
    testsupport::MakeFolder(testsupport::Environment(L"SystemRoot") + L"\\Prefetch");
    testsupport::WriteFile(prefetch, "prefetch");
    testsupport::TestServices services;
    services.Create({L"QoTestSvcUnelevated", L"Qo Test Unelevated", L"C:\\QoTest\\unelevated.exe",
                     SERVICE_DEMAND_START, L""});
    struct Restored {
        ~Restored() { engine::SetProcessElevationForTest(std::nullopt); }
    } restored;
    engine::SetProcessElevationForTest(false);

    struct Case {
        std::vector<std::string> words;
        int exitCode;
    };
    const Case cases[] = {
        {{"clean", "junk.prefetch"}, cli::kNotPermitted},
        {{"services", "set", "QoTestSvcUnelevated", "disabled"}, cli::kNotPermitted},
        // Beside a category that was cleaned, the refused one leaves 1.
        {{"clean", "junk.temp", "junk.prefetch"}, cli::kSomeLeft},
    };
    for (const Case& c : cases) {
        testsupport::WriteFile(temp / L"old.tmp", "twelve bytes");
        const cli::Parsed parsed = cli::ParseArguments(c.words);
        ASSERT_TRUE(parsed.usable) << parsed.error;
        const cli::Outcome outcome = cli::RunCommand(parsed.command);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.words[0] << " " << c.words[1];
    }
    EXPECT_TRUE(Exists(prefetch));
    EXPECT_EQ(services.StartType(L"QoTestSvcUnelevated"), SERVICE_DEMAND_START);
    EXPECT_FALSE(Exists(temp / L"old.tmp")) << "the permitted category was cleaned";

    // The same run elevated cleans what was refused: the refusal was the
    // elevation's.
    engine::SetProcessElevationForTest(true);
    const cli::Outcome elevated = cli::RunCommand(cli::ParseArguments({"clean", "junk.prefetch"}).command);
    EXPECT_EQ(elevated.exitCode, cli::kDone);
    EXPECT_FALSE(Exists(prefetch));
}

}  // namespace
