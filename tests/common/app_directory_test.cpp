#include "common/app_directory.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// Anything but a full path gives no folder: a folder relative to where the
// program runs would be some other folder's.
TEST(AppDirectory, KeepsTheTextUpToTheLastBackslashOfAFullPath) {
    const struct {
        const wchar_t* modulePath;
        const wchar_t* directory;
    } cases[] = {
        {L"C:\\Program Files\\Quillmark\\QuillmarkOrvane.exe", L"C:\\Program Files\\Quillmark\\"},
        {L"C:\\a.exe", L"C:\\"},
        {L"\\\\server\\share\\a.exe", L"\\\\server\\share\\"},
        {L"\\\\?\\C:\\Long\\a.exe", L"\\\\?\\C:\\Long\\"},
        {L"a.exe", L""},
        {L"C:a.exe", L""},
        {L"folder\\a.exe", L""},
        {L"\\folder\\a.exe", L""},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(common::DirectoryOfPath(c.modulePath), c.directory) << c.modulePath;
}

// What GetModuleFileNameW answers for a path longer than its buffer: the
// buffer filled, the path cut short.
TEST(AppDirectory, APathCutShortOrUnreadGivesNoFolder) {
    const wchar_t path[] = L"C:\\Program Files\\Quillmark\\QuillmarkOrvane.exe";
    const DWORD length = static_cast<DWORD>(std::size(path) - 1);
    const struct {
        DWORD answered;
        DWORD capacity;
        const wchar_t* folder;
    } cases[] = {
        {length, length + 1, L"C:\\Program Files\\Quillmark\\"},
        {length, length, L""},          // cut short: the whole buffer filled
        {length - 4, length - 4, L""},  // cut inside the name
        {0, length + 1, L""},           // not read
    };
    for (const auto& c : cases)
        EXPECT_EQ(common::ModuleFolder(path, c.answered, c.capacity), c.folder) << c.answered << "/" << c.capacity;
}

TEST(AppDirectory, IsTheFolderOfTheRunningExecutable) {
    // The tests run in the folder that holds their executable.
    wchar_t current[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    const std::wstring expected = std::wstring(current) + L"\\";
    const std::wstring directory = common::GetAppDirectory().Text();
    EXPECT_EQ(CompareStringOrdinal(directory.c_str(), -1, expected.c_str(), -1, TRUE), CSTR_EQUAL)
        << directory << " vs " << expected;
}

}  // namespace
