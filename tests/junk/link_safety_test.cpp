// Junk folders may hold junctions and symbolic links to folders with the
// user's data. Neither the scan nor the clean may ever reach through one.
// Links are Linux links made through Wine (see support/linux_links.h): Wine lists a
// link to a folder with the reparse-point attribute, as Windows lists
// junctions and directory symbolic links. Links to files cannot be shown to
// the program as links under Wine (it lists them as plain files and deletes
// their targets), so they are not tested here; the code skips any entry with
// the reparse-point attribute whatever it points to.
#include <gtest/gtest.h>

#include "app/worker_tasks.h"
#include "junk/folder_walk.h"
#include "junk/junk_clean.h"
#include "support/junk_fixtures.h"
#include "support/linux_links.h"
#include "junk/recycle_bin.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using junktest::MakeFile;
using junktest::MakeFolder;
using testsupport::Exists;

class LinkSafety : public junktest::JunkListsTest {
protected:
    // Links are removed from the Linux side: Wine cannot remove a link to a
    // folder, nor see a dangling one.
    void TearDown() override {
        for (const std::wstring& link : links) junktest::RemoveLinuxLink(link);
        JunkListsTest::TearDown();
    }
    void Link(const testsupport::TempDir& target, const std::wstring& link) {
        links.push_back(link);
        ASSERT_TRUE(junktest::MakeLinuxLink(junktest::UnixPath(target.Path()), link));
        ASSERT_TRUE(junk::IsLink(GetFileAttributesW(link.c_str()))) << link;
    }
    void ScanAndClean(int category) {
        if (category == 10)
            junk::ScanRecycleBin(junk::JunkList(10));
        else
            junk::ScanJunkFolder(junk::JunkList(category), junk::EmptyFolderList(), junk.Path(), junk::kWalkAll);
        CleanScanned(category);
    }
    void CleanScanned(int category) {
        app::ZoneBits() = app::JUNKFILE_CLEAN_WORKING;
        junk::RunClean({{1, category}});
    }
    std::vector<std::wstring> links;
    testsupport::TempDir junk;
    testsupport::TempDir outside;
    testsupport::PublishedHost host;
};

TEST_F(LinkSafety, CanariesBehindFolderLinksInAJunkFolderSurviveScanAndClean) {
    MakeFile(outside / L"canary.txt", 6);
    MakeFolder(outside / L"empty-inside");
    MakeFile(junk / L"a.tmp", 1);
    MakeFile(junk / L"sub\\b.tmp", 1);
    Link(outside, junk / L"link");
    Link(outside, junk / L"sub\\deeper-link");
    links.push_back(junk / L"dangling");
    ASSERT_TRUE(junktest::MakeLinuxLink("/nonexistent/qo-missing", junk / L"dangling"));

    ScanAndClean(0);

    EXPECT_TRUE(Exists(outside / L"canary.txt"));
    EXPECT_TRUE(Exists(outside / L"empty-inside"));
    EXPECT_FALSE(Exists(junk / L"a.tmp"));
    EXPECT_FALSE(Exists(junk / L"sub\\b.tmp"));
    EXPECT_TRUE(Exists(junk / L"sub\\deeper-link"));  // its folder is not file-free: it holds a link
    EXPECT_TRUE(Exists(junk / L"link"));
}

TEST_F(LinkSafety, AFolderThatBecameALinkAfterTheScanIsNotCleanedThrough) {
    MakeFile(junk / L"sub\\same-name.txt", 3);
    MakeFolder(junk / L"empty");
    MakeFile(outside / L"same-name.txt", 6);
    MakeFolder(outside / L"keep");
    junk::ScanJunkFolder(junk::JunkList(0), junk::EmptyFolderList(), junk.Path(), junk::kWalkAll);
    ASSERT_EQ(junk::JunkList(0).Count(), 1u);
    ASSERT_EQ(junk::EmptyFolderList().Count(), 1u);

    ASSERT_TRUE(MoveFileW((junk / L"sub").c_str(), (junk / L"sub-before").c_str()));
    Link(outside, junk / L"sub");
    ASSERT_TRUE(RemoveDirectoryW((junk / L"empty").c_str()));
    Link(outside, junk / L"empty");
    CleanScanned(0);

    EXPECT_TRUE(Exists(outside / L"same-name.txt"));
    EXPECT_TRUE(Exists(outside / L"keep"));
    EXPECT_TRUE(Exists(junk / L"sub-before\\same-name.txt"));
    EXPECT_EQ(junk::Undeletables().Count(), 1u);
}

TEST_F(LinkSafety, RemoveEmptyFolderTreeNeitherEntersNorRemovesALink) {
    MakeFolder(outside / L"empty-target");
    Link(outside, junk / L"top-link");
    EXPECT_EQ(junk::RemoveEmptyFolderTree(junk / L"top-link"), 0);
    MakeFolder(junk / L"holder");
    Link(outside, junk / L"holder\\inner-link");
    EXPECT_EQ(junk::RemoveEmptyFolderTree(junk / L"holder"), 0);
    EXPECT_TRUE(Exists(outside / L"empty-target"));
    EXPECT_TRUE(Exists(junk / L"holder\\inner-link"));
}

// Wine's recycle bin is the XDG trash of the test prefix's own HOME: a link
// placed there is an item of the bin.
TEST_F(LinkSafety, ALinkInTheRecycleBinIsEmptiedWithoutItsTarget) {
    const std::wstring trash = testsupport::FromUnixPath(testsupport::Environment(L"XDG_DATA_HOME") + L"/Trash");
    ASSERT_FALSE(trash.empty());
    MakeFolder(trash + L"\\files");
    MakeFolder(trash + L"\\info");
    const std::wstring name = L"qo-link-" + std::to_wstring(GetCurrentProcessId());
    MakeFile(outside / L"canary.txt", 6);
    Link(outside, trash + L"\\files\\" + name);
    testsupport::WriteFile(trash + L"\\info\\" + name + L".trashinfo",
                           "[Trash Info]\nPath=/tmp/qo/" + std::string(name.begin(), name.end()) +
                               "\nDeletionDate=2024-01-01T00:00:00\n");

    junk::ScanRecycleBin(junk::JunkList(10));
    bool listed = false;
    for (const junk::JunkFileEntry& entry : junk::JunkList(10)) listed = listed || entry.name == name;
    EXPECT_TRUE(listed);
    CleanScanned(10);

    EXPECT_TRUE(Exists(outside / L"canary.txt"));
    DeleteFileW((trash + L"\\info\\" + name + L".trashinfo").c_str());
}

}  // namespace
