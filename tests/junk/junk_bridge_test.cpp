// The junk page's whole flow through the native function table, with a
// recording page: scan, detail rows, statistics of a selection, clean.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/keep_list.h"
#include "core/script_bridge.h"
#include "core/settings_store.h"
#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "junk/folder_walk.h"
#include "junk/junk_lists.h"
#include "support/bridge_call.h"
#include "support/junk_fixtures.h"
#include "support/linux_links.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using junktest::MakeFile;
using testsupport::Exists;

using testsupport::CallNative;

class JunkPage : public junktest::JunkListsTest {
protected:
    void TearDown() override {
        junktest::RemoveLinuxLink(root / L"temp\\link");
        JunkListsTest::TearDown();
    }
    testsupport::TempDir root;
    testsupport::TempDir outside;
};

TEST_F(JunkPage, ScanRowsSelectionAndCleanThroughTheBridge) {
    // The keep list that the clean reads before it starts.
    const testsupport::ScratchDatabase database;
    // The categories' folders all lie in the fixture: the user's TEMP value,
    // and the variables that name the Windows, profile and program-data folders.
    const junktest::ScopedUserTemp userTemp(root / L"temp");
    const junktest::ScopedVariable systemRoot(L"SYSTEMROOT", root / L"windows");
    const junktest::ScopedVariable allUsers(L"ALLUSERSPROFILE", root / L"programdata");
    const junktest::ScopedVariable profile(L"USERPROFILE", root / L"profile");
    MakeFile(root / L"temp\\a.tmp", 100);
    MakeFile(root / L"temp\\hidden.tmp", 50, FILE_ATTRIBUTE_HIDDEN);
    MakeFile(root / L"temp\\nested\\deep\\b.tmp", 2000);
    MakeFile(root / L"windows\\temp\\c.tmp", 10);
    MakeFile(root / L"windows\\Prefetch\\APP.pf", 4096);
    MakeFile(root / L"profile\\AppData\\Local\\Microsoft\\Windows\\Explorer\\thumbcache_32.db", 30);
    MakeFile(root / L"programdata\\Microsoft\\Windows\\WER\\ReportQueue\\r\\report.wer", 5);
    MakeFile(outside / L"canary.txt", 6);
    ASSERT_TRUE(junktest::MakeLinuxLink(junktest::UnixPath(outside.Path()), root / L"temp\\link"));

    testsupport::PublishedHost page;
    ASSERT_EQ(CallNative("ScanJunkFile", {1}), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(core::ZoneBits().load(), 0u);

    std::vector<Value> reports;
    for (const auto& call : page.CallsOf("SetErrorNumAndSize")) reports.push_back(call.args.at(0));
    ASSERT_EQ(reports.size(), 21u);
    EXPECT_EQ(reports[0], Value::Array({4, L"2160", 1, 0, 4, 0}));
    EXPECT_EQ(reports[6], Value::Array({1, L"4096", 1, 6, 4, 0}));
    EXPECT_EQ(reports[11], Value::Array({1, L"30", 1, 11, 4, 0}));
    EXPECT_EQ(reports[12], Value::Array({1, L"5", 1, 12, 4, 0}));
    for (int category = 13; category < 21; ++category) EXPECT_EQ(reports[category].Items()[3], Value(category));
    std::vector<int> progress;
    for (const auto& call : page.CallsOf("SetScanProcess")) {
        progress.push_back(*call.args.at(0).AsInt());
        EXPECT_EQ(call.args.at(1), Value(4));
    }
    EXPECT_EQ(progress, (std::vector<int>{4, 9, 14, 19, 23, 28, 33, 38, 42, 47, 52, 57, 61, 66, 71, 76, 80, 85, 90, 95,
                                          100}));
    const std::wstring pending = core::ReadWaitCleanSize();
    EXPECT_GE(std::stoll(pending), 2160 + 4096 + 30 + 5);  // the recycle bin adds what it holds

    const std::wstring rows = CallNative("GetErrorDetails", {1, 0, 0, 50}).Text();
    EXPECT_NE(rows.find(LR"({"first":"b.tmp","second":")"), std::wstring::npos) << rows;
    EXPECT_NE(rows.find(LR"(nested\\deep\\","three":"1 KB"})"), std::wstring::npos) << rows;
    EXPECT_EQ(rows.find(L"canary"), std::wstring::npos);
    EXPECT_EQ(CallNative("GetErrorDetails", {1, 0, 4, 50}), Value(L"[]"));

    const std::wstring selection = LR"([{"first":1,"second":0},{"first":1,"second":6},{"first":1,"second":11}] )";
    EXPECT_EQ(CallNative("GetChooseStatistics", {selection, 1}),
              Value(LR"([{"first":1,"second":0,"three":4,"four":"2160"},{"first":1,"second":6,"three":1,)"
                    LR"("four":"4096"},{"first":1,"second":11,"three":1,"four":"30"}])"));

    ASSERT_EQ(CallNative("RepairChoose", {selection, 32}), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(core::ZoneBits().load(), 0u);

    EXPECT_FALSE(Exists(root / L"temp\\a.tmp"));
    EXPECT_FALSE(Exists(root / L"temp\\hidden.tmp"));
    EXPECT_FALSE(Exists(root / L"temp\\nested\\deep"));
    EXPECT_FALSE(Exists(root / L"windows\\temp\\c.tmp"));
    EXPECT_TRUE(Exists(root / L"windows\\temp"));  // a category's own folder stays
    EXPECT_FALSE(Exists(root / L"windows\\Prefetch\\APP.pf"));
    EXPECT_TRUE(Exists(root / L"programdata\\Microsoft\\Windows\\WER\\ReportQueue\\r\\report.wer"));
    EXPECT_TRUE(Exists(outside / L"canary.txt"));

    std::vector<Value> ends;
    for (const auto& call : page.CallsOf("SetCleanEnd")) ends.push_back(call.args.at(0));
    EXPECT_EQ(ends, (std::vector<Value>{Value::Array({4, L"2160", 1, 0, 32}), Value::Array({1, L"4096", 1, 6, 32}),
                                        Value::Array({1, L"30", 1, 11, 32})}));
    EXPECT_EQ(core::ReadWaitCleanSize(), std::to_wstring(std::stoll(pending) - 2160 - 4096 - 30));
    const auto info = page.CallsOf("GetAllItemInfo");
    ASSERT_EQ(info.size(), 1u);
    const std::wstring summaries = info[0].args.at(0).Text();
    EXPECT_EQ(std::count(summaries.begin(), summaries.end(), L'{'), 29);
    EXPECT_NE(summaries.find(LR"({"first":1,"second":12,"three":1,"four":"5","five":0})"), std::wstring::npos);
    EXPECT_NE(summaries.find(LR"({"first":1,"second":6,"three":0,"four":"0","five":0})"), std::wstring::npos);
    EXPECT_EQ(page.Calls().back().name, "GetAllItemInfo");
}

// The detail window's Keep: the row at a position of the list is kept (its
// full path) and leaves the list; refused while a task works on the lists;
// the list of files that could not be deleted keeps nothing.
TEST_F(JunkPage, KeepingARowKeepsItsPathAndTakesItOffTheList) {
    const testsupport::ScratchDatabase database;
    struct Forgotten {
        ~Forgotten() { core::PublishKeptItems({}); }
    } forgotten;
    MakeFile(root / L"one.tmp", 10);
    MakeFile(root / L"two.tmp", 20);
    junk::ScanJunkFolder(junk::JunkList(0), junk::EmptyFolderList(0), root.Path(), junk::kWalkAll);
    ASSERT_EQ(junk::JunkList(0).Count(), 2u);
    const std::wstring second = junk::JunkList(0).PathOf(junk::JunkList(0)[1]);
    const std::wstring first = junk::JunkList(0).PathOf(junk::JunkList(0)[0]);

    core::ZoneBits() = core::REG_SCAN_WORKING;
    EXPECT_EQ(CallNative("KeepListedItem", {1, 0, 1}), Value(2));
    core::ZoneBits() = 0;
    for (const std::vector<Value>& refused : std::vector<std::vector<Value>>{{1, 0, 2}, {1, 0, -1}, {1, junk::kJunkCategoryCount, 0}, {2, 0, 0}, {7, 0, 0}})
        EXPECT_EQ(CallNative("KeepListedItem", refused), Value(1)) << refused[0].ToText() << refused[2].ToText();
    EXPECT_EQ(junk::JunkList(0).Count(), 2u);

    EXPECT_EQ(CallNative("KeepListedItem", {1, 0, 1}), Value(0));
    ASSERT_EQ(junk::JunkList(0).Count(), 1u);
    EXPECT_EQ(junk::JunkList(0).PathOf(junk::JunkList(0)[0]), first);
    EXPECT_EQ(junk::JunkList(0).Total(), first.ends_with(L"one.tmp") ? 10u : 20u);
    EXPECT_EQ(CallNative("GetKeepList"), Value::Array({second}));
    EXPECT_TRUE(common::IsKept(*core::KeptItemsNow(), second));

    EXPECT_EQ(CallNative("UnkeepItem", {second}), Value(0));
    EXPECT_EQ(CallNative("UnkeepItem", {second}), Value(1));
    EXPECT_EQ(CallNative("GetKeepList"), Value::Array());
    EXPECT_FALSE(common::IsKept(*core::KeptItemsNow(), second));
}

TEST_F(JunkPage, AStoppedScanStoresWhatItFoundAndReportsNoMore) {
    const junktest::ScopedUserTemp userTemp(root / L"temp");
    const junktest::ScopedVariable systemRoot(L"SYSTEMROOT", root / L"windows");
    MakeFile(root / L"temp\\a.tmp", 100);
    MakeFile(root / L"windows\\WinSxS\\Backup\\x.bak", 11);
    testsupport::PublishedHost page;
    page.onCall = [](std::string_view name, const std::vector<Value>& args) {
        if (name == "SetScanProcess" && args.at(0) == Value(4)) CallNative("StopWorking");
    };
    ASSERT_EQ(CallNative("ScanJunkFile", {0}), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(page.CallsOf("SetErrorNumAndSize").size(), 1u);
    EXPECT_EQ(core::ReadWaitCleanSize(), L"100");
    EXPECT_EQ(CallNative("ScanJunkFile", {0}), Value(0));  // a new scan may start
    ASSERT_TRUE(testsupport::WaitForWorkers());
}

}  // namespace
