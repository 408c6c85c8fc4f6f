#include "registry/issue_tests.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using registry::ExpandedPath;

registry::ExistsTest ExistingFiles(std::set<std::wstring> files) {
    return [files = std::move(files)](const std::wstring& path) { return files.count(path) > 0; };
}

// %programfiles% as a 32-bit process on 64-bit Windows sees it.
ExpandedPath ExpandAsWow64(const std::wstring& path) {
    const std::wstring token = L"%programfiles%";
    const std::size_t at = path.find(token);
    if (at == std::wstring::npos) return {path, L""};
    std::wstring expanded = path, alternative = path;
    expanded.replace(at, token.size(), L"C:\\Program Files (x86)");
    alternative.replace(at, token.size(), L"c:\\program files");
    return {expanded, alternative};
}

TEST(FirewallRule, ValidUnlessItsProgramPathIsGoneInBothViews) {
    const auto exists = ExistingFiles({L"c:\\tools\\app.exe", L"c:\\program files\\only64\\x.exe"});
    struct Case {
        const wchar_t* rule;
        bool valid;
    };
    const Case cases[] = {
        {L"v2.10|Action=Allow|Dir=In|Name=no program|", true},
        {L"v2.10|Action=Allow|App=C:\\Tools\\app.exe|Name=x|", true},
        {L"v2.10|Action=Allow|APP=C:\\Gone\\app.exe|Name=x|", false},
        {L"v2.10|Action=Allow|app=System|Name=x|", true},  // no drive
        {L"v2.10|App=%ProgramFiles%\\Gone\\x.exe|", false},
        {L"v2.10|App=%ProgramFiles%\\Only64\\x.exe|", true},  // the 64-bit folder has it
        {L"v2.10|Action=Allow|App=C:\\Gone\\app.exe", true},  // no separator after the field
    };
    for (const Case& c : cases)
        EXPECT_EQ(registry::FirewallRuleIsValid(c.rule, ExpandAsWow64, exists), c.valid) << c.rule;
}

TEST(MuiPath, ShortensTheNameUntilAFileExists) {
    const std::uint32_t driveC = 1u << 2;
    const auto exists = ExistingFiles({L"C:\\Tools\\app.exe", L"c:\\windows\\SysWOW64\\tool",
                                       L"c:\\Program Files\\vendor\\v"});
    struct Case {
        const wchar_t* name;
        bool wow64;
        bool valid;
    };
    const Case cases[] = {
        {L"C:\\Tools\\app.exe.FriendlyAppName", false, true},
        {L"C:\\Tools\\app.exe.ApplicationCompany", true, true},
        {L"C:\\Tools\\gone.exe.FriendlyAppName", false, false},
        {L"c:\\Tools\\gone.exe.FriendlyAppName", false, true},   // lower-case drive letter
        {L"D:\\Tools\\gone.exe.FriendlyAppName", false, true},   // drive not present
        {L"@C:\\Tools\\gone.dll,-100", false, true},             // last colon not second
        {L"C:\\Tools\\gone", false, false},
        // Under WOW64 the 64-bit folders are tried, cutting two name parts per pass.
        {L"C:\\Windows\\System32\\tool.exe.FriendlyAppName", true, true},
        {L"C:\\Windows\\System32\\tool.exe.FriendlyAppName", false, false},
        {L"C:\\Program Files (x86)\\Vendor\\v.exe.FriendlyAppName", true, true},
        {L"C:\\Other\\tool.exe.FriendlyAppName", true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(registry::MuiPathIsValid(c.name, driveC, c.wow64, exists), c.valid) << c.name << " " << c.wow64;
}

TEST(DllPath, TriesThe64BitFolderUnderWow64) {
    const auto exists = ExistingFiles({L"c:\\windows\\system32\\a.dll", L"c:\\program files\\v\\b.dll",
                                       L"c:\\windows\\SysWOW64\\c.dll"});
    struct Case {
        const wchar_t* name;
        bool wow64;
        bool valid;
    };
    const Case cases[] = {
        {L"C:\\Windows\\System32\\A.dll", false, true},
        {L"C:\\Program Files (x86)\\V\\b.dll", true, true},
        {L"C:\\Program Files (x86)\\V\\b.dll", false, false},
        {L"C:\\Windows\\System32\\c.dll", true, true},
        {L"C:\\Windows\\System32\\gone.dll", true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(registry::DllPathIsValid(c.name, c.wow64, exists), c.valid) << c.name << " " << c.wow64;
}

TEST(ExpandedPath, ValidWhenEitherFormExistsOrNeitherNamesAFile) {
    const auto exists = ExistingFiles({L"c:\\program files\\only64\\x.exe", L"C:\\Program Files (x86)\\v\\y.exe"});
    struct Case {
        const wchar_t* name;
        bool valid;
    };
    const Case cases[] = {
        {L"%ProgramFiles%\\Only64\\x.exe", true},  // lower-cased before expanding
        {L"%PROGRAMFILES%\\v\\y.exe", true},
        {L"%ProgramFiles%\\Gone\\z.exe", false},
        {L"c:\\gone.exe", false},
        {L"x", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(registry::ExpandedPathIsValid(c.name, ExpandAsWow64, exists), c.valid) << c.name;
}

TEST(UninstallEntry, IssueWhenItHoldsNothingButTheDefaultValue) {
    EXPECT_TRUE(registry::UninstallEntryIsIssue(0, 0, false));
    EXPECT_TRUE(registry::UninstallEntryIsIssue(0, 1, true));
    EXPECT_FALSE(registry::UninstallEntryIsIssue(0, 1, false));
    EXPECT_FALSE(registry::UninstallEntryIsIssue(0, 2, true));
    EXPECT_FALSE(registry::UninstallEntryIsIssue(1, 0, false));
}

}  // namespace
