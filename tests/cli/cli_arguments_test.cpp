#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_code.h"
#include "junk/category_ids.h"

namespace {

using cli::Verb;

TEST(CliArguments, EveryFormAndEveryUsageError) {
    struct Case {
        std::vector<std::string> arguments;
        bool usable;
        Verb verb;
        bool json;
        bool details;
        std::vector<std::string> words;
        const char* error;  // part of the error when not usable
    };
    const Case cases[] = {
        {{}, false, Verb::Help, false, false, {}, "no command"},
        {{"--help"}, true, Verb::Help, false, false, {}, ""},
        {{"list"}, true, Verb::List, false, false, {}, ""},
        {{"list", "--json"}, true, Verb::List, true, false, {}, ""},
        {{"list", "junk.temp"}, false, Verb::Help, false, false, {}, "too many"},
        {{"scan"}, true, Verb::Scan, false, false, {}, ""},
        {{"scan", "--details", "junk.*", "--json"}, true, Verb::Scan, true, true, {"junk.*"}, ""},
        // Nothing is cleaned by default.
        {{"clean"}, false, Verb::Help, false, false, {}, "missing operand"},
        {{"clean", "--json"}, false, Verb::Help, false, false, {}, "missing operand"},
        {{"clean", "all"}, true, Verb::Clean, false, false, {"all"}, ""},
        {{"clean", "--details", "junk.temp"}, false, Verb::Help, false, false, {}, "unknown option"},
        {{"clean", "junk.temp", "--force"}, false, Verb::Help, false, false, {}, "unknown option"},
        {{"startup"}, false, Verb::Help, false, false, {}, "unknown startup command"},
        {{"startup", "list", "--json"}, true, Verb::StartupList, true, false, {}, ""},
        {{"startup", "disable"}, false, Verb::Help, false, false, {}, "missing operand"},
        {{"startup", "enable", "3", "1"}, true, Verb::StartupSwitch, false, false, {"3", "1"}, ""},
        {{"services", "list"}, true, Verb::ServicesList, false, false, {}, ""},
        {{"services", "set", "Spooler"}, false, Verb::Help, false, false, {}, "missing operand"},
        {{"services", "set", "Spooler", "manual", "--json"}, true, Verb::ServicesSet, true, false,
         {"Spooler", "manual"}, ""},
        {{"services", "set", "a", "b", "c"}, false, Verb::Help, false, false, {}, "too many"},
        {{"undo", "list", "--json"}, true, Verb::UndoList, true, false, {}, ""},
        {{"undo", "restore", "registry-3"}, true, Verb::UndoRestore, false, false, {"registry-3"}, ""},
        {{"undo", "restore"}, false, Verb::Help, false, false, {}, "missing operand"},
        {{"keep", "list", "--json"}, true, Verb::KeepList, true, false, {}, ""},
        {{"keep", "add", "C:\\a b\\c.tmp"}, true, Verb::KeepAdd, false, false, {"C:\\a b\\c.tmp"}, ""},
        {{"keep", "remove", "HKCU\\Software\\X", "--json"}, true, Verb::KeepRemove, true, false,
         {"HKCU\\Software\\X"}, ""},
        {{"keep", "add"}, false, Verb::Help, false, false, {}, "missing operand"},
        {{"keep", "remove", "a", "b"}, false, Verb::Help, false, false, {}, "too many"},
        {{"keep", "list", "x"}, false, Verb::Help, false, false, {}, "too many"},
        {{"keep", "confirm", "--json"}, true, Verb::KeepConfirm, true, false, {}, ""},
        {{"keep", "confirm", "now"}, false, Verb::Help, false, false, {}, "too many"},
        {{"keep"}, false, Verb::Help, false, false, {}, "unknown keep command"},
        {{"purge"}, false, Verb::Help, false, false, {}, "unknown command: purge"},
    };
    for (const Case& c : cases) {
        const std::string shown = c.arguments.empty() ? "(none)" : c.arguments[0];
        const cli::Parsed parsed = cli::ParseArguments(c.arguments);
        ASSERT_EQ(parsed.usable, c.usable) << shown << " " << parsed.error;
        if (!c.usable) {
            EXPECT_NE(parsed.error.find(c.error), std::string::npos) << shown << ": " << parsed.error;
            continue;
        }
        EXPECT_EQ(parsed.command.verb, c.verb) << shown;
        EXPECT_EQ(parsed.command.json, c.json) << shown;
        EXPECT_EQ(parsed.command.details, c.details) << shown;
        EXPECT_EQ(parsed.command.words, c.words) << shown;
    }
    EXPECT_TRUE(cli::ParseArguments({"startup", "enable", "1"}).command.enable);
    EXPECT_FALSE(cli::ParseArguments({"startup", "disable", "1"}).command.enable);
}

// The forms a platform's administrators type: any letter case, the help
// words of Windows and of Unix, the version, the options with values.
TEST(CliArguments, GrammarFormsInAnyCaseWithHelpVersionAndOptionValues) {
    struct Case {
        std::vector<std::string> arguments;
        bool usable;
        Verb verb;
        const char* topicOrError;  // Help: its topic; else when not usable: part of the error
    };
    const Case cases[] = {
        {{"SCAN", "JUNK.TEMP"}, true, Verb::Scan, ""},
        {{"Startup", "DISABLE", "hkcu-run:Tool"}, true, Verb::StartupSwitch, ""},
        {{"services", "SET", "Spooler", "Disabled", "--JSON"}, true, Verb::ServicesSet, ""},
        {{"-?"}, true, Verb::Help, ""},
        {{"/?"}, true, Verb::Help, ""},
        {{"-H"}, true, Verb::Help, ""},
        {{"/HELP"}, true, Verb::Help, ""},
        {{"--Help"}, true, Verb::Help, ""},
        {{"help"}, true, Verb::Help, ""},
        {{"help", "Scan"}, true, Verb::Help, "scan"},
        {{"help", "sweep"}, false, Verb::Help, "unknown command: sweep"},
        {{"scan", "--help"}, true, Verb::Help, "scan"},
        {{"startup", "disable", "/?"}, true, Verb::Help, "startup"},
        {{"clean", "-?"}, true, Verb::Help, "clean"},
        {{"--version"}, true, Verb::Version, ""},
        {{"--VERSION", "x"}, false, Verb::Help, "too many"},
        {{"version", "--json"}, true, Verb::Version, ""},
        {{"version", "2"}, false, Verb::Help, "too many"},
        {{"clean", "junk.temp", "--wait", "30"}, true, Verb::Clean, ""},
        {{"clean", "junk.temp", "--wait"}, false, Verb::Help, "--wait takes"},
        {{"clean", "junk.temp", "--wait", "-1"}, false, Verb::Help, "--wait takes"},
        {{"clean", "junk.temp", "--wait", "86401"}, false, Verb::Help, "--wait takes"},
        {{"scan", "--Min-Bytes", "1048576"}, true, Verb::Scan, ""},
        {{"scan", "--min-bytes", "1MB"}, false, Verb::Help, "--min-bytes takes"},
        {{"clean", "junk.temp", "--min-bytes", "1"}, false, Verb::Help, "unknown option"},
    };
    for (const Case& c : cases) {
        const std::string shown = c.arguments[0] + (c.arguments.size() > 1 ? " " + c.arguments[1] : "");
        const cli::Parsed parsed = cli::ParseArguments(c.arguments);
        ASSERT_EQ(parsed.usable, c.usable) << shown << " " << parsed.error;
        if (!c.usable) {
            EXPECT_NE(parsed.error.find(c.topicOrError), std::string::npos) << shown << ": " << parsed.error;
            continue;
        }
        EXPECT_EQ(parsed.command.verb, c.verb) << shown;
        if (c.verb == Verb::Help) EXPECT_EQ(parsed.command.helpTopic, c.topicOrError) << shown;
    }
    // Operands keep their letters: a service, a path, a startup name.
    EXPECT_EQ(cli::ParseArguments({"services", "SET", "Spooler", "Disabled"}).command.words,
              (std::vector<std::string>{"Spooler", "Disabled"}));
    EXPECT_EQ(cli::ParseArguments({"clean", "junk.temp", "--WAIT", "30"}).command.waitSeconds, 30u);
    EXPECT_EQ(cli::ParseArguments({"scan", "--min-bytes", "1048576"}).command.minBytes, 1048576u);
    EXPECT_TRUE(cli::ParseArguments({"version", "--json"}).command.json);
    // One verb's help: its own lines and the exit codes, not the others'.
    const std::string scanHelp = cli::HelpFor("scan");
    EXPECT_NE(scanHelp.find("--min-bytes"), std::string::npos);
    EXPECT_NE(scanHelp.find("--all-users"), std::string::npos);
    EXPECT_NE(scanHelp.find("Exit codes"), std::string::npos);
    EXPECT_EQ(scanHelp.find("keep add"), std::string::npos);
    EXPECT_NE(cli::HelpFor("startup").find("hkcu-run:NAME"), std::string::npos);
}

TEST(CliExitCode, OutcomesCombineIntoOneCode) {
    struct Case {
        cli::RunTally tally;
        int code;
        const char* what;
    };
    const Case cases[] = {
        {{.parts = 2}, cli::kDone, "all done"},
        {{}, cli::kDone, "nothing asked for (a list)"},
        {{.parts = 2, .failed = 1}, cli::kSomeLeft, "a file could not be removed"},
        {{.parts = 2, .refused = 1}, cli::kSomeLeft, "one of two not permitted"},
        {{.parts = 2, .refused = 2}, cli::kNotPermitted, "none permitted"},
        {{.parts = 2, .refused = 2, .failed = 1, .stopped = true}, cli::kNotPermitted, "none permitted, stopped"},
        {{.parts = 1, .stopped = true}, cli::kSomeLeft, "stopped by Ctrl+C"},
        {{.parts = 3, .keepListLost = true}, cli::kNotPermitted, "the keep list went unreadable"},
        {{.parts = 3, .failed = 5, .keepListLost = true}, cli::kNotPermitted, "keep list over failures"},
        {{.parts = 1, .overThreshold = true}, cli::kSomeLeft, "a scan found more than its threshold"},
        {{.parts = 1, .refused = 1, .overThreshold = true}, cli::kNotPermitted, "refused is no finding"},
    };
    for (const Case& c : cases) EXPECT_EQ(cli::CombinedExitCode(c.tally), c.code) << c.what;
}

std::vector<std::string> Ids(const std::vector<junk::CategoryId>& categories) {
    std::vector<std::string> ids;
    for (const junk::CategoryId& category : categories) ids.push_back(category.id);
    return ids;
}

TEST(CliCategories, IdsGroupsAndAllSelectEachCategoryOnceInTableOrder) {
    const std::vector<std::string> all = Ids(junk::AllCategories());
    ASSERT_EQ(all.size(), 28u);
    EXPECT_EQ(all.front(), "junk.temp");
    EXPECT_EQ(all[12], "junk.error_reports");
    // The browsers and applications follow the thirteen, with their indexes.
    EXPECT_EQ(all[13], "browser.chrome");
    EXPECT_EQ(all[20], "apps.crash_dumps");
    EXPECT_EQ(junk::AllCategories()[20].index, 20);
    EXPECT_EQ(all.back(), "registry.file_associations");
    struct Case {
        std::vector<std::string> words;
        std::size_t count;
        std::vector<std::string> first;  // the first ids selected
        const char* unknown;             // the word that names nothing
    };
    const Case cases[] = {
        {{"junk.temp"}, 1, {"junk.temp"}, ""},
        {{"registry.software", "junk.temp", "junk.temp"}, 2, {"junk.temp", "registry.software"}, ""},
        {{"junk.*"}, 13, {"junk.temp", "junk.winsxs_backup"}, ""},
        {{"registry.*", "registry.firewall"}, 7, {"registry.firewall", "registry.mui_cache"}, ""},
        {{"all"}, 28, {"junk.temp"}, ""},
        {{"browser.*"}, 6, {"browser.chrome", "browser.edge"}, ""},
        {{"apps.*", "browser.firefox"}, 3, {"browser.firefox", "apps.shader_cache", "apps.crash_dumps"}, ""},
        {{"Browser.Opera"}, 1, {"browser.opera"}, ""},
        {{"browser"}, 0, {}, "browser"},
        {{"junk.tem"}, 0, {}, "junk.tem"},
        {{"junk.temp", "registry"}, 0, {}, "registry"},
        {{"jun.*"}, 0, {}, "jun.*"},
        {{".*"}, 0, {}, ".*"},
        {{"JUNK.TEMP"}, 1, {"junk.temp"}, ""},
        {{"Registry.*"}, 7, {"registry.firewall"}, ""},
        {{"ALL"}, 28, {"junk.temp"}, ""},
        {{"JUNK.TEM"}, 0, {}, "JUNK.TEM"},
    };
    for (const Case& c : cases) {
        std::string unknown;
        const std::vector<std::string> selected = Ids(junk::SelectCategories(c.words, &unknown));
        EXPECT_EQ(selected.size(), c.count) << c.words[0];
        for (std::size_t i = 0; i < c.first.size() && i < selected.size(); ++i) EXPECT_EQ(selected[i], c.first[i]);
        EXPECT_EQ(unknown, c.unknown) << c.words[0];
    }
}

}  // namespace
