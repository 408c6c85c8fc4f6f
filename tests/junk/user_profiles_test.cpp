// Which accounts of the machine's list of profiles a clean for all users
// takes, and where each profile's local AppData is taken from.
#include "junk/user_profiles.h"

#include <gtest/gtest.h>

#include "junk/protected_folders.h"

namespace {

TEST(UserProfiles, OnlyUsersAccountsCount) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"S-1-5-21-1004336348-1177238915-682003330-1001", true},
        {L"S-1-5-21-1-2-3-500", true},
        {L"s-1-5-21-1-2-3-1002", true},
        {L"S-1-5-18", false},  // SYSTEM
        {L"S-1-5-19", false},  // LocalService
        {L"S-1-5-20", false},  // NetworkService
        {L"S-1-5-21-1-2-3-1001.bak", false},
        {L"S-1-5-21-", false},
        {L"S-1-5-21-1-2-3-", false},
        {L"S-1-5-211-2-3-1001", false},
        {L"S-1-5-80-956008885-3418522649", false},
        {L"", false},
    };
    for (const auto& [sid, counts] : cases) EXPECT_EQ(junk::IsUserProfileSid(sid), counts) << std::wstring(sid).size();
}

// The hive's "Local AppData" is the user's to write: taken only when it lies
// inside the profile once expanded against that profile.
TEST(UserProfiles, ALocalAppDataOutsideTheProfileIsNotTaken) {
    const std::wstring root = L"C:\\Users\\ann";
    const std::wstring fallback = L"C:\\Users\\ann\\AppData\\Local";
    const std::pair<std::optional<std::wstring>, std::wstring> cases[] = {
        {std::nullopt, fallback},
        {L"%USERPROFILE%\\AppData\\Local", fallback},
        {L"%userprofile%\\Local Data", L"C:\\Users\\ann\\Local Data"},
        {L"C:\\Users\\ann\\Redirected\\Local", L"C:\\Users\\ann\\Redirected\\Local"},
        {L"%SystemDrive%\\Users\\ann\\Elsewhere", L"C:\\Users\\ann\\Elsewhere"},
        {L"%USERPROFILE%", fallback},
        {L"%USERPROFILE%\\..\\bob\\AppData\\Local", fallback},
        {L"C:\\Users\\bob\\AppData\\Local", fallback},
        {L"C:\\Users\\annex", fallback},
        {L"%SystemRoot%\\Temp", fallback},
        {L"C:\\", fallback},
        {L"D:\\Data", fallback},
        {L"%LOCALAPPDATA%", fallback},
        {L"%USERPROFILE%\\%OTHER%\\Local", fallback},
        {L"AppData\\Local", fallback},
        {L"", fallback},
    };
    for (const auto& [value, folder] : cases)
        EXPECT_EQ(junk::ProfileLocalAppData(root, value, L"C:\\Windows"), folder) << (value ? value->size() : 0);
}

TEST(UserProfiles, AProfilePathTakesOnlyTheSystemsVariables) {
    const std::pair<const wchar_t*, std::optional<std::wstring>> cases[] = {
        {L"C:\\Users\\ann", L"C:\\Users\\ann"},
        {L"%SystemDrive%\\Users\\ann", L"C:\\Users\\ann"},
        {L"%systemroot%\\system32\\config\\systemprofile", L"C:\\Windows\\system32\\config\\systemprofile"},
        {L"%USERNAME%", std::nullopt},
        {L"%TEMP%\\x", std::nullopt},
        {L"Users\\ann", std::nullopt},
    };
    for (const auto& [text, root] : cases)
        EXPECT_EQ(junk::ExpandedProfileText(text, L"C:\\Windows", L""), root) << std::wstring(text).size();
}

// A profile's folders of the per-user categories lie in its own local
// AppData; its TEMP is taken only inside it.
TEST(UserProfiles, AProfilesFoldersLieInItsOwnLocalAppData) {
    junk::UserProfile profile;
    profile.sid = L"S-1-5-21-1-2-3-1001";
    profile.root = L"C:\\Users\\ann";
    profile.localAppData = L"C:\\Users\\ann\\Local Data";
    profile.roamingAppData = L"C:\\Users\\ann\\Roaming Data";
    const std::wstring local = profile.localAppData;
    const std::wstring roaming = profile.roamingAppData;
    struct Case {
        std::optional<std::wstring> userTemp;
        int category;
        std::vector<std::wstring> folders;
    };
    const Case cases[] = {
        {std::nullopt, 0, {local + L"\\Temp"}},
        {L"%USERPROFILE%\\AppData\\Local\\Temp\\mine", 0, {local + L"\\Temp\\mine"}},
        {L"%USERPROFILE%\\Local Data\\Scratch", 0, {local + L"\\Scratch"}},
        {L"C:\\Users\\bob\\AppData\\Local\\Temp", 0, {local + L"\\Temp"}},
        {L"%USERPROFILE%\\Documents", 0, {local + L"\\Temp"}},
        {L"%TEMP%", 0, {local + L"\\Temp"}},
        {std::nullopt, 3, {local + L"\\Microsoft\\Terminal Server Client\\Cache"}},
        {std::nullopt, 11, {local + L"\\Microsoft\\Windows\\Explorer"}},
        {std::nullopt, 6, {}},
        // A browser's caches: here only its User Data's (the profile holds no profile of it).
        {std::nullopt, 13, {local + L"\\Google\\Chrome\\User Data\\ShaderCache", local + L"\\Google\\Chrome\\User Data\\GrShaderCache"}},
        {std::nullopt, 17,
         {roaming + L"\\Opera Software\\Opera Stable\\ShaderCache", roaming + L"\\Opera Software\\Opera Stable\\GrShaderCache",
          local + L"\\Opera Software\\Opera Stable\\ShaderCache", local + L"\\Opera Software\\Opera Stable\\GrShaderCache"}},
        {std::nullopt, 20, {local + L"\\CrashDumps"}},
    };
    for (const Case& c : cases) {
        profile.userTemp = c.userTemp;
        const junk::CategorySources sources = junk::ProfileSources(profile, {});
        EXPECT_EQ(junk::UsableFolders(junk::AccountOwnFolders(c.category, sources), sources), c.folders) << c.category;
    }
}

}  // namespace
