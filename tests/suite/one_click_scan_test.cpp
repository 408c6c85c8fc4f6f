// "Scan All" through the native function table, with a recording page, on a
// junk fixture; and the health display it leaves behind.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <ctime>

#include "app/bridge_table.h"
#include "core/keep_list.h"
#include "core/script_bridge.h"
#include "core/settings_store.h"
#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "junk/app_caches.h"
#include "junk/junk_categories.h"
#include "junk/junk_lists.h"
#include "suite/health_rules.h"
#include "suite/health_status.h"
#include "support/bridge_call.h"
#include "support/junk_fixtures.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;

using testsupport::CallNative;

class OneClickScan : public junktest::JunkListsTest {
protected:
    testsupport::TempDir root;
    // Every junk category's folders lie in the fixture.
    junktest::ScopedUserTemp userTemp{root / L"temp"};
    junktest::ScopedVariable systemRoot{L"SYSTEMROOT", root / L"windows"};
    junktest::ScopedVariable allUsers{L"ALLUSERSPROFILE", root / L"programdata"};
    junktest::ScopedVariable profile{L"USERPROFILE", root / L"profile"};
};

TEST_F(OneClickScan, ReportsEveryCategoryThenStoresScoreTimeAndTotals) {
    junktest::MakeFile(root / L"temp\\a.tmp", 300);
    junktest::MakeFile(root / L"windows\\Prefetch\\APP.pf", 4096);
    // The home page asks for the health display first, which makes the
    // program's key; the scan stores its score only into an existing key.
    CallNative("getHealthStatus");
    testsupport::PublishedHost page;
    ASSERT_EQ(CallNative("HomeScan"), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(core::ZoneBits().load(), 0u);

    const auto reports = page.CallsOf("SetErrorNumAndSize");
    ASSERT_EQ(reports.size(), 28u);
    int expectedScore = 100;
    int registryIssues = 0;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const auto& row = reports[i].args.at(0).Items();
        const int group = i < 7 ? 0 : 1;
        const int category = i < 7 ? static_cast<int>(i) : static_cast<int>(i) - 7;
        EXPECT_EQ(row[2], Value(group));
        EXPECT_EQ(row[3], Value(category));
        EXPECT_EQ(row[4], Value(1));
        const int count = *row[0].AsInt();
        if (group == 0) registryIssues += count;
        if (count > 0) expectedScore -= group == 0 ? registry::kRegistryCategoryWeight : junk::CategoryWeight(category);
    }
    // Temporary files (300 bytes) and prefetch files (4096 bytes) were found.
    EXPECT_EQ(reports[7].args[0].Items()[0], Value(1));
    EXPECT_EQ(reports[7].args[0].Items()[1], Value(L"300"));
    std::vector<Value> progress;
    for (const auto& call : page.CallsOf("SetScanProcess")) progress.push_back(Value::Array(call.args));
    ASSERT_EQ(progress.size(), 28u);
    for (int i = 0; i < 28; ++i) EXPECT_EQ(progress[i], Value::Array({(i + 1) * 100 / 28, 1}));

    const Value status = CallNative("getHealthStatus");
    ASSERT_EQ(status.Items().size(), 9u);
    EXPECT_EQ(status.Items()[1], Value(L"0 1"));
    EXPECT_EQ(status.Items()[2], Value(expectedScore));
    EXPECT_EQ(status.Items()[5], Value(L"4396"));
    EXPECT_EQ(status.Items()[7], Value(registryIssues));
    EXPECT_EQ(status.Items()[6], Value(0));
    EXPECT_EQ(status.Items()[8], Value(0));
}

TEST_F(OneClickScan, StoppedScanStoresNothing) {
    core::WriteLastOneClickTime(L"2001-02-03 04:05:06");
    core::WriteWaitCleanSize(777);
    testsupport::PublishedHost page;
    page.onCall = [](std::string_view name, const std::vector<Value>&) {
        if (name == "SetScanProcess") app::NativeFunctions().Call("StopWorking", {});
    };
    ASSERT_EQ(CallNative("HomeScan"), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(page.CallsOf("SetErrorNumAndSize").size(), 1u);
    EXPECT_EQ(core::ReadLastOneClickTime(), std::wstring(L"2001-02-03 04:05:06"));
    EXPECT_EQ(core::ReadWaitCleanSize(), L"777");
}

// Stop on the home page, then Clean at once: the stopped scan is still
// finishing its current unit, so the clean is refused; once the scan has
// ended (reporting nothing more), the clean of what it found starts. Never
// do both run at once.
TEST_F(OneClickScan, StopThenCleanIsRefusedUntilTheStoppedScanHasEnded) {
    // The keep list the clean reads before it starts.
    const testsupport::ScratchDatabase database;
    junktest::MakeFile(root / L"temp\\a.tmp", 300);
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    testsupport::PublishedHost page;
    // The page holds the scan in its first progress report.
    page.onCall = [&](std::string_view name, const std::vector<Value>&) {
        if (name != "SetScanProcess") return;
        SetEvent(held);
        WaitForSingleObject(release, 10000);
    };
    ASSERT_EQ(CallNative("HomeScan"), Value(0));
    ASSERT_EQ(WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(CallNative("StopWorking"), Value(0));
    EXPECT_EQ(CallNative("GetPopupZoneBit"), Value(0));
    const std::wstring selection = LR"([{"first":1,"second":0},{"first":0,"second":2}])";
    const Value refused = CallNative("RepairChoose", {selection, 8});
    EXPECT_EQ(refused, Value(static_cast<int>(core::HOME_SCAN_WORKING)));
    EXPECT_EQ(CallNative("HomeScan"), refused);
    SetEvent(release);
    ASSERT_TRUE(testsupport::WaitForWorkers());
    const std::size_t reportsWhenStopped = page.CallsOf("SetErrorNumAndSize").size();
    EXPECT_EQ(reportsWhenStopped, 1u);
    EXPECT_TRUE(page.CallsOf("SetCleanEnd").empty());
    EXPECT_TRUE(testsupport::Exists(root / L"temp\\a.tmp"));

    page.onCall = nullptr;
    ASSERT_EQ(CallNative("RepairChoose", {selection, 8}), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(page.CallsOf("SetErrorNumAndSize").size(), reportsWhenStopped);
    EXPECT_EQ(page.CallsOf("GetAllItemInfo").size(), 1u);
    // The scan stopped in the registry phase: no junk was listed, none deleted.
    EXPECT_TRUE(testsupport::Exists(root / L"temp\\a.tmp"));
    CloseHandle(release);
    CloseHandle(held);
}

// The keep list as the user edits it (in the database) against Scan All and
// its clean: kept files are not listed, a kept folder keeps all below it but
// not a sibling sharing its name's start, and a file kept after the scan
// listed it (by orvane, meanwhile) is still not deleted by the clean.
TEST_F(OneClickScan, KeptFilesAreNeitherListedNorDeletedByScanAllAndItsClean) {
    const testsupport::ScratchDatabase database;
    struct Forgotten {
        ~Forgotten() { core::PublishKeptItems({}); }
    } forgotten;
    for (const wchar_t* name : {L"keep.tmp", L"Kept Folder\\inner.tmp", L"Kept Folderx\\sibling.tmp", L"late.tmp",
                                L"gone.tmp"})
        junktest::MakeFile(root / (std::wstring(L"temp\\") + name), 100);
    ASSERT_EQ(core::KeepItem(root / L"TEMP\\KEEP.TMP"), core::KeepResult::Done);
    ASSERT_EQ(core::KeepItem(root / L"temp\\kept folder\\"), core::KeepResult::Done);
    testsupport::PublishedHost page;
    ASSERT_EQ(CallNative("HomeScan"), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    const auto reports = page.CallsOf("SetErrorNumAndSize");
    ASSERT_EQ(reports.size(), 28u);
    EXPECT_EQ(reports[7].args[0].Items()[0], Value(3));  // sibling, late and gone
    EXPECT_EQ(reports[7].args[0].Items()[1], Value(L"300"));

    // Kept as orvane keeps it, from another process: only the database knows.
    ASSERT_TRUE(db::Database(db::Store::Machine).AddKeepItem(root / L"temp\\late.tmp"));
    ASSERT_EQ(CallNative("RepairChoose", {LR"([{"first":1,"second":0}])", 8}), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    for (const wchar_t* name : {L"keep.tmp", L"Kept Folder\\inner.tmp", L"late.tmp"})
        EXPECT_TRUE(testsupport::Exists(root / (std::wstring(L"temp\\") + name))) << name;
    for (const wchar_t* name : {L"Kept Folderx\\sibling.tmp", L"gone.tmp"})
        EXPECT_FALSE(testsupport::Exists(root / (std::wstring(L"temp\\") + name))) << name;
}

// An idle browser's cache in this account's local AppData (as the known
// folder names it) is junk that Scan All finds and the score counts.
TEST_F(OneClickScan, AnIdleBrowsersCacheIsJunkFoundAndCounts) {
    PWSTR local = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)));
    const std::wstring vivaldi = std::wstring(local) + L"\\Vivaldi";
    CoTaskMemFree(local);
    struct Removed {
        std::wstring folder;
        ~Removed() { testsupport::RemoveTree(folder); }
    } removed{vivaldi};
    junktest::MakeFile(vivaldi + L"\\User Data\\Default\\Cache\\Cache_Data\\f_000001", 700);
    junktest::MakeFile(vivaldi + L"\\User Data\\Default\\History", 9);
    CallNative("getHealthStatus");
    testsupport::PublishedHost page;
    ASSERT_EQ(CallNative("HomeScan"), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    const auto reports = page.CallsOf("SetErrorNumAndSize");
    ASSERT_EQ(reports.size(), 28u);
    EXPECT_EQ(reports[7 + junk::kVivaldiCategory].args[0], Value::Array({1, L"700", 1, junk::kVivaldiCategory, 1, 0}));
    // The browsers that are not there are reported absent, for the page to leave out.
    EXPECT_EQ(reports[7 + junk::kBraveCategory].args[0], Value::Array({0, L"0", 1, junk::kBraveCategory, 1, 1}));
    int expectedScore = 100;
    for (const auto& report : reports) {
        const auto& row = report.args.at(0).Items();
        if (*row[0].AsInt() > 0)
            expectedScore -= *row[2].AsInt() == 0 ? registry::kRegistryCategoryWeight : junk::CategoryWeight(*row[3].AsInt());
    }
    EXPECT_LE(expectedScore, 100 - junk::CategoryWeight(junk::kVivaldiCategory));
    EXPECT_EQ(CallNative("getHealthStatus").Items()[2], Value(expectedScore));
    EXPECT_TRUE(testsupport::Exists(vivaldi + L"\\User Data\\Default\\History"));
}

TEST_F(OneClickScan, RefusedWhileTheRegistryPageScans) {
    core::ZoneBits() = core::REG_SCAN_WORKING;
    EXPECT_EQ(CallNative("HomeScan"), Value(2));
    EXPECT_EQ(CallNative("GetPopupZoneBit"), Value(2));
    core::ZoneBits() = 0;
}

TEST(LastScanText, CountsFromTheStoredLocalTime) {
    const std::time_t now = std::time(nullptr);
    const auto storedAgo = [now](long seconds) {
        const std::time_t then = now - seconds;
        wchar_t text[32];
        std::wcsftime(text, 32, L"%Y-%m-%d %H:%M:%S", std::localtime(&then));
        return std::wstring(text);
    };
    struct Case {
        long secondsAgo;
        const wchar_t* text;
    };
    const Case cases[] = {{30 * 60, L"30 1"}, {61 * 60, L"1 2"}, {25 * 3600, L"1 3"}, {3659, L"60 1"}, {-5 * 60, L"-5 1"}};
    for (const Case& c : cases) EXPECT_EQ(suite::LastScanText(storedAgo(c.secondsAgo), now), c.text) << c.secondsAgo;
    for (const wchar_t* never : {L"", L"yesterday", L"1969-12-31 23:59:59", L"2026-12-10 25:00:00"})
        EXPECT_EQ(suite::LastScanText(never, now), suite::kNeverScanned);
}

}  // namespace
