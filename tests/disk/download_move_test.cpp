// The download-folder move on real files: every file copied first, then the
// settings, then the sources deleted and the emptied folders removed, with
// the counters the page polls. No file is ever lost, and a move that cannot
// complete leaves the settings, every source and the target as they were.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>

#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "disk/disk_test_support.h"
#include "disk/download_folders.h"
#include "disk/download_move.h"
#include "disk/file_walk.h"
#include "suite/undo_changes.h"
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
using disktest::MovesUnderway;
using disktest::SettingsSnapshot;
using disktest::ShellSetting;


// Writes a file with its folders.
void Put(const std::wstring& path, std::string_view text) {
    MakeFile(path, 0);
    WriteFile(path, text);
}

std::wstring Forward(std::wstring path) {
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

// Every file below `folder`, its path relative to it.
std::vector<std::wstring> FilesBelow(const std::wstring& folder) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::wstring& below : FilesBelow(folder + L"\\" + name)) files.push_back(name + L"\\" + below);
        } else {
            files.push_back(name);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<db::DownloadMoveRow> JournalMoves() {
    std::vector<db::DownloadMoveRow> rows;
    EXPECT_TRUE(db::Database(db::Store::User).ReadDownloadMoves(rows));
    return rows;
}

// The fixture's Downloads folder as the only old folder, with steps of the
// test's own where the move reads the settings (after the target was
// checked, before the first copy) and where it writes them (after the last
// copy; by default the real write).
class SeamSettings final : public disk::DownloadSettings {
public:
    SeamSettings(std::wstring folder, std::function<void()> onRead, std::function<bool()> onWrite = {})
        : folder_(std::move(folder)), onRead_(std::move(onRead)), onWrite_(std::move(onWrite)) {}
    std::vector<disk::DownloadFolder> Read() override {
        if (onRead_) onRead_();
        return {{L"Win10DownloadDir", folder_}};
    }
    bool Write(const std::wstring& target, std::int64_t underway) override {
        return onWrite_ ? onWrite_() : disk::WriteDownloadFolders(target, disk::SetRegistryValue, underway);
    }

private:
    std::wstring folder_;
    std::function<void()> onRead_;
    std::function<bool()> onWrite_;
};

class DownloadMove : public disktest::DiskStateTest, protected disktest::DownloadMoveState {
protected:
    void TearDown() override {
        for (const std::wstring& link : links) testsupport::RemoveLinuxLink(link);
        disktest::DiskStateTest::TearDown();
    }

    // Starts the move as the page does and waits for its end.
    void Move(const std::vector<std::wstring>& sources, const std::wstring& target) {
        std::vector<Value> items(sources.begin(), sources.end());
        ASSERT_EQ(CallNative("GetCopyMoveDiskPath", {Value::Array(items), target}), Value(0));
        ASSERT_TRUE(testsupport::WaitForWorkers());
        EXPECT_EQ(core::ZoneBits().load(), 0u);
    }
    // [copy failures, copied, delete failures, deleted, total, bytes, percent]
    static Value Counters() { return CallNative("GetCopyNumber", {0}); }

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
    EXPECT_TRUE(MovesUnderway().empty());
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

// A file that cannot arrive takes the whole move back: nothing moved is
// better than a Downloads folder split in two.
TEST_F(DownloadMove, AnExistingDestinationIsNeverOverwrittenAndTheMoveIsTakenBack) {
    Put(downloads + L"\\same.txt", "new");
    Put(downloads + L"\\sub\\other.txt", "other");
    Put(target + L"\\same.txt", "old");

    Move({downloads}, target);

    EXPECT_EQ(Counters(), Value::Array({2, 0, 0, 0, 2, L"0", 100}));
    EXPECT_EQ(FilesBelow(target), std::vector<std::wstring>{L"same.txt"});
    EXPECT_EQ(ReadFile(target + L"\\same.txt"), "old");
    EXPECT_FALSE(Exists(target + L"\\sub"));
    EXPECT_EQ(ReadFile(downloads + L"\\same.txt"), "new");
    EXPECT_EQ(ReadFile(downloads + L"\\sub\\other.txt"), "other");
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), downloads);
}

// A file that another program holds open halfway through the list: the
// files copied before it go again, and everything stays as it was.
TEST_F(DownloadMove, AMoveThatFailsMidwayLeavesEverythingAsItWas) {
    Put(downloads + L"\\a\\first.txt", "first");
    Put(downloads + L"\\b\\locked.txt", "locked");
    Put(downloads + L"\\c\\last.txt", "last");
    const HANDLE held = CreateFileW((downloads + L"\\b\\locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Move({downloads}, Forward(target));
    CloseHandle(held);

    EXPECT_EQ(Counters(), Value::Array({3, 0, 0, 0, 3, L"0", 100}));
    EXPECT_EQ(FilesBelow(target), std::vector<std::wstring>{});
    EXPECT_EQ(FilesBelow(downloads), (std::vector<std::wstring>{L"a\\first.txt", L"b\\locked.txt", L"c\\last.txt"}));
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), downloads);
    EXPECT_EQ(ShellSetting(disk::kShellDownloadThirdValue), downloads);
}

// The copies are put in place a batch at a time: a copy that fails after
// the first batch is in place takes that batch back too.
TEST_F(DownloadMove, ACopyFailingAfterTheFirstCopiesAreInPlaceTakesThemBack) {
    for (int i = 0; i < 70; ++i) Put(downloads + L"\\f" + std::to_wstring(i) + L".txt", "file");
    std::vector<std::wstring> order;  // as the move walks them
    disk::ForEachFile(downloads, [&order](std::wstring_view path, std::uint64_t) { order.emplace_back(path); });
    ASSERT_EQ(order.size(), 70u);
    const HANDLE held = CreateFileW(order[66].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Move({downloads}, target);
    CloseHandle(held);

    EXPECT_EQ(Counters(), Value::Array({70, 0, 0, 0, 70, L"0", 100}));
    EXPECT_EQ(FilesBelow(target), std::vector<std::wstring>{});
    EXPECT_EQ(FilesBelow(downloads).size(), 70u);
    EXPECT_TRUE(MovesUnderway().empty());
}

// A target on a volume too small for the files: the copy that runs out of
// room leaves no part of itself, and nothing else changes. The volume is a
// small tmpfs mounted at the target's Linux path, which needs root. The
// target is made on it first: the mount point itself is a reparse point,
// which the move makes nothing into.
TEST_F(DownloadMove, AFullVolumeLeavesNoPartialFileBehind) {
    const std::wstring small = root / L"Small";
    testsupport::MakeFolder(small);
    const std::string mountPoint = testsupport::UnixPath(small);
    if (!testsupport::RunShell("mount -t tmpfs -o size=64k qo-small '" + mountPoint + "'"))
        GTEST_SKIP() << "a small volume cannot be mounted here (mount needs root)";
    testsupport::MakeFolder(small + L"\\Moved");
    Put(downloads + L"\\small.txt", "fits");
    MakeFile(downloads + L"\\zz-big.bin", 300000);

    Move({downloads}, small + L"\\Moved");
    const std::vector<std::wstring> left = FilesBelow(small);
    const Value counters = Counters();
    EXPECT_TRUE(testsupport::RunShell("umount -l '" + mountPoint + "'"));

    EXPECT_EQ(counters, Value::Array({2, 0, 0, 0, 2, L"0", 100}));
    EXPECT_EQ(left, std::vector<std::wstring>{});
    EXPECT_EQ(ReadFile(downloads + L"\\small.txt"), "fits");
    EXPECT_EQ(ReadFile(downloads + L"\\zz-big.bin").size(), 300000u);
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), downloads);
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
        EXPECT_EQ(core::LiveWorkerBits(), 0u);
    }
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), downloads);
    EXPECT_TRUE(Exists(downloads + L"\\a.bin"));

    // A target inside what moves, or holding it, would copy into what it
    // copies from.
    const std::vector<std::pair<std::wstring, std::wstring>> nested = {
        {downloads, downloads + L"\\inside"}, {downloads + L"\\a.bin", downloads + L"\\A.BIN\\x"},
        {downloads, Forward(root.Path())}, {downloads, downloads}};
    for (const auto& [source, bad] : nested) {
        EXPECT_EQ(CallNative("GetCopyMoveDiskPath", {Value::Array({source}), bad}), Value(-3)) << bad;
        EXPECT_EQ(core::LiveWorkerBits(), 0u);
    }
    EXPECT_FALSE(Exists(downloads + L"\\inside"));

    core::ZoneBits() = core::DOWNLOAD_MOVE_WORKING;
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

// Settings that cannot be written take the move back after the copies.
TEST_F(DownloadMove, SettingsThatCannotBeWrittenTakeTheMoveBack) {
    class ReadOnlySettings final : public disk::DownloadSettings {
    public:
        explicit ReadOnlySettings(std::wstring folder) : folder_(std::move(folder)) {}
        std::vector<disk::DownloadFolder> Read() override { return {{L"Win10DownloadDir", folder_}}; }
        bool Write(const std::wstring&, std::int64_t) override { return false; }

    private:
        std::wstring folder_;
    } settings(downloads);
    MakeFile(downloads + L"\\a.bin", 3);
    MakeFile(downloads + L"\\deep\\b.bin", 4);
    testsupport::MakeFolder(target);
    core::ZoneBits() = core::DOWNLOAD_MOVE_WORKING;

    disk::RunDownloadMove({downloads}, target, settings);

    EXPECT_EQ(Counters(), Value::Array({-1, 0, 0, 0, 2, L"0", -1}));
    EXPECT_EQ(FilesBelow(downloads), (std::vector<std::wstring>{L"a.bin", L"deep\\b.bin"}));
    EXPECT_EQ(FilesBelow(target), std::vector<std::wstring>{});
    EXPECT_FALSE(Exists(target + L"\\deep"));
    EXPECT_EQ(core::ZoneBits().load(), 0u);
}

// The three settings are written all or none: a write that fails puts back
// those written before it, each with its exact type and data, and removes
// again one that did not exist.
TEST_F(DownloadMove, SettingsAreWrittenAllOrNone) {
    edge.Set(L"%USERPROFILE%\\Edge downloads", REG_EXPAND_SZ);
    third.Remove();
    const std::vector<std::vector<BYTE>> before = SettingsSnapshot();
    ASSERT_TRUE(before[2].empty());
    for (int failing = 1; failing <= 3; ++failing) {
        SCOPED_TRACE(failing);
        int writes = 0;
        const auto setter = [&](HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) -> LSTATUS {
            if (++writes == failing) return ERROR_ACCESS_DENIED;
            return RegSetValueExW(key, name, 0, type, data, size);
        };
        EXPECT_FALSE(disk::WriteDownloadFolders(target, setter));
        EXPECT_EQ(SettingsSnapshot(), before);
        EXPECT_TRUE(JournalMoves().empty());  // a move that was not made is nothing to undo
    }
    // Without its journal record nothing is written.
    db::Database(db::Store::User).Close();
    EXPECT_FALSE(disk::WriteDownloadFolders(target));
    EXPECT_EQ(SettingsSnapshot(), before);
    database.Restart();

    EXPECT_TRUE(disk::WriteDownloadFolders(target));
    EXPECT_EQ(ShellSetting(disk::kShellDownloadThirdValue), target);
    const std::vector<db::DownloadMoveRow> moves = JournalMoves();
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].target, target);
    ASSERT_EQ(moves[0].settings.size(), 3u);
    EXPECT_EQ(moves[0].settings[0].previous->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(moves[0].settings[2].previous, std::nullopt);
}

// Undoing a move gives every setting its exact earlier type and data (one
// that did not exist goes again), once; a setting the user changed since
// the move is theirs and stays. The files stay where they went.
TEST_F(DownloadMove, UndoingAMovePutsTheSettingsBackOnce) {
    edge.Set(L"%USERPROFILE%\\Edge downloads", REG_EXPAND_SZ);
    shell.Set(L"%USERPROFILE%\\Downloads", REG_EXPAND_SZ);
    third.Remove();
    const std::vector<std::vector<BYTE>> before = SettingsSnapshot();
    ASSERT_TRUE(disk::WriteDownloadFolders(target));
    ASSERT_NE(SettingsSnapshot(), before);

    const std::vector<suite::Change> changes = suite::ListChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, "downloads");
    EXPECT_EQ(changes[0].what, L"%USERPROFILE%\\Downloads -> " + target);
    EXPECT_EQ(changes[0].entries, 3);
    suite::RestoreOutcome outcome = suite::RestoreChange(changes[0].id);
    EXPECT_EQ(outcome.status, suite::RestoreStatus::Restored);
    EXPECT_EQ(outcome.restored, 3u);
    EXPECT_EQ(SettingsSnapshot(), before);
    EXPECT_TRUE(suite::ListChanges()[0].restored);
    EXPECT_EQ(suite::RestoreChange(changes[0].id).status, suite::RestoreStatus::AlreadyRestored);

    ASSERT_TRUE(disk::WriteDownloadFolders(target));
    shell.Set(L"D:\\Chosen later");
    outcome = suite::RestoreChange(suite::ListChanges()[0].id);
    EXPECT_EQ(outcome.status, suite::RestoreStatus::Restored);
    EXPECT_EQ(outcome.restored, 2u);
    EXPECT_EQ(outcome.existing,
              std::vector<std::wstring>{std::wstring(disk::kShellFoldersKey) + L"\\" + disk::kShellDownloadValue});
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), L"D:\\Chosen later");
    std::vector<std::vector<BYTE>> expected = before;
    expected[1] = SettingsSnapshot()[1];
    EXPECT_EQ(SettingsSnapshot(), expected);
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

// Wine lists a Linux link to a file as a plain file, and deleting it by
// name would delete its target. The elevated move reads a source only
// through the handle that shows it is the listed file itself: a link, which
// could lead to a file only administrators may read, is not copied into the
// user's folder, so the move cannot complete and is taken back.
TEST_F(DownloadMove, AFileLinkIsNeitherReadNorDeletedAndTheMoveIsTakenBack) {
    testsupport::TempDir outside;
    Put(outside / L"canary.txt", "canary");
    Put(downloads + L"\\own.txt", "own");
    links.push_back(downloads + L"\\linked.txt");
    ASSERT_TRUE(testsupport::MakeLinuxLink(testsupport::UnixPath(outside / L"canary.txt"), downloads + L"\\linked.txt"));

    Move({downloads}, target);

    EXPECT_EQ(Counters(), Value::Array({2, 0, 0, 0, 2, L"0", 100}));
    EXPECT_EQ(ReadFile(outside / L"canary.txt"), "canary");
    EXPECT_EQ(FilesBelow(target), std::vector<std::wstring>{});
    EXPECT_EQ(ReadFile(downloads + L"\\own.txt"), "own");
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), downloads);
}

// A source that changed after it was copied (a download still being
// written) stays: its copy is no longer the file.
TEST_F(DownloadMove, ASourceThatChangedAfterItsCopyStays) {
    class ChangingSettings final : public disk::DownloadSettings {
    public:
        ChangingSettings(std::wstring folder, std::wstring changed) : folder_(std::move(folder)), changed_(std::move(changed)) {}
        std::vector<disk::DownloadFolder> Read() override { return {{L"Win10DownloadDir", folder_}}; }
        // Runs between the copies and the deletions.
        bool Write(const std::wstring&, std::int64_t) override {
            WriteFile(changed_, "grown while the move ran");
            return true;
        }

    private:
        std::wstring folder_;
        std::wstring changed_;
    } settings(downloads, downloads + L"\\growing.part.txt");
    Put(downloads + L"\\growing.part.txt", "start");
    Put(downloads + L"\\done.txt", "done");
    testsupport::MakeFolder(target);
    core::ZoneBits() = core::DOWNLOAD_MOVE_WORKING;

    disk::RunDownloadMove({downloads}, target, settings);

    EXPECT_EQ(Counters(), Value::Array({0, 2, 1, 1, 2, L"9", 100}));
    EXPECT_EQ(ReadFile(downloads + L"\\growing.part.txt"), "grown while the move ran");
    EXPECT_EQ(ReadFile(target + L"\\growing.part.txt"), "start");
    EXPECT_FALSE(Exists(downloads + L"\\done.txt"));
}

// A link put in on the target's way after the page's check and before the
// copies (here while the move reads the settings): the target itself, or a
// folder below it that the move needs. The move refuses, and nothing is
// written where the link leads.
TEST_F(DownloadMove, ALinkOnTheTargetsWayRefusesTheMoveAndNothingIsWrittenBehindIt) {
    struct Case {
        const char* what;
        std::wstring target;
        std::wstring link;  // made while the move reads the settings
        Value counters;
    };
    const Case cases[] = {
        {"the target", root / L"Swapped", root / L"Swapped", Value::Array({-1, 0, 0, 0, 2, L"0", -1})},
        {"a folder below it", root / L"Below", root / L"Below\\sub", Value::Array({2, 0, 0, 0, 2, L"0", 100})},
    };
    MakeFile(downloads + L"\\a.bin", 3);
    MakeFile(downloads + L"\\sub\\b.bin", 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir outside;
        testsupport::MakeFolder(c.target);
        SeamSettings settings(downloads, [&] {
            if (c.link == c.target) {
                ASSERT_TRUE(MoveFileW(c.target.c_str(), (c.target + L"-real").c_str()));
            }
            links.push_back(c.link);
            ASSERT_TRUE(testsupport::MakeLinuxLink(testsupport::UnixPath(outside.Path()), c.link));
        });
        core::ZoneBits() = core::DOWNLOAD_MOVE_WORKING;

        disk::RunDownloadMove({downloads}, c.target, settings);

        EXPECT_EQ(Counters(), c.counters);
        EXPECT_TRUE(PathIsDirectoryEmptyW(outside.Path().c_str()));
        EXPECT_EQ(FilesBelow(downloads), (std::vector<std::wstring>{L"a.bin", L"sub\\b.bin"}));
        EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), downloads);
        EXPECT_TRUE(MovesUnderway().empty());
    }
    EXPECT_EQ(FilesBelow(root / L"Below"), std::vector<std::wstring>{});
}

// Taking a move back deletes only what the move made, through the checked
// deletion: a copy the user replaced with a file of their own stays, and so
// does a copy turned into a link (deleting that by name would delete what it
// leads to).
TEST_F(DownloadMove, TakingAMoveBackDeletesOnlyWhatItMade) {
    testsupport::TempDir outside;
    Put(outside / L"canary.txt", "canary");
    Put(downloads + L"\\linked.txt", "copy to be a link");
    Put(downloads + L"\\replaced.txt", "copy to be replaced");
    Put(downloads + L"\\deep\\plain.txt", "plain copy");
    testsupport::MakeFolder(target);
    SeamSettings settings(downloads, {}, [&] {
        EXPECT_TRUE(DeleteFileW((target + L"\\linked.txt").c_str()));
        links.push_back(target + L"\\linked.txt");
        EXPECT_TRUE(
            testsupport::MakeLinuxLink(testsupport::UnixPath(outside / L"canary.txt"), target + L"\\linked.txt"));
        EXPECT_TRUE(DeleteFileW((target + L"\\replaced.txt").c_str()));
        Put(target + L"\\replaced.txt", "the user's own");
        return false;
    });
    core::ZoneBits() = core::DOWNLOAD_MOVE_WORKING;

    disk::RunDownloadMove({downloads}, target, settings);

    EXPECT_EQ(Counters(), Value::Array({-1, 0, 0, 0, 3, L"0", -1}));
    EXPECT_EQ(ReadFile(outside / L"canary.txt"), "canary");
    EXPECT_EQ(ReadFile(target + L"\\linked.txt"), "canary");
    EXPECT_EQ(ReadFile(target + L"\\replaced.txt"), "the user's own");
    EXPECT_FALSE(Exists(target + L"\\deep"));
    EXPECT_EQ(FilesBelow(downloads), (std::vector<std::wstring>{L"deep\\plain.txt", L"linked.txt", L"replaced.txt"}));
    EXPECT_TRUE(MovesUnderway().empty());
}

// A setting that cannot be put back after another failed to be written
// leaves the change in the journal, so that Undo Changes can still put it
// back; it goes once every setting is back.
TEST_F(DownloadMove, ASettingThatCannotBePutBackKeepsItsUndoRecord) {
    edge.Set(root / L"Edge downloads");
    const std::vector<std::vector<BYTE>> before = SettingsSnapshot();
    int writes = 0;
    // Edge's setting is written, the shell's refused, and Edge's put-back too.
    const auto setter = [&](HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) -> LSTATUS {
        if (++writes >= 2) return ERROR_ACCESS_DENIED;
        return RegSetValueExW(key, name, 0, type, data, size);
    };
    EXPECT_FALSE(disk::WriteDownloadFolders(target, setter));
    EXPECT_EQ(writes, 3);
    ASSERT_NE(SettingsSnapshot(), before);
    ASSERT_EQ(JournalMoves().size(), 1u);

    const std::vector<suite::Change> changes = suite::ListChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(suite::RestoreChange(changes[0].id).status, suite::RestoreStatus::Restored);
    EXPECT_EQ(SettingsSnapshot(), before);
    EXPECT_TRUE(Exists(root / L"Edge downloads"));
}

// Undoing a move points the settings back at the old folder, which the move
// removed once it was empty: the folder is made again first, through checked
// folders only. One that cannot be made (here behind a link) is reported,
// and its settings stay at the target rather than point at nothing.
TEST_F(DownloadMove, UndoMakesTheOldFolderAgainBeforeTheSettingsPointThere) {
    MakeFile(downloads + L"\\a.bin", 3);
    Move({downloads}, target);
    ASSERT_FALSE(Exists(downloads));
    std::vector<suite::Change> changes = suite::ListChanges();
    ASSERT_EQ(changes.size(), 1u);
    suite::RestoreOutcome outcome = suite::RestoreChange(changes[0].id);
    EXPECT_EQ(outcome.status, suite::RestoreStatus::Restored);
    EXPECT_TRUE(Exists(downloads));
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), downloads);
    EXPECT_EQ(ShellSetting(disk::kShellDownloadThirdValue), downloads);
    EXPECT_TRUE(Exists(target + L"\\a.bin"));  // the files stay where they went

    testsupport::TempDir outside;
    const std::wstring behind = root / L"linked\\Downloads";
    links.push_back(root / L"linked");
    ASSERT_TRUE(testsupport::MakeLinuxLink(testsupport::UnixPath(outside.Path()), root / L"linked"));
    shell.Set(behind);
    third.Set(behind);
    ASSERT_TRUE(disk::WriteDownloadFolders(target));
    changes = suite::ListChanges();
    outcome = suite::RestoreChange(changes[0].id);
    EXPECT_EQ(outcome.status, suite::RestoreStatus::Failed);
    EXPECT_EQ(outcome.failed, std::vector<std::wstring>{behind});
    EXPECT_EQ(ShellSetting(disk::kShellDownloadValue), target);
    EXPECT_EQ(ShellSetting(disk::kShellDownloadThirdValue), target);
    EXPECT_TRUE(PathIsDirectoryEmptyW(outside.Path().c_str()));
    EXPECT_FALSE(suite::ListChanges()[0].restored);
}

}  // namespace
