#include "common/app_directory.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(AppDirectory, KeepsTheTextUpToTheLastBackslash) {
    const struct {
        const wchar_t* modulePath;
        const wchar_t* directory;
    } cases[] = {
        {L"C:\\Program Files\\Quillmark\\QuillmarkOrvane.exe", L"C:\\Program Files\\Quillmark\\"},
        {L"C:\\a.exe", L"C:\\"},
        {L"\\\\server\\share\\a.exe", L"\\\\server\\share\\"},
        {L"a.exe", L"\\"},
        {L"", L"\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(common::DirectoryOfPath(c.modulePath), c.directory) << c.modulePath;
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
