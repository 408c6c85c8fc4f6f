#include "junk/junk_clean.h"
#include "junk/junk_exports.h"
#include "junk/junk_scan.h"

#include <gtest/gtest.h>

#include "app/bridge_table.h"
#include "core/script_bridge.h"
#include "core/settings_store.h"
#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "db/scratch_database.h"
#include "junk/folder_walk.h"
#include "support/junk_fixtures.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using junktest::MakeFile;
using junktest::MakeFolder;
using testsupport::Exists;

class JunkClean : public junktest::JunkListsTest {
protected:
    void SetUp() override {
        JunkListsTest::SetUp();
        RegDeleteTreeW(HKEY_CURRENT_USER, core::kProductKey);
        core::ReadHealthScore();  // creates the product key, as at every start
    }
    // Scans `dir` into category `category` as the junk scan does.
    void Scan(int category) {
        junk::ScanJunkFolder(junk::JunkList(category), junk::EmptyFolderList(category), dir.Path(), junk::kWalkAll);
    }
    // Runs a clean on this thread as the worker would, started from `page`
    // (the junk page unless said).
    void Clean(const std::wstring& selection, std::uint32_t page = core::JUNKFILE_CLEAN_WORKING) {
        const core::TaskScope task;
        core::ZoneBits() = page;
        junk::RunClean(junk::ParseSelection(selection));
    }
    std::vector<Value> CleanEnds() {
        std::vector<Value> ends;
        for (const auto& call : host.CallsOf("SetCleanEnd")) ends.push_back(call.args.at(0));
        return ends;
    }
    testsupport::TempDir dir;
    testsupport::PublishedHost host;
};

// A file held open by another handle that does not share deletion.
class HeldOpen {
public:
    explicit HeldOpen(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~HeldOpen() { CloseHandle(file_); }

private:
    HANDLE file_;
};

TEST_F(JunkClean, CleanJunkFileDeletesWhateverTheAttributesButNotFoldersOrOpenFiles) {
    struct Case {
        const wchar_t* name;
        DWORD attributes;
        int result;
    };
    const Case cases[] = {{L"plain.tmp", 0, 1},
                          {L"readonly.tmp", FILE_ATTRIBUTE_READONLY, 1},
                          {L"hidden.tmp", FILE_ATTRIBUTE_HIDDEN, 1},
                          {L"system.tmp", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY, 1}};
    for (const Case& c : cases) {
        MakeFile(dir / c.name, 4, c.attributes);
        EXPECT_EQ(junk::CleanJunkFile(c.name, dir.Path() + L"\\"), c.result) << c.name;
        EXPECT_FALSE(Exists(dir / c.name)) << c.name;
    }
    MakeFile(dir / L"open.tmp", 4);
    {
        const HeldOpen held(dir / L"open.tmp");
        EXPECT_EQ(junk::CleanJunkFile(L"open.tmp", dir.Path() + L"\\"), 0);
    }
    EXPECT_TRUE(Exists(dir / L"open.tmp"));
    // A file that is gone already counts as cleaned.
    EXPECT_EQ(junk::CleanJunkFile(L"missing.tmp", dir.Path() + L"\\"), 1);
    MakeFolder(dir / L"folder");
    EXPECT_EQ(junk::CleanJunkFile(L"folder", dir.Path() + L"\\"), 0);
    EXPECT_TRUE(Exists(dir / L"folder"));
    // The exported entry, as an outside caller reaches it.
    MakeFile(dir / L"exported.tmp", 1, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(JunkFileCleanerCleanJunkFile(L"exported.tmp", (dir.Path() + L"\\").c_str(), 0), 1);
    EXPECT_FALSE(Exists(dir / L"exported.tmp"));
    EXPECT_EQ(JunkFileCleanerCleanJunkFile(nullptr, dir.Path().c_str(), 0), 0);
}

TEST_F(JunkClean, UndeletableFilesAreRememberedOnceAndHiddenFromTheNextScan) {
    MakeFile(dir / L"gone.tmp", 100);
    MakeFile(dir / L"locked.tmp", 50);
    MakeFile(dir / L"other\\locked.tmp", 7);
    const HeldOpen held(dir / L"locked.tmp");
    for (int round = 0; round < 2; ++round) {
        Scan(0);
        Clean(LR"([{"first":1,"second":0}])");
        EXPECT_EQ(junk::Undeletables().Count(), 1u);
        EXPECT_EQ(junk::Undeletables().Total(), 50u);
    }
    EXPECT_FALSE(Exists(dir / L"gone.tmp"));
    EXPECT_TRUE(Exists(dir / L"locked.tmp"));
    // The same name in another folder is still junk.
    MakeFile(dir / L"other\\locked.tmp", 7);
    Scan(0);
    junk::Undeletables().RemoveListed(junk::JunkList(0));
    EXPECT_EQ(junktest::PathsOf(junk::JunkList(0)), std::vector<std::wstring>{dir / L"other\\locked.tmp"});
    EXPECT_EQ(junk::JunkList(0).Total(), 7u);
}

TEST_F(JunkClean, DeletingTheLastFilesRemovesTheFoldersLeftWithoutFilesButNotTheWalkedFolder) {
    MakeFile(dir / L"top.tmp", 1);
    MakeFile(dir / L"a\\b\\one.tmp", 1);
    MakeFolder(dir / L"a\\b\\c\\d");
    MakeFile(dir / L"kept\\x.tmp", 1);
    MakeFile(dir / L"kept\\system.dat", 1, FILE_ATTRIBUTE_SYSTEM);  // not collected: keeps its folder
    MakeFolder(dir / L"empty\\inner");
    Scan(0);
    Clean(LR"([{"first":1,"second":0}])");
    EXPECT_TRUE(Exists(dir.Path()));
    EXPECT_FALSE(Exists(dir / L"top.tmp"));
    EXPECT_FALSE(Exists(dir / L"a\\b"));
    // Tidying the walked folder after top.tmp went also removed the sub-tree
    // that b's removal had left without files.
    EXPECT_FALSE(Exists(dir / L"a"));
    EXPECT_FALSE(Exists(dir / L"empty"));
    EXPECT_TRUE(Exists(dir / L"kept\\system.dat"));
    EXPECT_FALSE(Exists(dir / L"kept\\x.tmp"));
    SetFileAttributesW((dir / L"kept\\system.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(JunkClean, ReportsEachCategoryAndTheStatisticsAtTheEnd) {
    MakeFile(dir / L"a.tmp", 1000);
    MakeFile(dir / L"b.tmp", 24);
    Scan(0);
    core::WriteWaitCleanSize(5000);
    core::WriteRegistryIssueCount(3);
    core::WriteHealthScore(60);
    Clean(LR"([{"first":1,"second":0},{"first":1,"second":10},{"first":9,"second":0},{"first":1,"second":99}])");
    EXPECT_EQ(CleanEnds(), (std::vector<Value>{Value::Array({2, L"1024", 1, 0, 32}), Value::Array({0, L"0", 1, 10, 32})}));
    std::vector<int> progress;
    for (const auto& call : host.CallsOf("SetScanProcess")) progress.push_back(*call.args.at(0).AsInt());
    EXPECT_EQ(progress, (std::vector<int>{25, 50, 75, 100, 100}));
    EXPECT_EQ(core::ReadWaitCleanSize(), L"3976");
    EXPECT_EQ(core::ReadRegistryIssueCount(), 3u);
    EXPECT_EQ(core::ReadHealthScore(), 62u);  // only the non-empty category earns its weight
    EXPECT_EQ(core::ZoneBits().load(), 0u);
    const auto info = host.CallsOf("GetAllItemInfo");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_NE(info[0].args.at(0).Text().find(LR"({"first":1,"second":0,"three":0,"four":"0","five":0})"), std::wstring::npos);
    EXPECT_EQ(junk::JunkList(0).Count(), 0u);
}

TEST_F(JunkClean, AFailedCategoryGivesItsHealthBackAndTheScoreStaysWithin100) {
    MakeFile(dir / L"locked.tmp", 1);
    const HeldOpen held(dir / L"locked.tmp");
    Scan(6);
    core::WriteHealthScore(99);
    Clean(LR"([{"first":1,"second":6}])");
    EXPECT_EQ(core::ReadHealthScore(), 99u);
    MakeFile(dir / L"free\\free.tmp", 1);
    junk::ResetJunkLists();
    junk::ScanJunkFolder(junk::JunkList(1), junk::EmptyFolderList(1), dir / L"free", junk::kWalkAll);
    Clean(LR"([{"first":1,"second":1}])");
    EXPECT_EQ(core::ReadHealthScore(), 100u);
}

// The file-free folders a category's scan listed go only with a clean of
// that category: an empty selection, a registry-only clean or a clean of
// another category finishes and leaves them.
TEST_F(JunkClean, EmptyFoldersGoOnlyWithACleanOfTheCategoryThatListedThem) {
    const testsupport::ScratchDatabase database;  // where a registry clean records itself
    MakeFolder(dir / L"x\\y");
    Scan(0);
    const std::size_t listed = junk::EmptyFolderList(0).Count();
    ASSERT_GT(listed, 0u);
    core::WriteWaitCleanSize(77);
    const wchar_t* const others[] = {L"[] ", LR"([{"first":0,"second":2}])", LR"([{"first":1,"second":1}])"};
    for (const wchar_t* selection : others) {
        const std::size_t finished = host.CallsOf("GetAllItemInfo").size();
        Clean(selection);
        EXPECT_TRUE(Exists(dir / L"x\\y")) << selection;
        EXPECT_EQ(junk::EmptyFolderList(0).Count(), listed) << selection;
        EXPECT_EQ(host.CallsOf("GetAllItemInfo").size(), finished + 1) << selection;
    }
    EXPECT_EQ(core::ReadWaitCleanSize(), L"77");
    Clean(LR"([{"first":1,"second":0}])");
    EXPECT_FALSE(Exists(dir / L"x"));
    EXPECT_EQ(junk::EmptyFolderList(0).Count(), 0u);
}

// What could not be deleted is neither cleaned nor freed, whichever page
// started the clean (the home page, the junk page, the detail window): the
// page hears what went, the undeletable row shows what stayed, the stored
// size still waits for it and the category earns no health. A file gone by
// itself since the scan is cleaned but frees nothing now.
TEST_F(JunkClean, OnlyWhatWentCountsAsCleaned) {
    for (const std::uint32_t page :
         {core::HOME_CLEAN_WORKING, core::JUNKFILE_CLEAN_WORKING, core::POPUP_WINDOWS_CLEAN_WORKING}) {
        SCOPED_TRACE(page);
        MakeFile(dir / L"deleted.tmp", 1000);
        MakeFile(dir / L"vanished.tmp", 200);
        MakeFile(dir / L"held.tmp", 24);
        Scan(0);
        ASSERT_TRUE(DeleteFileW((dir / L"vanished.tmp").c_str()));
        core::WriteWaitCleanSize(5000);
        core::WriteHealthScore(60);
        {
            const HeldOpen held(dir / L"held.tmp");
            Clean(LR"([{"first":1,"second":0}])", page);
        }
        EXPECT_EQ(CleanEnds().back(), Value::Array({2, L"1000", 1, 0, static_cast<int>(page)}));
        EXPECT_EQ(core::ReadWaitCleanSize(), L"3800");
        EXPECT_EQ(core::ReadHealthScore(), 60u);
        EXPECT_TRUE(Exists(dir / L"held.tmp"));
        const std::wstring summary = host.CallsOf("GetAllItemInfo").back().args.at(0).Text();
        EXPECT_NE(summary.find(LR"({"first":2,"second":0,"three":1,"four":"24"})"), std::wstring::npos) << summary;
        junk::ResetJunkLists();
        junk::Undeletables().Clear();
        ASSERT_TRUE(DeleteFileW((dir / L"held.tmp").c_str()));
    }
}

TEST_F(JunkClean, StoppingBetweenCategoriesLeavesTheRestAndTheStatistics) {
    MakeFile(dir / L"first\\a.tmp", 10);
    MakeFile(dir / L"second\\b.tmp", 10);
    junk::ScanJunkFolder(junk::JunkList(0), junk::EmptyFolderList(0), dir / L"first", junk::kWalkAll);
    junk::ScanJunkFolder(junk::JunkList(1), junk::EmptyFolderList(1), dir / L"second", junk::kWalkAll);
    core::WriteWaitCleanSize(20);
    core::WriteHealthScore(50);
    host.onCall = [](std::string_view name, const std::vector<Value>&) {
        if (name == "SetCleanEnd") core::RaiseStopFlag();
    };
    Clean(LR"([{"first":1,"second":0},{"first":1,"second":1}])");
    EXPECT_FALSE(Exists(dir / L"first\\a.tmp"));
    EXPECT_TRUE(Exists(dir / L"second\\b.tmp"));
    EXPECT_EQ(junk::JunkList(1).Count(), 1u);
    EXPECT_EQ(core::ReadWaitCleanSize(), L"20");
    EXPECT_EQ(core::ReadHealthScore(), 50u);
    EXPECT_TRUE(host.CallsOf("GetAllItemInfo").empty());
    EXPECT_EQ(core::ZoneBits().load(), 0u);
}

TEST_F(JunkClean, RepairChooseStartsOnlyFromACleanPageAndNotBesideAnotherClean) {
    // The keep list that the clean reads before it starts.
    const testsupport::ScratchDatabase database;
    const auto repair = [](Value selection, Value page) {
        const std::vector<Value> args = {selection, page};
        return *app::NativeFunctions().Call("RepairChoose", args)->AsInt();
    };
    EXPECT_EQ(repair(L"[]", 4), -3);
    EXPECT_EQ(repair(L"[]", L"32"), -3);
    core::ZoneBits() = 0x20 | 0x02;
    EXPECT_EQ(repair(L"[]", 8), 0x22);
    core::ZoneBits() = 0x04;  // a junk page scan does not block a clean
    EXPECT_EQ(repair(L"not json", 128), 0);
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(core::ZoneBits().load(), 0x04u);
    EXPECT_EQ(host.CallsOf("GetAllItemInfo").size(), 1u);
}

// A long list is deleted by two threads, each taking one half; a stop
// reaches both, each ending after the file it was deleting.
TEST_F(JunkClean, ALongListIsSharedByTwoThreadsThatBothStop) {
    const auto make = [this] {
        for (int i = 0; i < 300; ++i) MakeFile(dir / (L"f" + std::to_wstring(i / 100) + L"\\" + std::to_wstring(i)), 1);
    };
    const auto left = [this] {
        int files = 0;
        for (int i = 0; i < 300; ++i) files += Exists(dir / (L"f" + std::to_wstring(i / 100) + L"\\" + std::to_wstring(i)));
        return files;
    };
    make();
    Scan(0);
    {
        const core::TaskScope task;
        core::RaiseStopFlag();
        junk::CleanRun run;
        junk::CleanJunkCategory(0, run);
    }
    EXPECT_EQ(left(), 298);
    junk::ResetJunkLists();
    make();
    MakeFile(dir / L"f2\\held.tmp", 1);
    Scan(0);
    const HeldOpen held(dir / L"f2\\held.tmp");
    Clean(LR"([{"first":1,"second":0}])");
    EXPECT_EQ(left(), 0);
    EXPECT_FALSE(Exists(dir / L"f0"));
    EXPECT_FALSE(Exists(dir / L"f1"));
    EXPECT_TRUE(Exists(dir / L"f2\\held.tmp"));
    EXPECT_EQ(junk::Undeletables().Count(), 1u);
}

// No page makes a selection of more than a few hundred characters.
TEST_F(JunkClean, AHugeSelectionTextIsRefusedBeforeItIsRead) {
    std::wstring huge = L"[";
    while (huge.size() <= junk::kLongestSelectionText) huge += LR"({"first":1,"second":0},)";
    huge.back() = L']';
    const auto call = [](std::string_view name, std::vector<Value> args) {
        return *app::NativeFunctions().Call(name, args);
    };
    EXPECT_EQ(call("RepairChoose", {huge, 32}), Value(-3));
    EXPECT_EQ(call("CleanSystemFile", {huge, 11}), Value(-3));
    EXPECT_EQ(call("GetChooseStatistics", {huge, 1}), Value(L"[]"));
    EXPECT_EQ(core::ZoneBits().load(), 0u);
    EXPECT_EQ(core::LiveWorkerBits(), 0u);
}

TEST_F(JunkClean, RemoveEmptyFolderTreeKeepsEveryFolderThatHoldsAFile) {
    MakeFolder(dir / L"gone\\a\\b");
    MakeFolder(dir / L"gone\\c");
    EXPECT_NE(junk::RemoveEmptyFolderTree(dir / L"gone"), 0);
    EXPECT_FALSE(Exists(dir / L"gone"));
    MakeFile(dir / L"stays\\file.txt", 1);
    MakeFolder(dir / L"stays\\empty\\deeper");
    MakeFile(dir / L"stays\\full\\f.txt", 1);
    EXPECT_EQ(junk::RemoveEmptyFolderTree(dir / L"stays\\"), 0);
    EXPECT_FALSE(Exists(dir / L"stays\\empty"));
    EXPECT_TRUE(Exists(dir / L"stays\\full\\f.txt"));
    EXPECT_EQ(junk::RemoveEmptyFolderTree(dir / L"missing"), 0);
}

TEST_F(JunkClean, CheckRegistryKeyMakesTheValueAProperString) {
    const wchar_t* key = L"Software\\Quillmark\\Quillmark Orvane\\qo-test-check";
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    const auto value = [key](DWORD& type) {
        BYTE data[2048];
        DWORD size = sizeof(data);
        if (RegGetValueW(HKEY_CURRENT_USER, key, L"V", RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != ERROR_SUCCESS)
            return std::wstring(L"<missing>");
        return std::wstring(reinterpret_cast<wchar_t*>(data), size / 2);
    };
    DWORD type = 0;
    junk::CheckJunkRegistryKey(key, L"V", 0);
    EXPECT_EQ(value(type), L"<missing>");
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    junk::CheckJunkRegistryKey(key, L"V", 1);
    EXPECT_EQ(value(type), std::wstring(1, L'\0'));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    const DWORD number = 5;
    RegSetKeyValueW(HKEY_CURRENT_USER, key, L"V", REG_DWORD, &number, sizeof(number));
    junk::CheckJunkRegistryKey(key, L"V", 0);
    value(type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    junk::CheckJunkRegistryKey(key, L"V", 1);
    EXPECT_EQ(value(type), std::wstring(1, L'\0'));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    // (An unterminated REG_SZ cannot be shown here: Wine's reader adds the
    // terminator. The text rule is tested on its own with the settings.)
    // A proper string longer than 400 bytes is kept.
    const std::wstring longText(300, L'q');
    RegSetKeyValueW(HKEY_CURRENT_USER, key, L"V", REG_EXPAND_SZ, longText.c_str(), 602);
    junk::CheckJunkRegistryKey(key, L"V", 1);
    EXPECT_EQ(value(type), longText + L'\0');
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

}  // namespace
