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

}  // namespace
