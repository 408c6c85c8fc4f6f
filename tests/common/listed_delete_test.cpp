// The deletion owner: what it deletes, what it leaves, and what it reports,
// with the link shapes Wine presents (see support/linux_links.h).
#include "common/listed_delete.h"

#include <gtest/gtest.h>

#include "support/linux_links.h"
#include "support/temp_dir.h"

namespace {

using common::DeleteResult;
using testsupport::Exists;
using testsupport::MakeFile;
using testsupport::MakeFolder;
using testsupport::TempDir;

class ListedDelete : public testing::Test {
protected:
    void Link(const std::wstring& target, const std::wstring& link) { ASSERT_TRUE(links.Make(target, link)); }
    TempDir dir;
    TempDir outside;
    testsupport::LinuxLinks links;  // removed before the folders
};

TEST_F(ListedDelete, FilesGoOnlyWhereThePathLeadsToThemselves) {
    MakeFile(outside / L"canary.txt", 6);
    MakeFile(outside / L"sub\\canary.txt", 6);
    Link(outside / L"canary.txt", dir / L"file-link.tmp");
    Link(outside / L"sub", dir / L"folder-link");
    struct Case {
        std::wstring listed;
        DWORD attributes;  // the file made at the listed path first, when not 0
        DeleteResult result;
    };
    const Case cases[] = {
        {dir / L"plain.tmp", FILE_ATTRIBUTE_NORMAL, DeleteResult::Deleted},
        {dir / L"readonly.tmp", FILE_ATTRIBUTE_READONLY, DeleteResult::Deleted},
        {dir / L"hidden-system.tmp", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY,
         DeleteResult::Deleted},
        {dir / L"missing.tmp", 0, DeleteResult::AlreadyGone},
        {dir / L"missing-folder\\x.tmp", 0, DeleteResult::AlreadyGone},
        {dir / L"file-link.tmp", 0, DeleteResult::Elsewhere},
        {dir / L"folder-link\\canary.txt", 0, DeleteResult::Elsewhere},
    };
    for (const Case& c : cases) {
        if (c.attributes) MakeFile(c.listed, 4, c.attributes);
        EXPECT_EQ(common::DeleteListedFile(c.listed), c.result) << std::string(c.listed.begin(), c.listed.end());
        if (c.result != DeleteResult::Elsewhere) EXPECT_FALSE(Exists(c.listed));
    }
    EXPECT_EQ(testsupport::ReadFile(outside / L"canary.txt"), "xxxxxx");
    EXPECT_EQ(testsupport::ReadFile(outside / L"sub\\canary.txt"), "xxxxxx");
}

TEST_F(ListedDelete, LetterCaseAsideTheListedPathIsTheFile) {
    MakeFile(dir / L"Mixed.Tmp", 1);
    EXPECT_EQ(common::DeleteListedFile(dir / L"MIXED.TMP"), DeleteResult::Deleted);
    EXPECT_FALSE(Exists(dir / L"Mixed.Tmp"));
}

TEST_F(ListedDelete, AFileInUseOrAFolderStaysAsItWas) {
    MakeFile(dir / L"held.tmp", 1, FILE_ATTRIBUTE_READONLY);
    {
        const HANDLE held = CreateFileW((dir / L"held.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(common::DeleteListedFile(dir / L"held.tmp"), DeleteResult::InUse);
        CloseHandle(held);
    }
    EXPECT_TRUE(GetFileAttributesW((dir / L"held.tmp").c_str()) & FILE_ATTRIBUTE_READONLY);
    MakeFolder(dir / L"folder");
    EXPECT_EQ(common::DeleteListedFile(dir / L"folder"), DeleteResult::Failed);
    EXPECT_TRUE(Exists(dir / L"folder"));
    SetFileAttributesW((dir / L"held.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The read-only attribute belongs to the file, which all its hard links
// share: it is cleared to delete a file's only name, never one name of
// several (that would leave the other names writable). Such a link stays and
// is reported as not deleted; a writable file loses just the listed name.
TEST_F(ListedDelete, AReadOnlyFileWithOtherHardLinksKeepsItsAttributeAndStays) {
    struct Case {
        const wchar_t* name;
        bool secondLink;
        DWORD attributes;
        DeleteResult result;
    };
    const Case cases[] = {
        {L"one-link.tmp", false, FILE_ATTRIBUTE_NORMAL, DeleteResult::Deleted},
        {L"one-link-readonly.tmp", false, FILE_ATTRIBUTE_READONLY, DeleteResult::Deleted},
        {L"two-links.tmp", true, FILE_ATTRIBUTE_NORMAL, DeleteResult::Deleted},
        {L"two-links-readonly.tmp", true, FILE_ATTRIBUTE_READONLY, DeleteResult::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
        const std::wstring listed = dir / c.name;
        const std::wstring other = outside / c.name;
        MakeFile(listed, 4, c.attributes);
        if (c.secondLink) {
            ASSERT_TRUE(CreateHardLinkW(other.c_str(), listed.c_str(), nullptr)) << GetLastError();
        }
        EXPECT_EQ(common::DeleteListedFile(listed), c.result);
        EXPECT_EQ(Exists(listed), c.result != DeleteResult::Deleted);
        for (const std::wstring& name : {listed, other}) {
            if (!Exists(name)) continue;
            EXPECT_EQ(testsupport::ReadFile(name), "xxxx");
            EXPECT_EQ(GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_READONLY, c.attributes & FILE_ATTRIBUTE_READONLY);
        }
        EXPECT_EQ(Exists(other), c.secondLink);
        for (const std::wstring& name : {listed, other}) SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(ListedDelete, OnlyEmptyFoldersGoAndNeverThroughALink) {
    MakeFolder(dir / L"empty");
    MakeFile(dir / L"full\\f.txt", 1);
    MakeFile(dir / L"file.txt", 1);
    MakeFolder(outside / L"empty-target");
    Link(outside / L"empty-target", dir / L"link");
    EXPECT_EQ(common::DeleteListedFolder(dir / L"empty"), DeleteResult::Deleted);
    EXPECT_EQ(common::DeleteListedFolder(dir / L"full\\"), DeleteResult::Failed);
    EXPECT_EQ(common::DeleteListedFolder(dir / L"file.txt"), DeleteResult::Failed);
    EXPECT_EQ(common::DeleteListedFolder(dir / L"link"), DeleteResult::Elsewhere);
    EXPECT_EQ(common::DeleteListedFolder(dir / L"missing"), DeleteResult::AlreadyGone);
    EXPECT_FALSE(Exists(dir / L"empty"));
    EXPECT_TRUE(Exists(dir / L"full\\f.txt"));
    EXPECT_TRUE(Exists(dir / L"file.txt"));
    EXPECT_TRUE(Exists(outside / L"empty-target"));
}

TEST_F(ListedDelete, LongPathsAreDeletedToo) {
    const std::wstring folder = dir / std::wstring(200, L'd');
    const std::wstring file = folder + L"\\" + std::wstring(100, L'f');
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    testsupport::WriteFile(L"\\\\?\\" + file, "x");
    EXPECT_EQ(common::DeleteListedFile(file), DeleteResult::Deleted);
    EXPECT_EQ(common::DeleteListedFolder(folder), DeleteResult::Deleted);
    EXPECT_FALSE(Exists(L"\\\\?\\" + folder));
}

TEST_F(ListedDelete, ResolvedFolderIsTheFinalPathOfAFolderThatIsNoLink) {
    MakeFolder(dir / L"real\\inner");
    MakeFile(dir / L"file.txt", 1);
    Link(outside.Path(), dir / L"link");
    Link(dir / L"real", outside / L"to-real");
    EXPECT_EQ(common::ResolvedFolder(dir / L"real\\inner\\"), dir / L"real\\inner");
    EXPECT_EQ(common::ResolvedFolder(dir / L"REAL\\.\\inner"), dir / L"real\\inner");
    // Through a link above it: where the folder really lies.
    EXPECT_EQ(common::ResolvedFolder(outside / L"to-real\\inner"), dir / L"real\\inner");
    EXPECT_EQ(common::ResolvedFolder(dir / L"link"), std::nullopt);
    EXPECT_EQ(common::ResolvedFolder(dir / L"file.txt"), std::nullopt);
    EXPECT_EQ(common::ResolvedFolder(dir / L"missing"), std::nullopt);
}

TEST(FinalPathNames, MatchesTheDosPathLetterCaseAside) {
    EXPECT_TRUE(common::FinalPathNames(L"\\\\?\\C:\\Users\\u\\a.tmp", L"c:\\users\\U\\A.TMP"));
    EXPECT_TRUE(common::FinalPathNames(L"\\\\?\\UNC\\server\\share\\a", L"\\\\server\\share\\a"));
    EXPECT_TRUE(common::FinalPathNames(L"\\\\?\\C:\\", L"C:\\"));
    EXPECT_TRUE(common::FinalPathNames(L"\\\\?\\C:\\dir", L"C:\\dir\\"));
    EXPECT_FALSE(common::FinalPathNames(L"\\\\?\\Z:\\tmp\\a.tmp", L"C:\\Users\\u\\a.tmp"));
    EXPECT_FALSE(common::FinalPathNames(L"\\\\?\\C:\\Users\\u\\a.tmp2", L"C:\\Users\\u\\a.tmp"));
    EXPECT_FALSE(common::FinalPathNames(L"\\\\?\\UNC\\server\\share\\a", L"C:\\server\\share\\a"));
}

}  // namespace
