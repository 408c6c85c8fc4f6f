// Making folders and files only through checked folders: nothing is ever
// made behind a link, whether the link is on the way to the folder, inside
// it under the name asked for, or swapped in for the folder while it is
// held (see support/linux_links.h for the links Wine shows).
#include "common/verified_folder.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/linux_links.h"
#include "support/temp_dir.h"

namespace {

using testsupport::Exists;
using testsupport::MakeFolder;
using testsupport::ReadFile;
using testsupport::TempDir;

// The names in a folder, "." and ".." aside.
std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

bool Write(HANDLE file, std::string_view text) {
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}

class VerifiedFolder : public testing::Test {
protected:
    void Link(const std::wstring& target, const std::wstring& link) { ASSERT_TRUE(links.Make(target, link)); }
    TempDir dir;
    TempDir outside;
    testsupport::LinuxLinks links;  // removed before the folders
};

TEST_F(VerifiedFolder, FoldersAreMadeOnlyWhereTheirPathLeads) {
    MakeFolder(outside / L"inside");
    testsupport::WriteFile(dir / L"a-file", "x");
    Link(outside.Path(), dir / L"linked");
    struct Case {
        std::wstring path;
        bool opened;
        std::vector<std::wstring> created;
    };
    const Case cases[] = {
        {dir / L"new\\deeper", true, {dir / L"new", dir / L"new\\deeper"}},
        {dir / L"new\\deeper\\", true, {}},  // there now: opened, nothing made
        {dir.Path(), true, {}},
        {dir / L"linked", false, {}},
        {dir / L"linked\\inside", false, {}},
        {dir / L"linked\\made-behind", false, {}},
        {dir / L"a-file", false, {}},
        {dir / L"a-file\\below", false, {}},
        {L"relative\\folder", false, {}},
        {L"C:relative", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        std::vector<std::wstring> created;
        const std::optional<common::VerifiedFolder> folder = common::MakeVerifiedFolder(c.path, &created);
        EXPECT_EQ(folder.has_value(), c.opened);
        EXPECT_EQ(created, c.created);
    }
    EXPECT_EQ(Names(outside.Path()), std::vector<std::wstring>{L"inside"});
    EXPECT_EQ(ReadFile(dir / L"a-file"), "x");
}

// Inside a checked folder, a name that is a link is never followed into
// where it leads, and nothing that exists is replaced.
TEST_F(VerifiedFolder, NamesInsideThatAreLinksOrTakenRefuse) {
    testsupport::WriteFile(outside / L"canary.txt", "canary");
    Link(outside.Path(), dir / L"folder-link");
    Link(outside / L"canary.txt", dir / L"file-link.txt");
    testsupport::WriteFile(dir / L"taken.txt", "taken");
    const std::optional<common::VerifiedFolder> folder = common::VerifiedFolder::Open(dir.Path());
    ASSERT_TRUE(folder);

    bool created = true;
    EXPECT_FALSE(folder->Child(L"folder-link", &created));
    EXPECT_FALSE(created);
    for (const wchar_t* name : {L"file-link.txt", L"taken.txt", L"folder-link", L"..", L"sub\\x", L"x:stream", L""})
        EXPECT_FALSE(folder->NewFile(name)) << name;

    {
        const common::UniqueFile file = folder->NewFile(L"new.part");
        ASSERT_TRUE(file);
        ASSERT_TRUE(Write(file.get(), "new"));
        for (const wchar_t* name : {L"taken.txt", L"file-link.txt", L"folder-link"})
            EXPECT_FALSE(folder->MoveHere(file.get(), name)) << name;
        const std::optional<common::VerifiedFolder> sub = folder->Child(L"sub", &created);
        ASSERT_TRUE(sub);
        EXPECT_TRUE(created);
        EXPECT_TRUE(sub->MoveHere(file.get(), L"arrived.txt"));
    }

    EXPECT_EQ(ReadFile(dir / L"sub\\arrived.txt"), "new");
    EXPECT_FALSE(Exists(dir / L"new.part"));
    EXPECT_EQ(ReadFile(dir / L"taken.txt"), "taken");
    EXPECT_EQ(ReadFile(outside / L"canary.txt"), "canary");
    EXPECT_EQ(Names(outside.Path()), std::vector<std::wstring>{L"canary.txt"});
}

// A folder held cannot be renamed away by a Windows program. A Linux one
// can, and put a link in its place: what is made through the handle then
// goes into the folder itself (Wine opens relative to the folder's own
// descriptor) or is refused, never behind the link.
TEST_F(VerifiedFolder, AHeldFolderSwappedForALinkLeadsNothingBehindIt) {
    const std::wstring held = dir / L"held";
    MakeFolder(held);
    const std::optional<common::VerifiedFolder> folder = common::VerifiedFolder::Open(held);
    ASSERT_TRUE(folder);
    EXPECT_FALSE(MoveFileW(held.c_str(), (dir / L"renamed").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    ASSERT_TRUE(testsupport::RunShell("mv '" + testsupport::UnixPath(held) + "' '" +
                                      testsupport::UnixPath(dir / L"real") + "'"));
    Link(outside.Path(), held);

    if (const common::UniqueFile file = folder->NewFile(L"written.txt")) {
        EXPECT_TRUE(Write(file.get(), "held"));
    }
    folder->Child(L"made");
    EXPECT_EQ(Names(outside.Path()), std::vector<std::wstring>{});
}

}  // namespace
