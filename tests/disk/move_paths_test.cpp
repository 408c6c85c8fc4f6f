// The path decisions of the download-folder move.
#include <gtest/gtest.h>

#include "disk/move_paths.h"

namespace {

using Paths = std::vector<std::wstring>;

TEST(MovePaths, UsableTargetsStartAtADrivesRoot) {
    struct Case {
        const wchar_t* text;
        std::optional<std::wstring> target;
    };
    const Case cases[] = {
        {L"D:/Downloads/new", L"D:\\Downloads\\new"}, {L"D:\\Dl\\", L"D:\\Dl\\"}, {L"e:/", L"e:\\"},
        {L"", std::nullopt},      {L"Downloads", std::nullopt}, {L"/tmp/dl", std::nullopt},
        {L"\\\\server\\share", std::nullopt}, {L"D:", std::nullopt}, {L"D:dl", std::nullopt},
        {L"1:\\dl", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(disk::MoveTargetPath(c.text), c.target) << c.text;
}

TEST(MovePaths, FoldersAboveAPathFromTheDriveDown) {
    struct Case {
        const wchar_t* path;
        Paths folders;
    };
    const Case cases[] = {
        {L"D:\\Dl\\a\\b.txt", {L"D:", L"D:\\Dl", L"D:\\Dl\\a"}},
        {L"D:\\Dl\\", {L"D:", L"D:\\Dl"}},
        {L"D:\\b.txt", {L"D:"}},
        {L"D:\\Dl\\\\a.txt", {L"D:", L"D:\\Dl"}},
        {L"b.txt", {}},
        {L"\\b.txt", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(disk::FoldersAbove(c.path), c.folders) << c.path;
}

TEST(MovePaths, DestinationKeepsTheFilesPlaceBelowTheFirstOldFolderHoldingIt) {
    const Paths old = {L"", L"C:\\Users\\u\\Downloads", L"C:\\Users\\u\\Downloads\\Edge\\"};
    struct Case {
        const wchar_t* file;
        const Paths& oldFolders;
        const wchar_t* target;
        std::optional<std::wstring> destination;
    };
    const Paths edgeFirst = {L"C:\\Users\\u\\Downloads\\Edge\\", L"C:\\Users\\u\\Downloads"};
    const Paths tiny = {L"C", L"\\"};
    const Paths root = {L"C:\\"};
    const Case cases[] = {
        {L"C:\\Users\\u\\Downloads\\a\\b.txt", old, L"D:\\Dl", L"D:\\Dl\\a\\b.txt"},
        {L"C:\\Users\\u\\Downloads\\a\\b.txt", old, L"D:\\Dl\\", L"D:\\Dl\\a\\b.txt"},
        {L"C:\\Users\\u\\Downloads\\top.txt", old, L"D:\\", L"D:\\top.txt"},
        {L"C:\\Users\\u\\Downloads\\Edge\\e.txt", old, L"D:\\Dl", L"D:\\Dl\\Edge\\e.txt"},
        {L"C:\\Users\\u\\Downloads\\Edge\\e.txt", edgeFirst, L"D:\\Dl", L"D:\\Dl\\e.txt"},
        {L"C:\\Users\\u\\Downloads2\\x.txt", old, L"D:\\Dl", std::nullopt},
        {L"C:\\Users\\u\\downloads\\x.txt", old, L"D:\\Dl", std::nullopt},
        {L"C:\\Users\\u\\Downloads", old, L"D:\\Dl", std::nullopt},
        {L"C:\\x.txt", tiny, L"D:\\Dl", std::nullopt},
        {L"C:\\x\\y.txt", root, L"D:\\Dl", L"D:\\Dl\\x\\y.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(disk::MoveDestination(c.file, c.oldFolders, c.target), c.destination) << c.file << " " << c.target;
}

TEST(MovePaths, AtOrBelowComparesWholeNamesWithoutCase) {
    EXPECT_TRUE(disk::IsAtOrBelow(L"C:\\Dl", L"c:\\dl\\"));
    EXPECT_TRUE(disk::IsAtOrBelow(L"C:\\Dl\\New\\", L"C:\\DL"));
    EXPECT_FALSE(disk::IsAtOrBelow(L"C:\\Dl2", L"C:\\Dl"));
    EXPECT_FALSE(disk::IsAtOrBelow(L"C:\\", L"C:\\Dl"));
}

TEST(MovePaths, FoldersToTidyStayWithinTheOldFoldersAndAwayFromTheTarget) {
    const Paths old = {L"", L"C:\\U\\Downloads", L"D:\\"};
    struct Case {
        const wchar_t* folder;
        const wchar_t* target;
        Paths folders;
    };
    const Case cases[] = {
        {L"C:\\U\\Downloads\\a\\b",
         L"E:\\Dl",
         {L"C:\\U\\Downloads\\a\\b", L"C:\\U\\Downloads\\a", L"C:\\U\\Downloads"}},
        {L"C:\\U\\Downloads\\a\\", L"E:\\Dl", {L"C:\\U\\Downloads\\a", L"C:\\U\\Downloads"}},
        {L"C:\\U\\Downloads\\a", L"C:\\U\\Downloads\\New", {L"C:\\U\\Downloads\\a"}},
        {L"C:\\U\\Downloads\\a", L"c:\\u\\downloads\\a", {}},
        {L"C:\\U\\Other", L"E:\\Dl", {}},
        {L"D:\\x\\y", L"E:\\Dl", {L"D:\\x\\y", L"D:\\x"}},
    };
    for (const Case& c : cases) EXPECT_EQ(disk::FoldersToTidy(c.folder, old, c.target), c.folders) << c.folder;
}

}  // namespace
