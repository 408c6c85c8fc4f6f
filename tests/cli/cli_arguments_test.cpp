#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/category_ids.h"

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

std::vector<std::string> Ids(const std::vector<cli::CategoryId>& categories) {
    std::vector<std::string> ids;
    for (const cli::CategoryId& category : categories) ids.push_back(category.id);
    return ids;
}

TEST(CliCategories, IdsGroupsAndAllSelectEachCategoryOnceInTableOrder) {
    const std::vector<std::string> all = Ids(cli::AllCategories());
    ASSERT_EQ(all.size(), 20u);
    EXPECT_EQ(all.front(), "junk.temp");
    EXPECT_EQ(all[12], "junk.error_reports");
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
        {{"all"}, 20, {"junk.temp"}, ""},
        {{"junk.tem"}, 0, {}, "junk.tem"},
        {{"junk.temp", "registry"}, 0, {}, "registry"},
        {{"jun.*"}, 0, {}, "jun.*"},
        {{".*"}, 0, {}, ".*"},
        {{"JUNK.TEMP"}, 0, {}, "JUNK.TEMP"},
    };
    for (const Case& c : cases) {
        std::string unknown;
        const std::vector<std::string> selected = Ids(cli::SelectCategories(c.words, &unknown));
        EXPECT_EQ(selected.size(), c.count) << c.words[0];
        for (std::size_t i = 0; i < c.first.size() && i < selected.size(); ++i) EXPECT_EQ(selected[i], c.first[i]);
        EXPECT_EQ(unknown, c.unknown) << c.words[0];
    }
}

}  // namespace
