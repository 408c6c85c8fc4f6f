#include "common/keep_match.h"

#include <gtest/gtest.h>

namespace {

TEST(KeepMatch, KeepsTheItemAndWhatLiesBelowItLetterCaseAside) {
    const struct {
        const wchar_t* kept;
        const wchar_t* item;
        bool keeps;
    } cases[] = {
        {L"C:\\a\\b", L"C:\\a\\b", true},
        {L"C:\\a\\b", L"C:\\a\\b\\x.tmp", true},
        {L"C:\\a\\b", L"C:\\a\\b\\deeper\\x.tmp", true},
        {L"C:\\a\\b", L"C:\\a\\bc", false},        // a sibling sharing the name's start
        {L"C:\\a\\b", L"C:\\a\\b.tmp", false},
        {L"C:\\a\\b", L"C:\\a", false},            // the folder above
        {L"C:\\a\\b", L"D:\\a\\b", false},
        {L"C:\\A\\B", L"c:\\a\\b\\X.TMP", true},   // letter case
        {L"C:\\Straße", L"c:\\STRASSE", false},    // ordinal: no linguistic folding
        {L"C:\\ÄPFEL", L"c:\\äpfel\\x", true},     // beyond ASCII
        {L"C:\\a\\b\\", L"C:\\a\\b\\x.tmp", true}, // trailing backslashes
        {L"C:\\a\\b", L"C:\\a\\b\\", true},
        {L"C:\\", L"C:\\a\\x.tmp", true},          // a drive keeps the drive
        {L"", L"C:\\a", false},                    // an empty text keeps nothing
        {L"HKEY_CURRENT_USER\\Software\\X", L"HKEY_CURRENT_USER\\Software\\X\\Sub", true},
        {L"HKEY_CURRENT_USER\\Software\\X", L"hkey_current_user\\software\\x\\value name", true},
        {L"HKEY_CURRENT_USER\\Software\\X", L"HKEY_CURRENT_USER\\Software\\XY", false},
        {L"HKEY_CURRENT_USER\\Software\\X\\value", L"HKEY_CURRENT_USER\\Software\\X", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(common::Keeps(c.kept, c.item), c.keeps) << c.kept << " / " << c.item;
        EXPECT_EQ(common::IsKept({L"C:\\elsewhere", c.kept}, c.item), c.keeps) << c.kept << " / " << c.item;
    }
}

TEST(KeepMatch, AFolderHoldingAKeptItemIsHeld) {
    const common::KeptItems kept = {L"C:\\a\\b\\keep.tmp", L"C:\\z"};
    const struct {
        const wchar_t* folder;
        bool holds;
    } cases[] = {
        {L"C:\\a", true}, {L"C:\\a\\b", true}, {L"c:\\A\\B\\", true}, {L"C:\\a\\bc", false},
        {L"C:\\z\\y", true},  // inside a kept folder
        {L"C:\\y", false},
    };
    for (const auto& c : cases) EXPECT_EQ(common::HoldsKept(kept, c.folder), c.holds) << c.folder;
    EXPECT_FALSE(common::HoldsKept({}, L"C:\\a"));
}

TEST(KeepMatch, NormalTextsAreWhatIsStoredAndMatched) {
    const struct {
        const wchar_t* given;
        const wchar_t* normal;
    } cases[] = {
        {L"C:\\a\\b\\", L"C:\\a\\b"},
        {L"C:/a/b//", L"C:\\a\\b"},
        {L"C:\\a\\B.tmp", L"C:\\a\\B.tmp"},  // stored as given
        {L"HKCU\\Software\\X", L"HKEY_CURRENT_USER\\Software\\X"},
        {L"hklm\\Software\\X\\", L"HKEY_LOCAL_MACHINE\\Software\\X"},
        {L"HKCR\\.xyz", L"HKEY_CLASSES_ROOT\\.xyz"},
        {L"HKU\\S-1-5-18", L"HKEY_USERS\\S-1-5-18"},
        {L"HKCC", L"HKEY_CURRENT_CONFIG"},
        {L"HKEY_CURRENT_USER\\Software", L"HKEY_CURRENT_USER\\Software"},
        {L"HKCUX\\Software", L"HKCUX\\Software"},  // not a root's abbreviation
        // Prefixes that name the same file.
        {L"\\\\?\\C:\\a\\b", L"C:\\a\\b"},
        {L"\\\\?\\UNC\\server\\share\\x", L"\\\\server\\share\\x"},
        {L"\\\\.\\C:\\a", L"C:\\a"},
        {L"\\??\\C:\\a", L"C:\\a"},
        {L"\\\\?\\Volume{1234}\\a", L"\\\\?\\Volume{1234}\\a"},  // no drive: left as it is
        // Registry texts as the scans list them.
        {L"HKLM\\SOFTWARE\\Classes\\.xyz", L"HKEY_CLASSES_ROOT\\.xyz"},
        {L"HKEY_CURRENT_USER\\Software\\Classes\\.xyz\\", L"HKEY_CLASSES_ROOT\\.xyz"},
        {L"HKLM\\Software\\Classes", L"HKEY_CLASSES_ROOT"},
        {L"HKLM\\SOFTWARE\\ClassesX\\.xyz", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\ClassesX\\.xyz"},
        {L"HKCU\\Software\\Classes\\Local Settings\\Software\\X",
         L"HKEY_CURRENT_USER\\Software\\Classes\\Local Settings\\Software\\X"},
        {L"HKCR\\Local Settings\\Software\\X", L"HKEY_CURRENT_USER\\Software\\Classes\\Local Settings\\Software\\X"},
        {L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\X", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\X"},
        {L"Computer\\HKEY_CURRENT_USER\\Software\\X", L"HKEY_CURRENT_USER\\Software\\X"},
        {L"\u8BA1\u7B97\u673A\\HKLM\\Software\\X", L"HKEY_LOCAL_MACHINE\\Software\\X"},
        {L"HKCU:\\Software\\X", L"HKEY_CURRENT_USER\\Software\\X"},
        {L"Registry::HKEY_LOCAL_MACHINE\\Software\\X", L"HKEY_LOCAL_MACHINE\\Software\\X"},
        {L"Computer\\Software\\X", L"Computer\\Software\\X"},  // a relative path
    };
    for (const auto& c : cases) EXPECT_EQ(common::NormalKeepText(c.given), c.normal) << c.given;
}

}  // namespace
