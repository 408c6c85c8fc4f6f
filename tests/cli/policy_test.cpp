// The organisation's policy through orvane: a category it turns off is
// neither scanned nor cleaned (not permitted, with the reason), and the
// default selection leaves it out.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/run_document.h"
#include "engine/wire_format.h"
#include "support/junk_fixtures.h"
#include "support/scoped_state.h"
#include "support/scratch_program.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Exists;
using testsupport::TempDir;
constexpr auto Item = &testsupport::JsonItem;
constexpr auto TextOf = &testsupport::JsonText;

std::vector<std::string> CategoryIds(const testsupport::ProgramRun& run) {
    std::vector<std::string> ids;
    for (const cJSON* category = Item(run.json.get(), "categories") ? Item(run.json.get(), "categories")->child : nullptr;
         category; category = category->next)
        ids.push_back(TextOf(category, "id"));
    return ids;
}

TEST(OrvanePolicy, ATurnedOffCategoryIsRefusedAndNothingIsCleaned) {
    const TempDir temp;
    testsupport::WriteFile(temp / L"old.tmp", "twelve bytes");
    const junktest::ScopedUserTemp setting(temp.Path());
    const testsupport::ScopedPolicy policy;
    policy.Disable({L"JUNK.TEMP", L"Registry"});
    const testsupport::ScratchProgram orvane;
    for (const wchar_t* arguments : {L"clean --json junk.temp", L"clean --json junk.recycle_bin junk.temp",
                                     L"clean --json junk.*", L"scan --json junk.temp", L"scan --json registry.software",
                                     L"clean --json --all-users junk.temp"}) {
        const testsupport::ProgramRun run = orvane(arguments);
        EXPECT_EQ(run.exitCode, 4u) << engine::Utf8FromWide(arguments) << run.out << run.err;
        EXPECT_NE(TextOf(run.json.get(), "error").find("turned off by policy"), std::string::npos) << run.out;
        EXPECT_NE(run.err.find("turned off by policy"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(Exists(temp / L"old.tmp"));

    // Without ids, a scan leaves out what policy turns off.
    const testsupport::ProgramRun scan = orvane(L"scan --json");
    EXPECT_EQ(scan.exitCode, 0u) << scan.out << scan.err;
    const std::vector<std::string> ids = CategoryIds(scan);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), "junk.temp"), 0);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), "junk.recycle_bin"), 1);
    EXPECT_EQ(std::count_if(ids.begin(), ids.end(), [](const std::string& id) { return id.starts_with("registry."); }), 0);
    EXPECT_TRUE(Exists(temp / L"old.tmp"));
}

TEST(OrvanePolicy, EveryCategoryTurnedOffRefusesTheDefaultScan) {
    const testsupport::ScopedPolicy policy;
    policy.Disable({L"junk.*", L"registry", L"browser.*", L"apps"});
    const testsupport::ScratchProgram orvane;
    const testsupport::ProgramRun run = orvane(L"scan --json");
    EXPECT_EQ(run.exitCode, 4u) << run.out << run.err;
    EXPECT_EQ(TextOf(run.json.get(), "error"), "every category is turned off by policy");
}

// A policy key that exists but cannot be read refuses every scan and clean,
// named or not, with the reason, as an unreadable keep list does: exit 4 and
// the reason in the --json document. (Run in this process: the reader is
// swapped, since no prefix can deny the read.)
TEST(OrvanePolicy, AnUnreadablePolicyRefusesEveryScanAndCleanWithTheReason) {
    const TempDir temp;
    testsupport::WriteFile(temp / L"old.tmp", "twelve bytes");
    const junktest::ScopedUserTemp setting(temp.Path());
    const testsupport::UnreadablePolicy unreadable;
    const std::vector<std::vector<std::string>> runs = {{"clean", "junk.temp"}, {"clean", "all"}, {"scan"},
                                                        {"scan", "registry.software"}, {"clean", "--all-users", "junk.temp"}};
    for (const std::vector<std::string>& words : runs) {
        const cli::Parsed parsed = cli::ParseArguments(words);
        ASSERT_TRUE(parsed.usable) << parsed.error;
        const cli::Outcome outcome = cli::RunCommand(parsed.command);
        EXPECT_EQ(outcome.exitCode, cli::kNotPermitted) << words[0] << " " << words.size();
        const engine::Json document = cli::RunDocument(cli::RunFacts{}, outcome.json.get(), outcome.error, outcome.exitCode);
        EXPECT_EQ(TextOf(document.get(), "error"),
                  "the organisation's policy (its key) cannot be read: error 5, so nothing is scanned or cleaned")
            << words[0] << " " << words.size();
        EXPECT_EQ(testsupport::JsonNumber(document.get(), "exitCode"), 4) << words[0] << " " << words.size();
    }
    EXPECT_TRUE(Exists(temp / L"old.tmp"));
}

// A user's own Policies key counts for nothing.
TEST(OrvanePolicy, TheUsersPolicyKeyIsIgnored) {
    const TempDir temp;
    testsupport::WriteFile(temp / L"old.tmp", "twelve bytes");
    const junktest::ScopedUserTemp setting(temp.Path());
    const testsupport::ScopedPolicy users(HKEY_CURRENT_USER);
    users.Disable({L"junk"});
    const testsupport::ScratchProgram orvane;
    const testsupport::ProgramRun run = orvane(L"clean --json junk.temp");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_FALSE(Exists(temp / L"old.tmp"));
}

// The organisation's keep list adds to the user's on every account: a file
// it keeps (written with a machine variable) survives a clean, is listed
// apart and cannot be taken off the list.
TEST(OrvanePolicy, APolicyKeptFileSurvivesCleanAndCannotBeRemoved) {
    wchar_t windows[MAX_PATH];
    ASSERT_TRUE(GetEnvironmentVariableW(L"SystemRoot", windows, MAX_PATH));
    const std::wstring folder = std::wstring(windows) + L"\\Temp\\qo-policy-keep";
    testsupport::MakeFolder(folder);
    testsupport::WriteFile(folder + L"\\kept.tmp", "kept by policy");
    testsupport::WriteFile(folder + L"\\plain.tmp", "plain");
    const junktest::ScopedUserTemp setting(folder);
    const testsupport::ScopedPolicy policy;
    policy.Keep(L"Kept file", L"%SystemRoot%\\Temp\\qo-policy-keep\\kept.tmp", REG_EXPAND_SZ);
    const testsupport::ScratchProgram orvane;

    const testsupport::ProgramRun clean = orvane(L"clean --json junk.temp");
    EXPECT_EQ(clean.exitCode, 0u) << clean.out << clean.err;
    EXPECT_TRUE(Exists(folder + L"\\kept.tmp"));
    EXPECT_FALSE(Exists(folder + L"\\plain.tmp"));

    const testsupport::ProgramRun list = orvane(L"keep list --json");
    EXPECT_EQ(list.exitCode, 0u) << list.out << list.err;
    const cJSON* set = Item(list.json.get(), "setByPolicy");
    ASSERT_TRUE(cJSON_IsArray(set)) << list.out;
    ASSERT_EQ(cJSON_GetArraySize(set), 1) << list.out;
    EXPECT_EQ(engine::WideFromUtf8(set->child->valuestring), folder + L"\\kept.tmp");
    EXPECT_EQ(cJSON_GetArraySize(Item(list.json.get(), "kept")), 0) << list.out;
    EXPECT_NE(orvane(L"keep list").out.find("kept.tmp  (set by your organisation)"), std::string::npos);

    const testsupport::ProgramRun remove = orvane(L"keep remove \"" + folder + L"\\KEPT.tmp\" --json");
    EXPECT_EQ(remove.exitCode, 4u) << remove.out << remove.err;
    EXPECT_NE(TextOf(remove.json.get(), "error").find("set by your organisation"), std::string::npos) << remove.out;
    EXPECT_TRUE(Exists(folder + L"\\kept.tmp"));
    testsupport::RemoveTree(folder);
}

}  // namespace
