// Files that appear whole or not at all, and a listed file deleted only
// through the handle that shows it is that file.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "common/listed_delete.h"
#include "common/whole_file.h"
#include "support/linux_links.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::TempDir;

std::vector<std::wstring> Names(const TempDir& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder / L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..")
            names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

TEST(WholeFile, AppearsWholeOrLeavesNothing) {
    TempDir folder;
    const std::wstring file = folder / L"new.lnk";
    const BYTE bytes[] = {'L', 0, 0, 0, 1, 2, 3};
    ASSERT_TRUE(common::CreateFileWithBytes(file, bytes));
    EXPECT_EQ(ReadFile(file), std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));

    // Never over a file that exists, and nothing left of a write that failed.
    EXPECT_FALSE(common::CreateFileWithBytes(file, {}));
    EXPECT_EQ(ReadFile(file).size(), sizeof bytes);
    EXPECT_FALSE(common::CreateFileWhole(folder / L"failed.bin", [](const std::wstring& part) {
        testsupport::WriteFile(part, "half of it");
        SetFileAttributesW(part.c_str(), FILE_ATTRIBUTE_READONLY);
        return false;
    }));
    EXPECT_EQ(Names(folder), std::vector<std::wstring>{L"new.lnk"});
}

TEST(ListedFile, OnlyThePlainFileItselfIsOpenedAndDeleted) {
    TempDir folder;
    TempDir outside;
    testsupport::WriteFile(folder / L"plain.txt", "plain");
    testsupport::WriteFile(outside / L"target.txt", "target");
    const std::wstring link = folder / L"link.txt";
    ASSERT_TRUE(testsupport::MakeLinuxLink(testsupport::UnixPath(outside / L"target.txt"), link));

    EXPECT_FALSE(common::OpenListedFile(link, GENERIC_READ));
    EXPECT_FALSE(common::OpenListedFile(folder.Path(), 0));
    {
        const common::UniqueFile file = common::OpenListedFile(folder / L"plain.txt", GENERIC_READ);
        ASSERT_TRUE(file);
        EXPECT_TRUE(common::DeleteOpenedFile(file.get()));
    }
    EXPECT_FALSE(Exists(folder / L"plain.txt"));
    EXPECT_EQ(ReadFile(outside / L"target.txt"), "target");
    EXPECT_TRUE(testsupport::RemoveLinuxLink(link));
}

}  // namespace
