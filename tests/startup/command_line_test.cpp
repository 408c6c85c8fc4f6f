#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "support/temp_dir.h"

namespace {

TEST(CommandLine, CutsTheCommandLineAfterTheProgram) {
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* cut;
    };
    const Case cases[] = {
        {L"\"C:\\Program Files\\App\\app.exe\" /min", L"C:\\Program Files\\App\\app.exe"},
        {L"C:\\Windows\\system32\\ctfmon.exe /n", L"C:\\Windows\\system32\\ctfmon.exe "},  // the blank stays
        {L"C:\\Program Files\\Tool Kit\\tool.exe", L"C:\\Program Files\\Tool Kit\\tool.exe"},
        // A blank before the first "." is part of the path; the one after it is not.
        {L"C:\\My Apps\\v1.2 beta\\run.exe -x", L"C:\\My Apps\\v1.2 "},
        // Quoted arguments go too: the text ends after the last quote, then at
        // the first blank after the first ".".
        {L"\"C:\\a.exe\" \"--config=C:\\b c.ini\" more", L"C:\\a.exe "},
        {L"rundll32.exe shell32.dll,Control_RunDLL", L"rundll32.exe "},
        {L"\"", L""},
        {L"no dot here at all", L"no dot here at all"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(startup::CutCommandLine(c.commandLine), c.cut) << c.commandLine;
}

TEST(CommandLine, PrefersAnAlternativeThatNamesADrivePath) {
    struct Case {
        const wchar_t* expanded;
        const wchar_t* alternative;
        const wchar_t* chosen;
    };
    const Case cases[] = {
        {L"C:\\Program Files (x86)\\A\\a.exe", L"c:\\program files\\A\\a.exe", L"c:\\program files\\A\\a.exe"},
        {L"C:\\Windows\\a.exe", L"", L"C:\\Windows\\a.exe"},
        {L"C:\\Windows\\a.exe", L"relative\\a.exe", L"C:\\Windows\\a.exe"},
    };
    for (const Case& c : cases) EXPECT_EQ(startup::ChooseProgramPath(c.expanded, c.alternative), c.chosen);
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

TEST(CommandLine, ExpandsTheEnvironmentTokenOfTheProgram) {
    const std::wstring windows = testsupport::Environment(L"windir");
    EXPECT_EQ(startup::CommandLineToProgramPath(L"%windir%\\notepad.exe /p"), windows + L"\\notepad.exe ");
    // The program path is in the 64-bit folder, which a 32-bit program sees
    // as Program Files (x86) under WOW64 and finds through the alternative.
    const std::wstring programFiles = testsupport::Environment(L"ProgramFiles");
    const std::wstring program = startup::CommandLineToProgramPath(L"\"%ProgramFiles%\\App\\a.exe\" -x");
    if constexpr (sizeof(void*) == 8) {
        EXPECT_EQ(program, programFiles + L"\\App\\a.exe");
        return;
    }
    ASSERT_NE(Lower(programFiles).find(L"program files (x86)"), std::wstring::npos);
    EXPECT_EQ(program, Lower(programFiles.substr(0, programFiles.size() - 6)) + L"\\App\\a.exe");
}

}  // namespace
