// Which paths the program reads a file's icon and version texts from: only
// plain full paths on a drive letter of a fixed disk.
#include "common/local_drive_path.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(LocalDrivePath, OnlyPlainFullPathsOnADriveLetterAreAdmitted) {
    struct Case {
        std::wstring path;
        std::optional<std::wstring> root;
    };
    const Case cases[] = {
        {L"C:\\a.exe", L"C:\\"},
        {L"c:\\Program Files\\Tool\\tool.exe", L"c:\\"},
        {L"D:/tools/a.exe", L"D:\\"},
        {L"\\\\?\\C:\\a.exe", L"C:\\"},
        {L"C:\\dir\\..\\a.exe", L"C:\\"},
        {L"C:\\console.exe", L"C:\\"},  // a name that only starts like a device
        {L"C:\\com10.exe", L"C:\\"},
        {L"C:\\dir.con\\a.exe", L"C:\\"},
        // Servers and devices.
        {L"\\\\server\\share\\a.exe", std::nullopt},
        {L"//server/share/a.exe", std::nullopt},
        {L"\\\\?\\UNC\\server\\share\\a.exe", std::nullopt},
        {L"\\\\.\\pipe\\a", std::nullopt},
        {L"\\\\.\\C:\\a.exe", std::nullopt},
        {L"\\\\?\\Volume{8d5a0a1e-0000-0000-0000-100000000000}\\a.exe", std::nullopt},
        {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\a.exe", std::nullopt},
        {L"\\??\\C:\\a.exe", std::nullopt},
        {L"\\\\?\\\\\\?\\C:\\a.exe", std::nullopt},
        // DOS device names, with an extension, spaces or a folder before them.
        {L"CON", std::nullopt},
        {L"C:\\CON", std::nullopt},
        {L"C:\\dir\\nul.txt", std::nullopt},
        {L"C:\\dir\\Aux .log", std::nullopt},
        {L"C:\\prn.exe.", std::nullopt},
        {L"C:\\COM1", std::nullopt},
        {L"C:\\lpt9.exe", std::nullopt},
        {L"C:\\com\u00B9.exe", std::nullopt},
        {L"C:\\conin$", std::nullopt},
        {L"C:\\CONOUT$.txt", std::nullopt},
        {L"C:\\nul\\a.exe", std::nullopt},
        // Relative paths.
        {L"a.exe", std::nullopt},
        {L"dir\\a.exe", std::nullopt},
        {L"\\a.exe", std::nullopt},
        {L"C:a.exe", std::nullopt},
        {L"1:\\a.exe", std::nullopt},
        {L"", std::nullopt},
        // Streams, wildcards and characters no name holds.
        {L"C:\\a.exe:s", std::nullopt},
        {L"C:\\a.exe::$DATA", std::nullopt},
        {L"C:\\*.exe", std::nullopt},
        {L"C:\\a?.exe", std::nullopt},
        {L"C:\\a|b.exe", std::nullopt},
        {std::wstring(L"C:\\a.exe\0.txt", 13), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(common::LocalDriveRoot(c.path), c.root) << testing::PrintToString(c.path);
}

// A drive letter counts only for a fixed disk: here a letter the prefix has
// no fixed disk on.
TEST(LocalDrivePath, TheDriveMustBeAFixedDisk) {
    EXPECT_TRUE(common::IsOnLocalFixedDrive(L"C:\\qo-no-such-file.exe"));
    EXPECT_FALSE(common::IsOnLocalFixedDrive(L"\\\\qo-no-server\\share\\a.exe"));
    std::wstring other;
    for (wchar_t letter = L'D'; letter <= L'Y' && other.empty(); ++letter)
        if (GetDriveTypeW((std::wstring{letter} + L":\\").c_str()) != DRIVE_FIXED) other = std::wstring{letter} + L":\\a.exe";
    ASSERT_FALSE(other.empty());
    EXPECT_FALSE(common::IsOnLocalFixedDrive(other));
}

}  // namespace
