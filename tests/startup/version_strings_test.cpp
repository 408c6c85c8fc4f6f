#include "startup/version_strings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "startup/startup_sandbox.h"

namespace {

TEST(VersionStrings, ReadsDescriptionAndCompanyOfTheResource) {
    startup::StartupItem item;
    item.companyName = L"stale";
    startup::ReadVersionStrings(testsupport::ProgramFile(), item);
    EXPECT_EQ(item.fileDescription, L"Quillmark Orvane");
    EXPECT_EQ(item.companyName, L"Quillmark");
}

TEST(VersionStrings, AProgramWithoutAResourceIsItsFileName) {
    const testsupport::TempDir folder;
    testsupport::WriteFile(folder / L"plain.exe", "MZ not much of a program");
    struct Case {
        std::wstring path;
        const wchar_t* description;
    };
    const Case cases[] = {
        {folder / L"plain.exe", L"plain.exe"},
        {folder / L"missing.exe", L"missing.exe"},
        {L"bare.exe", L""},  // no folder, no name taken
        {L"", L""},
    };
    for (const Case& c : cases) {
        startup::StartupItem item;
        startup::ReadVersionStrings(c.path, item);
        EXPECT_EQ(item.fileDescription, c.description) << c.path;
        EXPECT_EQ(item.companyName, L"");
    }
}

// The version texts of a program are read only from a local fixed disk:
// any other form of the same file, which the system would open, is
// described by its file name alone.
TEST(VersionStrings, AProgramOffALocalFixedDiskIsOnlyItsFileName) {
    const std::wstring program = testsupport::ProgramFile();
    const std::wstring name = program.substr(program.rfind(L'\\') + 1);
    struct Case {
        std::wstring path;
        std::wstring description;
        const wchar_t* company;
    };
    const Case cases[] = {
        {L"\\\\?\\" + program, L"Quillmark Orvane", L"Quillmark"},
        {L"\\\\.\\" + program, name, L""},
        {L"\\\\qo-no-server\\share\\tool.exe", L"tool.exe", L""},
    };
    for (const Case& c : cases) {
        startup::StartupItem item;
        startup::ReadVersionStrings(c.path, item);
        EXPECT_EQ(item.fileDescription, c.description) << c.path;
        EXPECT_EQ(item.companyName, c.company) << c.path;
    }
}

}  // namespace
