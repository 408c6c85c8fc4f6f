// The system disk scan and clean: the four groups, their running totals,
// the clean of the selected groups with the stored amount, the files that
// cannot be deleted, the busy word, and links in the cache folders.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

#include "core/settings_store.h"
#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "disk/disk_test_support.h"
#include "disk/system_disk_clean.h"
#include "disk/system_disk_scan.h"
#include "junk/junk_lists.h"
#include "support/bridge_call.h"
#include "support/linux_links.h"
#include "support/recording_host.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace {

using disktest::MakeOldFile;
using engine::Value;
using testsupport::CallNative;
using testsupport::Exists;

constexpr const wchar_t* kChromeCache = L"profile\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache\\";
constexpr const wchar_t* kFirefox = L"profile\\AppData\\Local\\Mozilla\\Firefox\\";
constexpr const wchar_t* kInternetCache = L"profile\\AppData\\Local\\Microsoft\\Windows\\INetCache\\";

TEST(SystemDiskGroups, FoldersOfEachGroup) {
    junk::CategorySources sources;
    sources.userTemp = L"%USERPROFILE%\\AppData\\Local\\Temp";
    std::wstring profile = L"C:\\Users\\u";
    sources.variable = [&profile](const wchar_t* name) {
        const std::wstring variable = name;
        return variable == L"USERPROFILE" ? profile : variable == L"SYSTEMROOT" ? L"C:\\Windows" : L"";
    };
    sources.expand = [&profile](const std::wstring& path) {
        return path.starts_with(L"%USERPROFILE%") ? profile + path.substr(13) : path;
    };
    sources.localAppData = L"C:\\Users\\u\\AppData\\Local";
    using Folders = std::vector<std::wstring>;
    EXPECT_EQ(disk::GroupFolders(0, sources),
              Folders{L"C:\\Users\\u\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache"});
    EXPECT_EQ(disk::GroupFolders(1, sources), Folders{L"C:\\Users\\u\\AppData\\Local\\Mozilla\\Firefox"});
    EXPECT_EQ(disk::GroupFolders(2, sources), Folders{L"C:\\Users\\u\\AppData\\Local\\Microsoft\\Windows\\INetCache"});
    EXPECT_EQ(disk::GroupFolders(3, sources), (Folders{L"C:\\Users\\u\\AppData\\Local\\Temp", L"C:\\Windows\\temp"}));
    EXPECT_EQ(disk::GroupFolders(4, sources), Folders{});
    // Without USERPROFILE the caches would be looked for at the current
    // drive's root, and the TEMP value names no folder: the account's own
    // temporary folder stays.
    profile.clear();
    EXPECT_EQ(disk::GroupFolders(0, sources), Folders{});
    EXPECT_EQ(disk::GroupFolders(3, sources), (Folders{L"C:\\Users\\u\\AppData\\Local\\Temp", L"C:\\Windows\\temp"}));
    // A profile the environment names outside the account's local AppData
    // holds none of the account's caches.
    profile = L"D:\\Elsewhere";
    EXPECT_EQ(disk::GroupFolders(1, sources), Folders{});
    EXPECT_EQ(disk::GroupFolders(3, sources), (Folders{L"C:\\Users\\u\\AppData\\Local\\Temp", L"C:\\Windows\\temp"}));
}

// The groups' folders all lie in the fixture: the profile, the user's TEMP
// value and the Windows folder.
class SystemDisk : public disktest::DiskStateTest {
protected:
    SystemDisk() { userTemp.Set(root / L"temp"); }
    // The keep list that the clean reads before it starts.
    const testsupport::ScratchDatabase database;
    void TearDown() override {
        links.RemoveAll();
        disktest::DiskStateTest::TearDown();
    }

    std::wstring At(const wchar_t* folder, const wchar_t* name) const { return root / (std::wstring(folder) + name); }
    std::vector<std::vector<Value>> ScanReports() const {
        return disktest::ArgumentsOf(page, "SystemDiskCleanScanData");
    }
    void Scan() {
        ASSERT_EQ(CallNative("SetScandiskEntry"), Value(0));
        ASSERT_TRUE(testsupport::WaitForWorkers());
    }
    void Clean(const wchar_t* selection) {
        ASSERT_EQ(CallNative("CleanSystemFile", {selection, 11}), Value(0));
        ASSERT_TRUE(testsupport::WaitForWorkers());
    }
    static std::uint64_t StoredAmount() { return std::stoull(CallNative("GetDeleteDiskSize").Text()); }
    void Link(const testsupport::TempDir& target, const std::wstring& link) {
        ASSERT_TRUE(links.Make(target.Path(), link));
    }

    testsupport::TempDir root;
    testsupport::TempDir outside;
    testsupport::ScopedVariable profile{L"USERPROFILE", root / L"profile"};
    testsupport::ScopedVariable systemRoot{L"SYSTEMROOT", root / L"windows"};
    testsupport::ScopedUserValue userTemp{L"Environment", L"TEMP"};
    testsupport::ScopedUserValue amount{core::kOneClickKey, L"DiskCleanRubbishSize"};
    testsupport::PublishedHost page;
    testsupport::LinuxLinks links;
};

TEST_F(SystemDisk, ScanReportsRunningTotalsAfterEachGroup) {
    MakeOldFile(At(kChromeCache, L"data_0"), 10);
    MakeOldFile(At(kChromeCache, L"f_000001"), 20);
    MakeOldFile(At(kInternetCache, L"IE\\page.htm"), 30);
    MakeOldFile(root / L"temp\\a.tmp", 40);
    MakeOldFile(root / L"windows\\temp\\b.tmp", 50);
    // Written since Windows started: possibly still in use.
    testsupport::MakeFile(At(kChromeCache, L"f_000002"), 1000);
    MakeOldFile(root / L"temp\\system.tmp", 2000);
    SetFileAttributesW((root / L"temp\\system.tmp").c_str(), FILE_ATTRIBUTE_SYSTEM);

    Scan();

    EXPECT_EQ(ScanReports(), (std::vector<std::vector<Value>>{
                                 {2, L"30", 0}, {2, L"30", 0}, {3, L"60", 0}, {5, L"150", 1}}));
    EXPECT_EQ(core::ZoneBits().load(), 0u);
    EXPECT_EQ(disk::SystemDiskList(3).Count(), 2u);
}

TEST_F(SystemDisk, FilesThatFailedToDeleteAreLeftOutOfTheScan) {
    MakeOldFile(At(kFirefox, L"cache2\\entries\\A1"), 7);
    MakeOldFile(At(kInternetCache, L"A1"), 9);
    junk::JunkFileList failed;
    failed.Add(L"A1", failed.AddFolder(At(kFirefox, L"cache2\\entries\\"), 0), 7);
    junk::Undeletables().Add(L"A1", failed.FolderOf(failed[0]), 7);

    Scan();

    EXPECT_EQ(ScanReports().back(), (std::vector<Value>{1, L"9", 1}));
}

TEST_F(SystemDisk, CleanDeletesTheSelectedGroupsAndStoresTheAmount) {
    MakeOldFile(At(kChromeCache, L"data_0"), 1000);
    MakeOldFile(At(kInternetCache, L"page.htm"), 300);
    MakeOldFile(root / L"temp\\a.tmp", 40);
    Scan();

    // Elements of another kind or group are skipped.
    Clean(LR"([{"first":3,"second":0},{"first":1,"second":2},{"first":3,"second":9},{"FIRST":3,"Second":3}])");
    EXPECT_FALSE(Exists(At(kChromeCache, L"data_0")));
    EXPECT_FALSE(Exists(root / L"temp\\a.tmp"));
    EXPECT_TRUE(Exists(At(kInternetCache, L"page.htm")));
    EXPECT_TRUE(Exists(At(kChromeCache, L"")));  // folders stay
    EXPECT_EQ(StoredAmount(), 1040u);
    EXPECT_TRUE(disk::SystemDiskList(0).Empty());
    EXPECT_EQ(disk::SystemDiskList(2).Count(), 1u);
    EXPECT_EQ(core::ZoneBits().load(), 0u);

    // The stored amount is that of the last clean alone.
    Clean(LR"([{"first":3,"second":2}])");
    EXPECT_FALSE(Exists(At(kInternetCache, L"page.htm")));
    EXPECT_EQ(StoredAmount(), 300u);
}

// ... and one gone by itself since the scan frees nothing now.
TEST_F(SystemDisk, AFileInUseStaysListedAsUndeletableAndUncounted) {
    MakeOldFile(root / L"temp\\locked.tmp", 64);
    MakeOldFile(root / L"temp\\free.tmp", 8);
    MakeOldFile(root / L"temp\\vanished.tmp", 500);
    Scan();
    ASSERT_TRUE(DeleteFileW((root / L"temp\\vanished.tmp").c_str()));
    {
        const HANDLE held = CreateFileW((root / L"temp\\locked.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        Clean(LR"([{"first":3,"second":3}])");
        CloseHandle(held);
    }
    EXPECT_TRUE(Exists(root / L"temp\\locked.tmp"));
    EXPECT_FALSE(Exists(root / L"temp\\free.tmp"));
    EXPECT_EQ(StoredAmount(), 8u);
    EXPECT_EQ(junk::Undeletables().Count(), 1u);
    EXPECT_EQ(junk::Undeletables().Total(), 64u);

    // Failing again does not list it twice; a later scan leaves it out.
    Scan();
    EXPECT_EQ(ScanReports().back(), (std::vector<Value>{0, L"0", 1}));
}

TEST_F(SystemDisk, AStoppedCleanDropsTheRestWithoutDeletingIt) {
    MakeOldFile(root / L"temp\\a.tmp", 5);
    Scan();
    const core::TaskScope task;
    core::RaiseStopFlag();
    core::ZoneBits() = core::DISK_WORKING;
    disk::RunSystemDiskClean({{3, 3}});
    EXPECT_TRUE(Exists(root / L"temp\\a.tmp"));
    EXPECT_TRUE(disk::SystemDiskList(3).Empty());
    EXPECT_EQ(StoredAmount(), 0u);
    EXPECT_EQ(core::ZoneBits().load(), 0u);
}

TEST_F(SystemDisk, ScanAndCleanAreRefusedWhileEitherRuns) {
    MakeOldFile(root / L"temp\\a.tmp", 5);
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The page holds the scan in its first report.
    page.onCall = [release](std::string_view name, const std::vector<Value>&) {
        if (name == "SystemDiskCleanScanData") WaitForSingleObject(release, 10000);
    };
    ASSERT_EQ(CallNative("SetScandiskEntry"), Value(0));
    ASSERT_TRUE(disktest::WaitForCalls(page, "SystemDiskCleanScanData", 1));
    core::ZoneBits() |= core::JUNKFILE_SCAN_WORKING;
    const Value busy(static_cast<int>(core::DISK_WORKING | core::JUNKFILE_SCAN_WORKING));
    EXPECT_EQ(CallNative("CleanSystemFile", {LR"([{"first":3,"second":3}])", 11}), busy);
    EXPECT_EQ(CallNative("SetScandiskEntry"), busy);
    // The size calculation is never refused.
    EXPECT_EQ(CallNative("GetFileOrDirSize", {Value::Array()}), Value(0));
    EXPECT_TRUE(disktest::WaitForCalls(page, "SetFileOrDirSize", 1));
    SetEvent(release);
    ASSERT_TRUE(testsupport::WaitForWorkers());
    CloseHandle(release);
    EXPECT_TRUE(Exists(root / L"temp\\a.tmp"));
    EXPECT_EQ(core::ZoneBits().load(), static_cast<std::uint32_t>(core::JUNKFILE_SCAN_WORKING));
}

TEST_F(SystemDisk, ASelectionThatIsNotAJsonArrayStartsNothing) {
    MakeOldFile(root / L"temp\\a.tmp", 5);
    Scan();
    for (const wchar_t* selection : {L"", L"[{\"first\":3,\"second\":3}", L"{\"first\":3,\"second\":3}", L"3"}) {
        EXPECT_EQ(CallNative("CleanSystemFile", {selection, 11}), Value(-3)) << selection;
        EXPECT_EQ(core::ZoneBits().load(), 0u);
        EXPECT_EQ(core::LiveWorkerBits(), 0u);
    }
    EXPECT_TRUE(Exists(root / L"temp\\a.tmp"));
    EXPECT_EQ(disk::SystemDiskList(3).Count(), 1u);
}

TEST_F(SystemDisk, FilesBehindLinksAreNeitherCountedNorDeleted) {
    MakeOldFile(outside / L"canary.txt", 6);
    MakeOldFile(At(kChromeCache, L"data_0"), 10);
    MakeOldFile(root / L"temp\\old.tmp", 1);
    Link(outside, At(kChromeCache, L"linked"));
    Link(outside, root / L"temp\\linked");
    Scan();
    EXPECT_EQ(ScanReports().back(), (std::vector<Value>{2, L"11", 1}));
    Clean(LR"([{"first":3,"second":0},{"first":3,"second":3}])");
    EXPECT_TRUE(Exists(outside / L"canary.txt"));
    EXPECT_FALSE(Exists(At(kChromeCache, L"data_0")));
}

TEST_F(SystemDisk, AFolderThatBecameALinkSinceTheScanIsNotCleanedThrough) {
    MakeOldFile(At(kChromeCache, L"sub\\same-name"), 3);
    MakeOldFile(outside / L"same-name", 6);
    Scan();
    ASSERT_TRUE(MoveFileW(At(kChromeCache, L"sub").c_str(), At(kChromeCache, L"sub-before").c_str()));
    Link(outside, At(kChromeCache, L"sub"));
    Clean(LR"([{"first":3,"second":0}])");
    EXPECT_TRUE(Exists(outside / L"same-name"));
    EXPECT_TRUE(Exists(At(kChromeCache, L"sub-before\\same-name")));
    EXPECT_EQ(junk::Undeletables().Count(), 1u);
    EXPECT_EQ(StoredAmount(), 0u);
}

}  // namespace
