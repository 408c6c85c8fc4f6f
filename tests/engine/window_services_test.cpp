#include "engine/window_services.h"

#include <gtest/gtest.h>

#include <map>

#include "support/temp_dir.h"

namespace {

using engine::ExplorerArgument;
using engine::FileUrlOf;
using engine::IsWebAddress;
using engine::ListFolder;
using engine::ParseWindowState;
using engine::WindowState;

TEST(WindowServices, OnlyPlainWebAddressesLeaveTheProgram) {
    const struct {
        const wchar_t* address;
        bool allowed;
    } cases[] = {
        {L"https://www.quillmark.example/products/orvane/user-guide.html", true},
        {L"HTTP://quillmark.example/", true},
        {L"http://", false},
        {L"file:///C:/Windows/System32/calc.exe", false},
        {L"C:\\Windows\\System32\\cmd.exe", false},
        {L"javascript:alert(1)", false},
        {L"https://a.example/\" --evil", false},
        {L"https://a.example/\r\nx", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWebAddress(c.address), c.allowed) << testing::PrintToString(std::wstring(c.address));
}

TEST(WindowServices, ExplorerGetsTheFolderQuotedOrNothing) {
    EXPECT_EQ(ExplorerArgument(L"C:\\users\\Public\\Temp\\"), L"\"C:\\users\\Public\\Temp\"");
    EXPECT_EQ(ExplorerArgument(L"C:\\Program Files"), L"\"C:\\Program Files\"");
    EXPECT_EQ(ExplorerArgument(L"C:\\"), L"\"C:\\\"");
    EXPECT_FALSE(ExplorerArgument(L""));
    EXPECT_FALSE(ExplorerArgument(L"C:\\a\" /select,C:\\b"));
    EXPECT_FALSE(ExplorerArgument(L"C:\\a\nb"));
}

TEST(WindowServices, ChosenFoldersTravelAsFileUrls) {
    EXPECT_EQ(FileUrlOf(L"D:\\Downloads"), L"file:///D:/Downloads");
    EXPECT_EQ(FileUrlOf(L"C:\\My Files\\50% #1?"), L"file:///C:/My%20Files/50%25%20%231%3F");
    EXPECT_EQ(FileUrlOf(L"E:\\"), L"file:///E:/");
    EXPECT_FALSE(FileUrlOf(L"\\\\server\\share"));
    EXPECT_FALSE(FileUrlOf(L"relative\\folder"));
    EXPECT_FALSE(FileUrlOf(L""));
}

TEST(WindowServices, AFolderListingNamesEachEntryWithItsAttributes) {
    testsupport::TempDir dir;
    testsupport::MakeFile(dir / L"setup.exe", 10);
    testsupport::MakeFile(dir / L"notes.txt", 3, FILE_ATTRIBUTE_HIDDEN);
    testsupport::MakeFolder(dir / L"photos");
    testsupport::MakeFile(dir / L"photos\\a.jpg", 5);
    // The page writes the pattern with a forward slash after the folder.
    std::map<std::wstring, bool> folders;
    for (const engine::FolderEntry& entry : ListFolder(dir.Path() + L"/*.*")) {
        if (entry.name == L"." || entry.name == L"..") continue;
        folders[entry.name] = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (entry.name == L"notes.txt") {
            EXPECT_TRUE(entry.attributes & FILE_ATTRIBUTE_HIDDEN);
        }
    }
    EXPECT_EQ(folders, (std::map<std::wstring, bool>{{L"notes.txt", false}, {L"photos", true}, {L"setup.exe", false}}));
    EXPECT_TRUE(ListFolder(dir / L"missing\\*.*").empty());
    EXPECT_TRUE(ListFolder(L"").empty());
}

TEST(WindowServices, WindowStatesByName) {
    EXPECT_EQ(ParseWindowState(L"hidden"), WindowState::Hidden);
    EXPECT_EQ(ParseWindowState(L"minimized"), WindowState::Minimized);
    EXPECT_EQ(ParseWindowState(L"shown"), WindowState::Shown);
    EXPECT_FALSE(ParseWindowState(L"Hidden"));
    EXPECT_FALSE(ParseWindowState(L""));
}

}  // namespace
