// The download-folder move on real files: settings first, then each file
// copied and its source deleted, then the emptied folders removed, with the
// counters the page polls. No file is ever lost.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "app/worker_tasks.h"
#include "disk/disk_test_support.h"
#include "disk/download_folders.h"
#include "disk/download_move.h"
#include "support/bridge_call.h"
#include "support/linux_links.h"
#include "support/recording_host.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using testsupport::CallNative;
using testsupport::Exists;
using testsupport::MakeFile;
using testsupport::ReadFile;
using testsupport::WriteFile;


// Writes a file with its folders.
void Put(const std::wstring& path, std::string_view text) {
    MakeFile(path, 0);
    WriteFile(path, text);
}

std::wstring Forward(std::wstring path) {
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

std::wstring ShellSetting(const wchar_t* value) {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_CURRENT_USER, disk::kShellFoldersKey, value, RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

// The test prefix's own download settings point at the fixture's Downloads
// folder (the third entry equals it, so it lists nothing) and are put back
// afterwards.
class DownloadMove : public disktest::DiskStateTest {
protected:
    DownloadMove() {
        shell.Set(downloads);
        third.Set(downloads);
        edge.Remove();
    }
    void TearDown() override {
        for (const std::wstring& link : links) testsupport::RemoveLinuxLink(link);
        disktest::DiskStateTest::TearDown();
    }

    // Starts the move as the page does and waits for its end.
    void Move(const std::vector<std::wstring>& sources, const std::wstring& target) {
        std::vector<Value> items(sources.begin(), sources.end());
        ASSERT_EQ(CallNative("GetCopyMoveDiskPath", {Value::Array(items), target}), Value(0));
        ASSERT_TRUE(testsupport::WaitForWorkers());
        EXPECT_EQ(app::ZoneBits().load(), 0u);
    }
    // [copy failures, copied, delete failures, deleted, total, bytes, percent]
    static Value Counters() { return CallNative("GetCopyNumber", {0}); }

    testsupport::TempDir root;
    const std::wstring downloads = root / L"Downloads";
    const std::wstring target = root / L"Moved";
    testsupport::ScopedUserValue shell{disk::kShellFoldersKey, disk::kShellDownloadValue};
    testsupport::ScopedUserValue third{disk::kShellFoldersKey, disk::kShellDownloadThirdValue};
    testsupport::ScopedUserValue edge{disk::kEdgeDownloadKey, disk::kEdgeDownloadValue};
    testsupport::PublishedHost page;
    std::vector<std::wstring> links;
};

TEST_F(DownloadMove, TheWholeFolderMovesWithItsTreeAndTheSettingsFollow) {
    Put(downloads + L"\\top.txt", "top");
    MakeFile(downloads + L"\\a\\b.bin", 1000);
    MakeFile(downloads + L"\\a\\c\\d.bin", 24, FILE_ATTRIBUTE_HIDDEN);
    testsupport::MakeFolder(downloads + L"\\a\\empty");

    Move({Forward(downloads)}, Forward(target));

    EXPECT_EQ(Counters(), Value::Array({0, 3, 0, 3, 3, L"1027", 100}));
    EXPECT_EQ(ReadFile(target + L"\\top.txt"), "top");
    EXPECT_EQ(ReadFile(target + L"\\a\\b.bin"), std::string(1000, 'x'));
    EXPECT_TRUE(Exists(target + L"\\a\\c\\d.bin"));
    EXPECT_FALSE(Exists(downloads));
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), target);
    EXPECT_EQ(ShellSetting(disk::kShellDownloadThirdValue), target);
    EXPECT_EQ(disk::ReadDownloadFolders()[1].path, target);
}

TEST_F(DownloadMove, ASelectedChildMovesAndTheRestOfTheFolderStays) {
    MakeFile(downloads + L"\\pick\\p.bin", 10);
    MakeFile(downloads + L"\\pick\\deep\\q.bin", 20);
    testsupport::MakeFolder(downloads + L"\\pick\\hollow");
    MakeFile(downloads + L"\\keep.bin", 30);
    testsupport::MakeFolder(downloads + L"\\kept-empty");

    Move({downloads + L"\\pick"}, target);

    EXPECT_EQ(Counters(), Value::Array({0, 2, 0, 2, 2, L"30", 100}));
    EXPECT_TRUE(Exists(target + L"\\pick\\deep\\q.bin"));
    EXPECT_FALSE(Exists(downloads + L"\\pick"));
    EXPECT_TRUE(Exists(downloads + L"\\keep.bin"));
    EXPECT_TRUE(Exists(downloads + L"\\kept-empty"));
}

TEST_F(DownloadMove, AnExistingDestinationIsNeverOverwritten) {
    Put(downloads + L"\\same.txt", "new");
    Put(downloads + L"\\other.txt", "other");
    Put(target + L"\\same.txt", "old");

    Move({downloads}, target);

    EXPECT_EQ(Counters(), Value::Array({1, 1, 0, 1, 2, L"5", 100}));
    EXPECT_EQ(ReadFile(target + L"\\same.txt"), "old");
    EXPECT_EQ(ReadFile(downloads + L"\\same.txt"), "new");
    EXPECT_EQ(ReadFile(target + L"\\other.txt"), "other");
}

TEST_F(DownloadMove, ASourceThatCannotBeDeletedStaysBesideItsCopy) {
    Put(downloads + L"\\open.txt", "busy");
    const HANDLE held = CreateFileW((downloads + L"\\open.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Move({downloads}, target);
    CloseHandle(held);

    EXPECT_EQ(Counters(), Value::Array({0, 1, 1, 0, 1, L"4", 100}));
    EXPECT_EQ(ReadFile(downloads + L"\\open.txt"), "busy");
    EXPECT_EQ(ReadFile(target + L"\\open.txt"), "busy");
}

TEST_F(DownloadMove, FilesThatCannotGoAnywhereCountAsFailedCopies) {
    // A file where the destination needs a folder, and a source outside the
    // download folders.
    MakeFile(downloads + L"\\a\\b.bin", 3);
    Put(target + L"\\a", "a file, not a folder");
    MakeFile(root / L"elsewhere\\e.bin", 4);

    Move({downloads, root / L"elsewhere"}, target);

    EXPECT_EQ(Counters(), Value::Array({2, 0, 0, 0, 2, L"0", 100}));
    EXPECT_TRUE(Exists(downloads + L"\\a\\b.bin"));
    EXPECT_TRUE(Exists(root / L"elsewhere\\e.bin"));
}

TEST_F(DownloadMove, UnusableTargetsChangeNothing) {
    MakeFile(downloads + L"\\a.bin", 3);
    Put(root / L"a-file", "x");
    for (const std::wstring& bad : {std::wstring(L"Moved"), std::wstring(), std::wstring(L"\\\\server\\share\\dl"),
                                    std::wstring(L"C:dl"), root / L"a-file", root / L"a-file\\sub"}) {
        EXPECT_EQ(CallNative("GetCopyMoveDiskPath", {Value::Array({downloads}), bad}), Value(-3)) << bad;
        EXPECT_EQ(app::LiveWorkerBits(), 0u);
    }
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), downloads);
    EXPECT_TRUE(Exists(downloads + L"\\a.bin"));

    app::ZoneBits() = app::DOWNLOAD_MOVE_WORKING;
    EXPECT_EQ(CallNative("GetCopyMoveDiskPath", {Value::Array({downloads}), target}), Value(0x1000));
    EXPECT_FALSE(Exists(target));
}

TEST_F(DownloadMove, NothingToMoveStillPointsTheSettingsAtTheTarget) {
    MakeFile(downloads + L"\\stays.bin", 3);
    Move({}, target);
    EXPECT_EQ(Counters(), Value::Array({0, 0, 0, 0, 0, L"0", 100}));
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), target);
    EXPECT_TRUE(Exists(downloads + L"\\stays.bin"));

    // A target inside the old folder stays although nothing went there.
    testsupport::MakeFolder(downloads + L"\\empty");
    Move({L"", downloads + L"\\empty"}, downloads + L"\\New");
    EXPECT_TRUE(Exists(downloads + L"\\New"));
}

TEST_F(DownloadMove, SettingsThatCannotBeWrittenStopTheMoveBeforeAnyCopy) {
    class ReadOnlySettings final : public disk::DownloadSettings {
    public:
        explicit ReadOnlySettings(std::wstring folder) : folder_(std::move(folder)) {}
        std::vector<disk::DownloadFolder> Read() override { return {{L"Win10DownloadDir", folder_}}; }
        bool Write(const std::wstring&) override { return false; }

    private:
        std::wstring folder_;
    } settings(downloads);
    MakeFile(downloads + L"\\a.bin", 3);
    testsupport::MakeFolder(target);
    app::ZoneBits() = app::DOWNLOAD_MOVE_WORKING;

    disk::RunDownloadMove({downloads}, target, settings);

    EXPECT_EQ(Counters(), Value::Array({-1, -1, 0, 0, -1, L"0", -1}));
    EXPECT_TRUE(Exists(downloads + L"\\a.bin"));
    EXPECT_FALSE(Exists(target + L"\\a.bin"));
    EXPECT_EQ(app::ZoneBits().load(), 0u);
}

TEST_F(DownloadMove, NothingBehindALinkIsMovedOrDeleted) {
    testsupport::TempDir outside;
    MakeFile(outside / L"canary.bin", 6);
    MakeFile(downloads + L"\\own.bin", 2);
    links.push_back(downloads + L"\\link");
    ASSERT_TRUE(testsupport::MakeLinuxLink(testsupport::UnixPath(outside.Path()), downloads + L"\\link"));

    Move({downloads, downloads + L"\\link"}, target);

    EXPECT_EQ(Counters(), Value::Array({0, 1, 0, 1, 1, L"2", 100}));
    EXPECT_TRUE(Exists(outside / L"canary.bin"));
    EXPECT_FALSE(Exists(target + L"\\link"));
    EXPECT_TRUE(Exists(downloads + L"\\link"));
}

}  // namespace
