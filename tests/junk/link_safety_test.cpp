// Junk folders may hold junctions and symbolic links to folders and files
// with the user's data. Neither the scan nor the clean may ever reach
// through one. Links are Linux links made through Wine (see
// support/linux_links.h), in the shapes Wine presents them: a link to a
// folder is listed with the reparse-point attribute, as Windows lists
// junctions and directory symbolic links; a link to a file is listed as a
// plain file, and opening it opens its target.
#include <gtest/gtest.h>

#include <functional>

#include "core/worker_tasks.h"
#include "junk/folder_walk.h"
#include "junk/junk_categories.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"
#include "junk/recycle_bin.h"
#include "support/junk_fixtures.h"
#include "support/linux_links.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using junktest::MakeFile;
using junktest::MakeFolder;
using testsupport::Exists;

class LinkSafety : public junktest::JunkListsTest {
protected:
    void Link(const std::wstring& target, const std::wstring& link) {
        ASSERT_TRUE(links.Make(target, link)) << std::string(link.begin(), link.end());
    }
    void Clean(int category) {
        const core::TaskScope task;
        core::ZoneBits() = core::JUNKFILE_CLEAN_WORKING;
        junk::RunClean({{1, category}});
    }
    testsupport::LinuxLinks links;
    testsupport::PublishedHost host;
};

// A category of two folders ("junk" and "other"), each with a plain junk
// file, and a folder outside with the user's canary; each shape puts a link
// somewhere, before or after the scan. The canary must survive and the plain
// junk files must go, but for the one of a category folder that was itself
// swapped for a link: that folder is not walked, or no longer at the listed
// path.
TEST_F(LinkSafety, LinkShapesNeverLetTheCleanReachOutside) {
    struct Shape {
        const char* name;
        std::function<void(const testsupport::TempDir& root, const testsupport::TempDir& outside)> beforeScan,
            afterScan;
        // Where the "junk" folder's plain file lies at the end, and whether it went.
        const wchar_t* junkFolderFile;
        bool junkFolderFileGoes;
    };
    const auto none = [](const testsupport::TempDir&, const testsupport::TempDir&) {};
    const Shape shapes[] = {
        {"folder link inside the category",
         [this](const testsupport::TempDir& root, const testsupport::TempDir& outside) {
             Link(outside.Path(), root / L"junk\\link");
             Link(outside.Path(), root / L"junk\\sub\\deeper-link");
         },
         none, L"junk\\plain.tmp", true},
        {"file link inside the category",
         [this](const testsupport::TempDir& root, const testsupport::TempDir& outside) {
             Link(outside / L"canary.txt", root / L"junk\\file-link.tmp");
         },
         none, L"junk\\plain.tmp", true},
        {"link at the category folder itself, made before the scan",
         [this](const testsupport::TempDir& root, const testsupport::TempDir& outside) {
             ASSERT_TRUE(MoveFileW((root / L"junk").c_str(), (root / L"junk-real").c_str()));
             Link(outside.Path(), root / L"junk");
         },
         none, L"junk-real\\plain.tmp", false},
        {"link at the category folder itself, made after the scan", none,
         [this](const testsupport::TempDir& root, const testsupport::TempDir& outside) {
             ASSERT_TRUE(MoveFileW((root / L"junk").c_str(), (root / L"junk-before").c_str()));
             Link(outside.Path(), root / L"junk");
         },
         L"junk-before\\plain.tmp", false},
        {"folder inside the category became a link after the scan", none,
         [this](const testsupport::TempDir& root, const testsupport::TempDir& outside) {
             ASSERT_TRUE(MoveFileW((root / L"junk\\sub").c_str(), (root / L"junk\\sub-before").c_str()));
             Link(outside.Path(), root / L"junk\\sub");
             ASSERT_TRUE(RemoveDirectoryW((root / L"junk\\empty").c_str()));
             Link(outside.Path(), root / L"junk\\empty");
         },
         L"junk\\plain.tmp", true},
        {"file inside the category became a link after the scan", none,
         [this](const testsupport::TempDir& root, const testsupport::TempDir& outside) {
             ASSERT_TRUE(DeleteFileW((root / L"junk\\sub\\canary.txt").c_str()));
             Link(outside / L"canary.txt", root / L"junk\\sub\\canary.txt");
         },
         L"junk\\plain.tmp", true},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        testsupport::TempDir root, outside;
        MakeFile(outside / L"canary.txt", 6);
        MakeFolder(outside / L"keep");
        MakeFile(root / L"junk\\plain.tmp", 1);
        MakeFile(root / L"junk\\sub\\canary.txt", 3);  // the canary's name, listed in the category
        MakeFolder(root / L"junk\\empty");
        MakeFile(root / L"other\\plain.tmp", 1);
        shape.beforeScan(root, outside);
        for (const wchar_t* folder : {L"junk", L"other"})
            junk::ScanJunkFolder(junk::JunkList(0), junk::EmptyFolderList(0), root / folder, junk::kWalkAll);
        shape.afterScan(root, outside);

        Clean(0);

        EXPECT_EQ(testsupport::ReadFile(outside / L"canary.txt"), std::string(6, 'x'));
        EXPECT_TRUE(Exists(outside / L"keep"));
        EXPECT_FALSE(Exists(root / L"other\\plain.tmp"));
        EXPECT_NE(Exists(root / shape.junkFolderFile), shape.junkFolderFileGoes);
        links.RemoveAll();
        junk::ResetJunkLists();
        junk::Undeletables().Clear();
    }
}

// The user's TEMP may only name a folder inside the account's local
// AppData, but a link the user makes on the way can lead anywhere: such a
// folder is not walked where it leads, and only the Windows temp folder is
// scanned besides.
TEST_F(LinkSafety, ATempLeadingOutOfTheLocalAppDataThroughALinkIsNotWalked) {
    const std::optional<std::wstring> profile = junk::AccountProfile();
    ASSERT_TRUE(profile.has_value());
    const std::wstring outside = *profile + L"\\qo-outside-" + std::to_wstring(GetCurrentProcessId());
    MakeFile(outside + L"\\temp\\document.txt", 8);
    testsupport::TempDir root;
    MakeFile(root / L"real\\temp\\junk.tmp", 4);
    Link(outside, root / L"link");

    const junktest::ScopedUserTemp userTemp(root / L"link\\temp");
    const junk::CategorySources sources = junk::SystemSources();
    ASSERT_EQ(junk::PlanFor(0, sources).folders.front(), root / L"link\\temp");
    EXPECT_EQ(junk::WalkRoots({root / L"link\\temp"}, sources), std::vector<std::wstring>{});
    EXPECT_EQ(junk::WalkRoots({root / L"real\\temp"}, sources), std::vector<std::wstring>{root / L"real\\temp"});
    ASSERT_TRUE(junk::ScanJunkCategory(0, sources));
    for (const std::wstring& path : junktest::PathsOf(junk::JunkList(0)))
        EXPECT_FALSE(path.starts_with(outside) || path.starts_with(root.Path())) << std::string(path.begin(), path.end());
    Clean(0);
    EXPECT_TRUE(Exists(outside + L"\\temp\\document.txt"));
    links.RemoveAll();
    testsupport::RemoveTree(outside);
}

TEST_F(LinkSafety, RemoveEmptyFolderTreeNeitherEntersNorRemovesALink) {
    testsupport::TempDir junk, outside;
    MakeFolder(outside / L"empty-target");
    Link(outside.Path(), junk / L"top-link");
    EXPECT_EQ(junk::RemoveEmptyFolderTree(junk / L"top-link"), 0);
    MakeFolder(junk / L"holder");
    Link(outside.Path(), junk / L"holder\\inner-link");
    EXPECT_EQ(junk::RemoveEmptyFolderTree(junk / L"holder"), 0);
    EXPECT_TRUE(Exists(outside / L"empty-target"));
    EXPECT_TRUE(Exists(junk / L"holder\\inner-link"));
}

// Wine's recycle bin is the XDG trash of the test prefix's own HOME: links
// placed there are items of the bin, beside a plain deleted file. Wine's
// shell would delete a linked file's target, so the bin is emptied item by
// item through the deletion owner: the plain file goes, the links stay with
// their targets, and the bin, not emptied, is not reported cleaned. (Windows'
// own emptying call removes links as links: only Windows shows that.)
TEST_F(LinkSafety, LinksInTheRecycleBinStayWithTheirTargetsAndTheBinIsNotReportedEmptied) {
    testsupport::TempDir outside;
    const std::wstring trash = testsupport::FromUnixPath(testsupport::Environment(L"XDG_DATA_HOME") + L"/Trash");
    ASSERT_FALSE(trash.empty());
    MakeFolder(trash + L"\\files");
    MakeFolder(trash + L"\\info");
    MakeFile(outside / L"canary.txt", 6);
    MakeFile(outside / L"inside\\canary.txt", 6);
    const std::wstring tag = std::to_wstring(GetCurrentProcessId());
    const std::wstring folderLink = L"qo-folder-link-" + tag, fileLink = L"qo-file-link-" + tag,
                       plain = L"qo-plain-" + tag;
    Link(outside / L"inside", trash + L"\\files\\" + folderLink);
    Link(outside / L"canary.txt", trash + L"\\files\\" + fileLink);
    MakeFile(trash + L"\\files\\" + plain, 4);
    for (const std::wstring& name : {folderLink, fileLink, plain})
        testsupport::WriteFile(trash + L"\\info\\" + name + L".trashinfo",
                               "[Trash Info]\nPath=/tmp/qo/" + std::string(name.begin(), name.end()) +
                                   "\nDeletionDate=2024-01-01T00:00:00\n");

    junk::ScanRecycleBin(junk::JunkList(10));
    std::vector<std::wstring> listed;
    for (const junk::JunkFileEntry& entry : junk::JunkList(10)) listed.push_back(entry.name);
    EXPECT_NE(std::find(listed.begin(), listed.end(), plain), listed.end());
    EXPECT_NE(std::find(listed.begin(), listed.end(), folderLink), listed.end());
    Clean(10);

    EXPECT_EQ(testsupport::ReadFile(outside / L"canary.txt"), std::string(6, 'x'));
    EXPECT_EQ(testsupport::ReadFile(outside / L"inside\\canary.txt"), std::string(6, 'x'));
    EXPECT_FALSE(Exists(trash + L"\\files\\" + plain));
    EXPECT_FALSE(Exists(trash + L"\\info\\" + plain + L".trashinfo"));
    for (const std::wstring& link : {folderLink, fileLink}) {
        EXPECT_TRUE(Exists(trash + L"\\files\\" + link)) << std::string(link.begin(), link.end());
        EXPECT_TRUE(Exists(trash + L"\\info\\" + link + L".trashinfo"));
    }
    EXPECT_FALSE(junk::JunkList(10).Empty());
    EXPECT_TRUE(host.CallsOf("SetCleanEnd").empty());
    for (const std::wstring& name : {folderLink, fileLink, plain})
        DeleteFileW((trash + L"\\info\\" + name + L".trashinfo").c_str());
}

}  // namespace
