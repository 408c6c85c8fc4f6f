#include "junk/folder_walk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/worker_tasks.h"
#include "support/junk_fixtures.h"
#include "support/linux_links.h"
#include "support/temp_dir.h"

namespace {

using junk::JunkFileList;
using junktest::MakeFile;
using junktest::MakeFolder;
using junktest::PathsOf;
using testing::ElementsAre;
using testing::UnorderedElementsAre;

void SetLastWriteTime(const std::wstring& path, std::int64_t unixSeconds) {
    const std::uint64_t ticks = static_cast<std::uint64_t>(unixSeconds) * 10000000 + 116444736000000000ull;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

class FolderWalk : public junktest::JunkListsTest {
protected:
    testsupport::TempDir dir;
    JunkFileList files;
    JunkFileList empties;
};

TEST_F(FolderWalk, CollectsHiddenAndReadOnlyFilesButNotSystemFiles) {
    MakeFile(dir / L"plain.tmp", 10);
    MakeFile(dir / L"hidden.tmp", 20, FILE_ATTRIBUTE_HIDDEN);
    MakeFile(dir / L"readonly.tmp", 30, FILE_ATTRIBUTE_READONLY);
    MakeFile(dir / L"system.tmp", 40, FILE_ATTRIBUTE_SYSTEM);
    MakeFile(dir / L"sub\\deep.log", 5);
    EXPECT_FALSE(junk::ScanJunkFolder(files, empties, dir.Path(), junk::kWalkAll));
    EXPECT_THAT(PathsOf(files), UnorderedElementsAre(dir / L"plain.tmp", dir / L"hidden.tmp",
                                                      dir / L"readonly.tmp", dir / L"sub\\deep.log"));
    EXPECT_EQ(files.Total(), 65u);
    for (const auto& entry : files) EXPECT_EQ(files.FolderOf(entry).path.back(), L'\\');
    EXPECT_EQ(empties.Count(), 0u);
    SetFileAttributesW((dir / L"readonly.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW((dir / L"system.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderWalk, FileFreeSubFoldersAreListedDeepestFirstAndTheTopFolderNever) {
    MakeFolder(dir / L"a\\b\\c");
    MakeFolder(dir / L"d");
    MakeFile(dir / L"e\\system.dat", 1, FILE_ATTRIBUTE_SYSTEM);  // holds a file, though not collected
    MakeFolder(dir / L"e\\f");
    EXPECT_FALSE(junk::ScanJunkFolder(files, empties, dir.Path() + L"\\", junk::kWalkAll));
    EXPECT_EQ(files.Count(), 0u);
    const std::vector<std::wstring> listed = PathsOf(empties);
    EXPECT_THAT(listed, UnorderedElementsAre(dir / L"a\\b\\c", dir / L"a\\b", dir / L"a", dir / L"d", dir / L"e\\f"));
    const auto at = [&](const std::wstring& path) { return std::find(listed.begin(), listed.end(), path); };
    EXPECT_LT(at(dir / L"a\\b\\c"), at(dir / L"a\\b"));
    EXPECT_LT(at(dir / L"a\\b"), at(dir / L"a"));
    SetFileAttributesW((dir / L"e\\system.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderWalk, MissingFolderIsEmptyAndASystemSubFolderIsNotEntered) {
    EXPECT_TRUE(junk::ScanJunkFolder(files, empties, dir / L"missing", junk::kWalkAll));
    MakeFile(dir / L"sys\\inside.tmp", 3);
    SetFileAttributesW((dir / L"sys").c_str(), FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(junk::ScanJunkFolder(files, empties, dir.Path(), junk::kWalkAll));
    EXPECT_EQ(files.Count(), 0u);
    SetFileAttributesW((dir / L"sys").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderWalk, SinceBootModeSkipsFilesWrittenAfterWindowsStarted) {
    MakeFile(dir / L"old.tmp", 1);
    MakeFile(dir / L"new.tmp", 1);
    MakeFile(dir / L"at-boot.tmp", 1);
    SetLastWriteTime(dir / L"old.tmp", junk::BootTime() - 3600);
    SetLastWriteTime(dir / L"at-boot.tmp", junk::BootTime());
    SetLastWriteTime(dir / L"new.tmp", junk::BootTime() + 1);
    junk::ScanJunkFolder(files, empties, dir.Path(), junk::kWalkSinceBoot);
    EXPECT_THAT(PathsOf(files), UnorderedElementsAre(dir / L"old.tmp", dir / L"at-boot.tmp"));
    files.Clear();
    junk::ScanJunkFolder(files, empties, dir.Path(), junk::kWalkAll);
    EXPECT_EQ(files.Count(), 3u);
}

TEST_F(FolderWalk, StopFlagEndsANormalWalkButNotASinceBootOne) {
    MakeFile(dir / L"a.tmp", 1);
    SetLastWriteTime(dir / L"a.tmp", junk::BootTime() - 60);
    const core::TaskScope task;
    core::RaiseStopFlag();
    EXPECT_FALSE(junk::ScanJunkFolder(files, empties, dir.Path(), junk::kWalkAll));
    EXPECT_EQ(files.Count(), 0u);
    junk::ScanJunkFolder(files, empties, dir.Path(), junk::kWalkSinceBoot);
    EXPECT_EQ(files.Count(), 1u);
}

TEST_F(FolderWalk, ThumbnailRuleTakesListedExtensionsExactly) {
    const std::wstring explorer = dir / L"Explorer";
    MakeFile(explorer + L"\\iconcache_16.db", 16);
    MakeFile(explorer + L"\\a.tmp", 1);
    MakeFile(explorer + L"\\thumbcache.DB", 1);
    MakeFile(explorer + L"\\locked.db", 1, FILE_ATTRIBUTE_READONLY);
    MakeFile(explorer + L"\\system.db", 1, FILE_ATTRIBUTE_SYSTEM);
    MakeFile(explorer + L"\\noextension", 1);
    MakeFile(explorer + L"\\archive.db.bak", 1);
    MakeFile(explorer + L"\\sub\\nested.tmp", 2);
    MakeFolder(explorer + L"\\empty");
    EXPECT_FALSE(junk::ScanFolderByExtension(files, empties, {explorer, {L".db", L".tmp"}}));
    EXPECT_THAT(PathsOf(files), UnorderedElementsAre(explorer + L"\\iconcache_16.db", explorer + L"\\a.tmp",
                                                      explorer + L"\\sub\\nested.tmp"));
    EXPECT_THAT(PathsOf(empties), ElementsAre(explorer + L"\\empty"));
    SetFileAttributesW((explorer + L"\\locked.db").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW((explorer + L"\\system.db").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ListedExtension, ComparesFromTheLastDotCaseSensitively) {
    const std::vector<std::wstring> listed = {L".db", L".tmp"};
    struct Case {
        const wchar_t* name;
        bool listed;
    };
    const Case cases[] = {{L"thumbcache_32.db", true}, {L"x.tmp", true},   {L"X.DB", false},
                          {L"a.db.old", false},        {L"db", false},     {L".db", true},
                          {L"name.", false},           {L"a.tmpx", false}};
    for (const Case& c : cases) EXPECT_EQ(junk::HasListedExtension(c.name, listed), c.listed) << c.name;
}

TEST(UnixSeconds, CountsWholeSecondsSince1970) {
    const auto at = [](std::uint64_t ticks) {
        return junk::UnixSeconds(FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)});
    };
    EXPECT_EQ(at(116444736000000000ull), 0);
    EXPECT_EQ(at(116444736000000000ull + 19999999), 1);
    EXPECT_EQ(at(116444736000000000ull + 10000000ull * 1700000000), 1700000000);
}

// A folder link inside a junk folder: the walk lists it but never enters it,
// so the canary behind it is not collected and the folder holding the link
// is not empty.
TEST_F(FolderWalk, NeverEntersAFolderLink) {
    testsupport::TempDir outside;
    MakeFile(outside / L"canary.txt", 7);
    MakeFolder(dir / L"holder");
    ASSERT_TRUE(junktest::MakeLinuxLink(junktest::UnixPath(outside.Path()), dir / L"holder\\link"));
    ASSERT_TRUE(junk::IsLink(GetFileAttributesW((dir / L"holder\\link").c_str())));
    // Wine does not list a dangling Linux link at all; it must not disturb the walk.
    ASSERT_TRUE(junktest::MakeLinuxLink("/nonexistent/qo-missing-target", dir / L"dangling"));
    EXPECT_FALSE(junk::ScanJunkFolder(files, empties, dir.Path(), junk::kWalkAll));
    EXPECT_EQ(files.Count(), 0u);
    EXPECT_EQ(empties.Count(), 0u);
    EXPECT_FALSE(junk::ScanFolderByExtension(files, empties, {dir.Path(), {L".txt"}}));
    EXPECT_EQ(files.Count(), 0u);
    EXPECT_EQ(empties.Count(), 0u);
    EXPECT_TRUE(junktest::RemoveLinuxLink(dir / L"dangling"));
    EXPECT_TRUE(junktest::RemoveLinuxLink(dir / L"holder\\link"));
}

}  // namespace
