// The event an orvane run leaves: which commands write one, what it says,
// and one real clean and scan run in this process through the trail's sink.
#include "cli/run_trail.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "db/scratch_database.h"
#include "support/junk_fixtures.h"
#include "support/recorded_trail.h"
#include "support/temp_dir.h"

namespace {

using core::TrailKind;

cli::Command CommandOf(const std::vector<std::string>& words) {
    const cli::Parsed parsed = cli::ParseArguments(words);
    EXPECT_TRUE(parsed.usable) << parsed.error;
    return parsed.command;
}

TEST(RunTrail, ChangingCommandsNameThemselvesAndCountFromTheirDocument) {
    struct Case {
        std::vector<std::string> words;
        const char* document;
        std::optional<cli::RunEvent> event;
    };
    const Case cases[] = {
        {{"clean", "junk.temp", "registry.*"}, R"({"removed":3,"failed":1,"bytes":20})",
         cli::RunEvent{TrailKind::Clean, L"orvane clean junk.temp registry.*", 3, 20}},
        {{"clean", "junk.temp"}, nullptr, cli::RunEvent{TrailKind::Clean, L"orvane clean junk.temp", 0, 0}},
        {{"clean", "--all-users", "junk.temp"}, R"({"allUsers":true,"removed":5,"bytes":70})",
         cli::RunEvent{TrailKind::Clean, L"orvane clean --all-users junk.temp", 5, 70}},
        {{"startup", "disable", "2", "3"}, R"({"entries":[{"switched":true},{"switched":false},{"permitted":false}]})",
         cli::RunEvent{TrailKind::StartupSwitch, L"orvane startup disable 2 3", 1, 0}},
        {{"startup", "enable", "1"}, R"({"entries":[{"switched":true}]})",
         cli::RunEvent{TrailKind::StartupSwitch, L"orvane startup enable 1", 1, 0}},
        {{"services", "set", "Spooler", "manual"}, R"({"changed":true})",
         cli::RunEvent{TrailKind::ServiceStartType, L"orvane services set Spooler manual", 1, 0}},
        {{"services", "set", "Spooler", "manual"}, R"({"changed":false})",
         cli::RunEvent{TrailKind::ServiceStartType, L"orvane services set Spooler manual", 0, 0}},
        {{"undo", "restore", "registry-12"}, R"({"status":"restored","restored":4})",
         cli::RunEvent{TrailKind::UndoRestore, L"orvane undo restore registry-12", 4, 0}},
        {{"keep", "add", "C:\\kept"}, R"({"status":"kept"})",
         cli::RunEvent{TrailKind::KeepList, L"orvane keep add C:\\kept", 1, 0}},
        {{"keep", "remove", "C:\\kept"}, R"({"status":"not on the keep list"})",
         cli::RunEvent{TrailKind::KeepList, L"orvane keep remove C:\\kept", 0, 0}},
        // Reading changes nothing and leaves no event.
        {{"scan", "junk.temp"}, R"({"count":3,"bytes":20})", std::nullopt},
        {{"list"}, nullptr, std::nullopt},
        {{"startup", "list"}, nullptr, std::nullopt},
        {{"services", "list"}, nullptr, std::nullopt},
        {{"undo", "list"}, nullptr, std::nullopt},
        {{"keep", "list"}, nullptr, std::nullopt},
        {{"--help"}, nullptr, std::nullopt},
    };
    for (const Case& c : cases) {
        const engine::Json document(c.document ? cJSON_Parse(c.document) : nullptr);
        EXPECT_EQ(cli::RunEventOf(CommandOf(c.words), document.get()), c.event) << c.words[0] << " " << c.words.size();
    }
}

// What main does around a command: the trail scope, the run, its end.
int RunTraced(const cli::Command& command) {
    cli::RunTrail trail(command);
    const cli::Outcome outcome = cli::RunCommand(command);
    return trail.Ended(outcome.exitCode, outcome.json.get());
}

TEST(RunTrail, ACleanWritesOneEventAtItsEndAndAScanNone) {
    const testsupport::ScratchDatabase database;
    testsupport::TempDir temp;
    const junktest::ScopedUserTemp setting(temp.Path());
    testsupport::WriteFile(temp / L"old.tmp", "twelve bytes");
    testsupport::WriteFile(temp / L"left.log", "eight bb");
    const testsupport::RecordedTrail trail;

    EXPECT_EQ(RunTraced(CommandOf({"scan", "junk.temp"})), cli::kDone);
    EXPECT_TRUE(trail.Events().empty());

    EXPECT_EQ(RunTraced(CommandOf({"clean", "junk.temp"})), cli::kDone);
    ASSERT_EQ(trail.Events().size(), 1u);
    const core::TrailEvent event = trail.Events()[0];
    EXPECT_EQ(event.id, 1001u);
    EXPECT_EQ(event.type, EVENTLOG_INFORMATION_TYPE);
    ASSERT_EQ(event.strings.size(), 6u);
    EXPECT_EQ(event.strings[0], L"orvane clean junk.temp");
    EXPECT_GE(std::stoull(event.strings[1]), 2u);
    EXPECT_GE(std::stoull(event.strings[2]), 20u);
    EXPECT_FALSE(event.strings[4].empty());
    EXPECT_EQ(event.strings[5], L"0");
    EXPECT_FALSE(testsupport::Exists(temp / L"old.tmp"));
}

// A run refused for busy, and one that ended by an exception, leave their
// event too: an error with exit code 3, a warning with 1 (how main ends it).
TEST(RunTrail, ARefusedOrFailedRunLeavesItsEvent) {
    const testsupport::RecordedTrail trail;
    const cli::Command clean = CommandOf({"clean", "junk.temp"});
    {
        cli::RunTrail run(clean);
        run.Ended(cli::kBusy);
    }
    try {
        cli::RunTrail run(clean);
        throw std::runtime_error("failed in the middle");
    } catch (const std::runtime_error&) {
    }
    const std::vector<core::TrailEvent> events = trail.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(events[0].strings.at(5), L"3");
    EXPECT_EQ(events[1].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(events[1].strings.at(5), L"1");
}

}  // namespace
