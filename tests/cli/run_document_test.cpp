#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "cli/run_document.h"
#include "cli/startup_ids.h"
#include "engine/wire_format.h"

namespace {

std::vector<std::string> Keys(const cJSON* object) {
    std::vector<std::string> keys;
    for (const cJSON* member = object->child; member; member = member->next) keys.push_back(member->string);
    return keys;
}

// The frame comes first, the command's members next, the exit code last;
// a command cannot put its own frame members in.
TEST(RunDocument, FrameThenMembersThenExitCodeLast) {
    const cli::RunFacts facts{"1.1.0", "PC-7", "PC-7\\ada", "S-1-5-21-1-2-3-1001", true,
                              "2026-12-11T09:30:05Z", "2026-12-11T09:30:07Z"};
    engine::Json members(cJSON_CreateObject());
    cJSON_AddNumberToObject(members.get(), "count", 3);
    cJSON_AddNumberToObject(members.get(), "exitCode", 99);
    cJSON_AddStringToObject(members.get(), "version", "forged");
    const engine::Json document = cli::RunDocument(facts, members.get(), "busy", 3);
    EXPECT_EQ(Keys(document.get()),
              (std::vector<std::string>{"schemaVersion", "version", "computer", "account", "elevated", "startedUtc",
                                        "count", "endedUtc", "error", "exitCode"}));
    EXPECT_EQ(cJSON_GetObjectItem(document.get(), "schemaVersion")->valueint, 1);
    EXPECT_STREQ(cJSON_GetObjectItem(document.get(), "version")->valuestring, "1.1.0");
    EXPECT_STREQ(cJSON_GetObjectItem(cJSON_GetObjectItem(document.get(), "account"), "sid")->valuestring,
                 "S-1-5-21-1-2-3-1001");
    EXPECT_EQ(cJSON_GetObjectItem(document.get(), "exitCode")->valueint, 3);
    // Without members or error: the frame alone.
    const engine::Json bare = cli::RunDocument(facts, nullptr, "", 0);
    EXPECT_EQ(Keys(bare.get()).back(), "exitCode");
    EXPECT_FALSE(cJSON_GetObjectItem(bare.get(), "error"));
}

TEST(RunDocument, TimesAreIsoUtcWithZ) {
    const SYSTEMTIME time{2026, 1, 0, 2, 3, 4, 5, 0};
    EXPECT_EQ(cli::UtcText(time), "2026-01-02T03:04:05Z");
    const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)");
    EXPECT_TRUE(std::regex_match(cli::UtcNow(), iso));
    // A stored local time: converted by the zone's rules, so the answer is
    // checked by converting it back (a bias applied the wrong way fails).
    const std::string utc = cli::UtcFromLocalText(L"2026-06-15 12:00:00");
    ASSERT_TRUE(std::regex_match(utc, iso)) << utc;
    SYSTEMTIME back{};
    back.wYear = static_cast<WORD>(std::stoi(utc.substr(0, 4)));
    back.wMonth = static_cast<WORD>(std::stoi(utc.substr(5, 2)));
    back.wDay = static_cast<WORD>(std::stoi(utc.substr(8, 2)));
    back.wHour = static_cast<WORD>(std::stoi(utc.substr(11, 2)));
    back.wMinute = static_cast<WORD>(std::stoi(utc.substr(14, 2)));
    SYSTEMTIME local{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &back, &local));
    EXPECT_EQ(local.wDay, 15);
    EXPECT_EQ(local.wHour, 12);
    for (const wchar_t* wrong : {L"", L"15/06/2026 12:00:00", L"2026-13-01 00:00:00", L"2026-06-15 12:00:00 x"})
        EXPECT_EQ(cli::UtcFromLocalText(wrong), "") << engine::Utf8FromWide(wrong);
}

startup::StartupItem RunValue(HKEY root, const wchar_t* path, const wchar_t* name) {
    startup::StartupItem item;
    item.hKey = root;
    item.strPath = path;
    item.strName = name;
    item.uFilePathFlag = 1;
    return item;
}

startup::StartupItem Shortcut(HKEY hive, const wchar_t* file) {
    startup::StartupItem item;
    item.strName = file;
    item.folderHive = hive;
    return item;
}

TEST(StartupIds, EachPlaceHasItsIdAndIdsOrNumbersFindTheEntry) {
    const std::vector<startup::StartupItem> items = {
        RunValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Tool"),
        RunValue(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Tool"),
        RunValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", L"Agent"),
        RunValue(HKEY_CURRENT_USER, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", L"Once"),
        Shortcut(HKEY_CURRENT_USER, L"Notes.lnk"),
        Shortcut(HKEY_LOCAL_MACHINE, L"Notes.lnk"),
        RunValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Zürich tool"),
    };
    const wchar_t* ids[] = {L"hkcu-run:Tool",          L"hklm-run:Tool",
                            L"hklm-run32:Agent",       L"hkcu-runonce32:Once",
                            L"startup-folder:Notes.lnk", L"common-startup-folder:Notes.lnk",
                            L"hkcu-run:Zürich tool"};
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(cli::StartupId(items[i]), ids[i]);
        EXPECT_EQ(cli::FindStartupEntry(items, ids[i]), i) << engine::Utf8FromWide(ids[i]);
    }
    struct Case {
        const wchar_t* word;
        std::optional<std::size_t> index;
    };
    const Case cases[] = {
        {L"HKLM-RUN:tool", 1},  {L"Startup-Folder:NOTES.LNK", 4}, {L"hkcu-run:zÜrich tool", 6},
        {L"1", 0},              {L"7", 6},                       {L"8", std::nullopt},
        {L"0", std::nullopt},   {L"hkcu-run:", std::nullopt},   {L"Tool", std::nullopt},
        {L"hklm-run:Tool2", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(cli::FindStartupEntry(items, c.word), c.index) << engine::Utf8FromWide(c.word);
}

}  // namespace
