#include "common/env_path.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <map>

#include "common/wow64.h"
#include "guarded_buffer.h"
#include "program_exports.h"
#include "support/temp_dir.h"

using testsupport::Environment;
using testsupport::GuardedBuffer;

namespace {

// An environment of fixed values; anything else is undefined.
common::EnvironmentLookup Values(std::map<std::wstring, std::wstring> values) {
    return [values = std::move(values)](const std::wstring& name) {
        const auto found = values.find(name);
        return found == values.end() ? std::wstring() : found->second;
    };
}

TEST(ReplaceEnvironmentString, ReplacesEveryOccurrenceOfTheFirstToken) {
    const auto lookup = Values({{L"windir", L"C:\\Windows"}, {L"a", L"A1"}, {L"b", L"B2"}, {L"A", L"upper"}});
    const struct {
        const wchar_t* text;
        std::optional<std::wstring> result;
    } cases[] = {
        {L"%windir%\\temp", L"C:\\Windows\\temp"},
        {L"x%a%y%a%z", L"xA1yA1z"},
        {L"%a%\\%b%", L"A1\\%b%"},  // only the first name is expanded
        {L"%a%\\%A%", L"A1\\%A%"},  // the replacement is case-sensitive
        {L"%undefined%\\x", L"\\x"},
        {L"%%x", L"x"},
        {L"50% of %a%", L"50a%"},  // the first pair of percent signs wins, whatever lies between
        {L"no token", std::nullopt},
        {L"one % only", std::nullopt},
        {L"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(common::ReplaceEnvironmentString(c.text, lookup), c.result) << c.text;
}

TEST(Wow64AlternativeValue, NamesThe64BitFolderBehindTheValue) {
    const struct {
        const wchar_t* value;
        std::optional<std::wstring> alternative;
    } cases[] = {
        {L"C:\\Program Files (x86)", L"c:\\program files"},
        {L"D:\\PROGRAM FILES (X86)\\Common Files", L"d:\\program files\\common files"},
        {L"C:\\Program Files (x86)\\\u00D6laf", L"c:\\program files\\\u00F6laf"},
        {L"C:\\Windows\\System32", L"c:\\windows\\SysWOW64"},
        {L"C:\\Windows\\system32\\cmd.exe", L"c:\\windows\\SysWOW64\\cmd.exe"},
        {L"C:\\Program Files", std::nullopt},
        {L"C:\\Program Files (x8", std::nullopt},
        {L"XC:\\Program Files (x86)", std::nullopt},  // not right after a drive
        {L"C:\\Windows", std::nullopt},
        {L"C:\\Data\\Windows\\System32", std::nullopt},
        {L"C:", std::nullopt},
        {L"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(common::Wow64AlternativeValue(c.value), c.alternative) << c.value;
}

TEST(ExpandEnvironmentPath, GivesTheAlternativeOnlyUnderWow64) {
    const auto lookup = Values({{L"ProgramFiles", L"C:\\Program Files (x86)"},
                                {L"ComSpec", L"C:\\Windows\\system32\\cmd.exe"},
                                {L"SystemRoot", L"C:\\Windows"}});
    const struct {
        const wchar_t* path;
        bool wow64;
        bool answer;
        const wchar_t* expanded;
        const wchar_t* alternative;
    } cases[] = {
        {L"%ProgramFiles%\\App\\a.exe", true, true, L"C:\\Program Files (x86)\\App\\a.exe",
         L"c:\\program files\\App\\a.exe"},
        {L"%ProgramFiles%\\App\\a.exe", false, true, L"C:\\Program Files (x86)\\App\\a.exe", L""},
        {L"\"%ComSpec%\" /c", true, true, L"\"C:\\Windows\\system32\\cmd.exe\" /c",
         L"\"c:\\windows\\SysWOW64\\cmd.exe\" /c"},
        {L"%SystemRoot%\\System32\\x.dll", true, true, L"C:\\Windows\\System32\\x.dll", L""},
        {L"%Undefined%\\x", true, true, L"\\x", L""},
        {L"C:\\plain\\path", true, false, L"C:\\plain\\path", L""},
    };
    for (const auto& c : cases) {
        std::wstring expanded = L"left over", alternative = L"left over";
        EXPECT_EQ(common::ExpandEnvironmentPath(c.path, expanded, alternative, c.wow64, lookup), c.answer) << c.path;
        EXPECT_EQ(expanded, c.expanded) << c.path;
        EXPECT_EQ(alternative, c.alternative) << c.path;
    }
}

TEST(ExpandEnvironmentPath, FindsThe64BitProgramFilesOfThisMachine) {
    // The test prefix is a 64-bit Windows.
    std::wstring expanded, alternative;
    ASSERT_TRUE(common::ExpandEnvironmentPath(L"%ProgramFiles%\\App\\a.exe", expanded, alternative));
    EXPECT_EQ(expanded, Environment(L"ProgramFiles") + L"\\App\\a.exe");
    if constexpr (sizeof(void*) == 8) {
        // A 64-bit build sees the 64-bit folder itself.
        EXPECT_FALSE(common::RunsUnderWow64());
        EXPECT_EQ(expanded.find(L" (x86)"), std::wstring::npos) << expanded;
        EXPECT_EQ(alternative, L"");
        return;
    }
    ASSERT_TRUE(common::RunsUnderWow64());
    EXPECT_TRUE(expanded.find(L" (x86)\\App") != std::wstring::npos) << expanded;
    // ProgramW6432 names the 64-bit folder for 32-bit processes.
    std::wstring programFiles64 = Environment(L"ProgramW6432");
    for (wchar_t& c : programFiles64) c = static_cast<wchar_t>(towlower(c));
    EXPECT_EQ(alternative, programFiles64 + L"\\App\\a.exe");
}

using ReplaceEnvironmentStringExport = testsupport::ProgramExportsTest;

TEST_F(ReplaceEnvironmentStringExport, WritesTheExpandedTextWhenItFits) {
    // Long values, defined in this process, which the export reads too.
    ASSERT_TRUE(SetEnvironmentVariableW(L"QO_TEST_FITS", std::wstring(MAX_PATH - 3, L'f').c_str()));
    ASSERT_TRUE(SetEnvironmentVariableW(L"QO_TEST_TOO_LONG", std::wstring(MAX_PATH - 2, L'l').c_str()));
    const struct {
        const wchar_t* text;
        int answer;
        std::wstring output;
    } cases[] = {
        {L"%windir%\\temp", 1, Environment(L"windir") + L"\\temp"},
        {L"%QO_TEST_UNDEFINED%\\x", 1, L"\\x"},
        {L"%QO_TEST_FITS%\\x", 1, std::wstring(MAX_PATH - 3, L'f') + L"\\x"},  // 259 units
        {L"%QO_TEST_TOO_LONG%\\x", 0, L"untouched"},
        {L"no token", 0, L"untouched"},
    };
    for (const auto& c : cases) {
        GuardedBuffer output(L"untouched");
        EXPECT_EQ(exports().replaceEnvironmentString(c.text, output.data()), c.answer) << c.text;
        EXPECT_EQ(output.Text(), c.output) << c.text;
        EXPECT_TRUE(output.GuardIntact()) << c.text;
    }
    SetEnvironmentVariableW(L"QO_TEST_FITS", nullptr);
    SetEnvironmentVariableW(L"QO_TEST_TOO_LONG", nullptr);
}

TEST_F(ReplaceEnvironmentStringExport, RefusesMissingArguments) {
    GuardedBuffer output(L"untouched");
    EXPECT_EQ(exports().replaceEnvironmentString(nullptr, output.data()), 0);
    EXPECT_EQ(output.Text(), L"untouched");
    EXPECT_EQ(exports().replaceEnvironmentString(L"%windir%", nullptr), 0);
}

}  // namespace
