#include "common/file_delete.h"

#include <gtest/gtest.h>

#include <set>

#include "common/handles.h"
#include "program_exports.h"
#include "support/temp_dir.h"

using testsupport::Environment;
using testsupport::Exists;
using testsupport::FromUnixPath;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

constexpr std::wstring_view kPrefix = L"\\\\?\\";

// A path of `length` characters inside `dir`.
std::wstring PathOfLength(const TempDir& dir, std::size_t length) {
    const std::wstring folder = dir.Path() + L"\\";
    return folder + std::wstring(length - folder.size(), L'n');
}

TEST(ShellPathList, HoldsThePathAndTwoTerminatorsOrNothing) {
    const std::wstring longest(MAX_PATH - 2, L'p');
    const auto list = common::ShellPathList(longest);
    ASSERT_TRUE(list);
    EXPECT_EQ(std::wstring_view(list->data(), longest.size()), longest);
    EXPECT_EQ((*list)[MAX_PATH - 2], L'\0');
    EXPECT_EQ((*list)[MAX_PATH - 1], L'\0');

    EXPECT_FALSE(common::ShellPathList(std::wstring(MAX_PATH - 1, L'p')));
    EXPECT_FALSE(common::ShellPathList(std::wstring(MAX_PATH, L'p')));
    EXPECT_FALSE(common::ShellPathList(L""));
    EXPECT_FALSE(common::ShellPathList(L"C:\\Users\\me\\*"));
    EXPECT_FALSE(common::ShellPathList(L"C:\\Users\\me\\file?.txt"));
}

TEST(DirectDeletePath, PrefixesLongPathsAndRefusesTooLongOnes) {
    const struct {
        std::size_t length;
        bool accepted;
        bool prefixed;
    } cases[] = {
        {0, false, false},   {1, true, false},      {258, true, false},
        {259, true, true},   {32762, true, true},   {32763, false, false},
    };
    for (const auto& c : cases) {
        const std::wstring path(c.length, L'p');
        const std::optional<std::wstring> target = common::DirectDeletePath(path);
        ASSERT_EQ(target.has_value(), c.accepted) << c.length;
        if (target) {
            EXPECT_EQ(*target, c.prefixed ? std::wstring(kPrefix) + path : path) << c.length;
        }
    }
}

using DeleteFileTypeExport = testsupport::ProgramExportsTest;

TEST_F(DeleteFileTypeExport, DeletesFilesAndWholeFolders) {
    TempDir dir;
    WriteFile(dir / L"file.txt", "x");
    ASSERT_TRUE(CreateDirectoryW((dir / L"folder").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((dir / L"folder\\inner").c_str(), nullptr));
    WriteFile(dir / L"folder\\inner\\deep.txt", "x");

    EXPECT_EQ(exports().deleteFileType((dir / L"file.txt").c_str(), 0), 1);
    EXPECT_FALSE(Exists(dir / L"file.txt"));
    EXPECT_EQ(exports().deleteFileType((dir / L"folder").c_str(), 0), 1);
    EXPECT_FALSE(Exists(dir / L"folder"));

    EXPECT_EQ(exports().deleteFileType((dir / L"missing.txt").c_str(), 0), 0);
    EXPECT_EQ(exports().deleteFileType(L"", 0), 0);
    EXPECT_EQ(exports().deleteFileType(nullptr, 0), 0);
}

TEST_F(DeleteFileTypeExport, RefusesPathsWithoutRoomForTheListEnd) {
    TempDir dir;
    const std::wstring longest = PathOfLength(dir, MAX_PATH - 2);
    const std::wstring tooLong = PathOfLength(dir, MAX_PATH - 1);
    for (const std::wstring& path : {longest, tooLong}) WriteFile(std::wstring(kPrefix) + path, "x");

    EXPECT_EQ(exports().deleteFileType(tooLong.c_str(), 0), 0);
    EXPECT_TRUE(Exists(std::wstring(kPrefix) + tooLong));
    EXPECT_EQ(exports().deleteFileType(longest.c_str(), 0), 1);
    EXPECT_FALSE(Exists(std::wstring(kPrefix) + longest));
}

// The names in a trash's files and info folders.
std::set<std::wstring> TrashEntries(const std::wstring& trash) {
    std::set<std::wstring> names;
    for (const wchar_t* folder : {L"\\files\\*", L"\\info\\*"}) {
        WIN32_FIND_DATAW data;
        const common::UniqueFind find(FindFirstFileW((trash + folder).c_str(), &data));
        if (!find) continue;
        do names.insert(folder + std::wstring(L"|") + data.cFileName);
        while (FindNextFileW(find.get(), &data));
    }
    return names;
}

// Wine keeps its recycle bin in the Linux trash of $HOME. The test harness
// gives every Wine process a HOME of its own, so recycling here must never
// reach the trash of the user who runs the tests (QO_USER_HOME).
TEST_F(DeleteFileTypeExport, RecyclesIntoTheTrashOfTheTestHomeOnly) {
    // Wine passes HOME on only as WINEHOMEDIR, an NT path: "\??\Z:" and the Linux path.
    std::wstring home = Environment(L"WINEHOMEDIR");
    ASSERT_TRUE(home.starts_with(L"\\??\\")) << home;
    home.erase(0, 4);
    const std::wstring userHome = FromUnixPath(Environment(L"QO_USER_HOME"));
    ASSERT_NE(userHome, FromUnixPath(L""));
    ASSERT_NE(CompareStringOrdinal(home.c_str(), -1, userHome.c_str(), -1, TRUE), CSTR_EQUAL);
    const std::wstring trash = home + L"\\.local\\share\\Trash";
    const std::wstring userTrash = userHome + L"\\.local\\share\\Trash";
    const bool userTrashExisted = Exists(userTrash);
    const std::set<std::wstring> userTrashBefore = TrashEntries(userTrash);

    const std::wstring name = L"qo-recycled-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    const std::wstring trashed = trash + L"\\files\\" + name;
    const std::wstring trashInfo = trash + L"\\info\\" + name + L".trashinfo";
    DeleteFileW(trashed.c_str());
    DeleteFileW(trashInfo.c_str());

    TempDir dir;
    WriteFile(dir / name, "recycled");
    EXPECT_EQ(exports().deleteFileType((dir / name).c_str(), 1), 1);
    EXPECT_FALSE(Exists(dir / name));
    EXPECT_EQ(ReadFile(trashed), "recycled");
    EXPECT_TRUE(Exists(trashInfo));

    EXPECT_EQ(Exists(userTrash), userTrashExisted);
    EXPECT_EQ(TrashEntries(userTrash), userTrashBefore);
    DeleteFileW(trashed.c_str());
    DeleteFileW(trashInfo.c_str());
}

using DeleteFileTypeExExport = testsupport::ProgramExportsTest;

TEST_F(DeleteFileTypeExExport, DeletesOneFileLongPathsIncluded) {
    TempDir dir;
    const std::wstring folder = dir / std::wstring(200, L'd');
    ASSERT_TRUE(CreateDirectoryW((std::wstring(kPrefix) + folder).c_str(), nullptr));
    const std::wstring longPath = folder + L"\\" + std::wstring(100, L'f');
    WriteFile(std::wstring(kPrefix) + longPath, "x");
    WriteFile(dir / L"short.txt", "x");

    EXPECT_EQ(exports().deleteFileTypeEx(longPath.c_str(), 0), 1);
    EXPECT_FALSE(Exists(std::wstring(kPrefix) + longPath));
    EXPECT_EQ(exports().deleteFileTypeEx((dir / L"short.txt").c_str(), 12345), 1);
    EXPECT_FALSE(Exists(dir / L"short.txt"));
}

TEST_F(DeleteFileTypeExExport, FailsWithoutDeletingWhatItMayNot) {
    TempDir dir;
    WriteFile(dir / L"readonly.txt", "x");
    ASSERT_TRUE(SetFileAttributesW((dir / L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryW((dir / L"folder").c_str(), nullptr));

    EXPECT_EQ(exports().deleteFileTypeEx((dir / L"readonly.txt").c_str(), 0), 0);
    EXPECT_TRUE(Exists(dir / L"readonly.txt"));
    EXPECT_EQ(exports().deleteFileTypeEx((dir / L"folder").c_str(), 0), 0);
    EXPECT_TRUE(Exists(dir / L"folder"));
    EXPECT_EQ(exports().deleteFileTypeEx((dir / L"missing.txt").c_str(), 0), 0);
    EXPECT_EQ(exports().deleteFileTypeEx(L"", 0), 0);
    EXPECT_EQ(exports().deleteFileTypeEx(nullptr, 0), 0);
}

}  // namespace
