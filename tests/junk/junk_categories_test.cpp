#include "junk/junk_categories.h"

#include <gtest/gtest.h>

#include "junk/protected_folders.h"
#include "support/junk_fixtures.h"

#include <map>

namespace {

using junk::Walker;

junk::CategorySources Sources(std::optional<std::wstring> userTemp, std::map<std::wstring, std::wstring> variables) {
    junk::CategorySources sources;
    sources.userTemp = std::move(userTemp);
    sources.variable = [variables](const wchar_t* name) {
        const auto found = variables.find(name);
        return found == variables.end() ? std::wstring() : found->second;
    };
    sources.systemDirectory = L"C:\\Windows\\system32";
    sources.expand = [variables](const std::wstring& path) {
        std::wstring expanded = path;
        for (const auto& [name, value] : variables) {
            const std::wstring token = L"%" + name + L"%";
            for (std::size_t at; (at = expanded.find(token)) != std::wstring::npos;) expanded.replace(at, token.size(), value);
        }
        return expanded;
    };
    return sources;
}

const std::map<std::wstring, std::wstring> kMachine = {
    {L"SYSTEMROOT", L"C:\\Windows"}, {L"ALLUSERSPROFILE", L"C:\\ProgramData"}, {L"USERPROFILE", L"C:\\Users\\u"}};

TEST(JunkCategories, EachCategoryWalksItsFoldersInOrder) {
    const auto sources = Sources(L"%USERPROFILE%\\AppData\\Local\\Temp", kMachine);
    struct Case {
        int category;
        Walker walker;
        std::vector<std::wstring> folders;
    };
    const Case cases[] = {
        {0, Walker::Folder, {L"C:\\Users\\u\\AppData\\Local\\Temp", L"C:\\Windows\\temp"}},
        {1, Walker::Folder, {L"C:\\Windows\\WinSxS\\Backup"}},
        {2, Walker::Folder, {L"C:\\Windows\\system32\\LogFiles"}},
        {3, Walker::Folder, {L"C:\\Users\\u\\AppData\\Local\\Microsoft\\Terminal Server Client\\Cache"}},
        {4, Walker::Folder, {L"C:\\ProgramData\\Microsoft\\Windows Defender\\Scans"}},
        {5, Walker::Folder, {L"C:\\ProgramData\\Microsoft\\Windows Defender\\Definition Updates\\Backup"}},
        {6, Walker::Folder, {L"C:\\Windows\\Prefetch"}},
        {7, Walker::Folder, {L"C:\\Windows\\ServiceProfiles\\LocalService\\AppData\\Local\\FontCache"}},
        {8, Walker::Folder, {L"C:\\Windows\\LiveKernelReports"}},
        {9, Walker::Folder, {L"C:\\Windows\\WinSxS\\ManifestCache"}},
        {10, Walker::RecycleBin, {}},
        {11, Walker::Extension, {L"C:\\Users\\u\\AppData\\Local\\Microsoft\\Windows\\Explorer"}},
        {12,
         Walker::Folder,
         {L"C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportArchive",
          L"C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportQueue"}},
    };
    for (const Case& c : cases) {
        const junk::CategoryPlan plan = junk::PlanFor(c.category, sources);
        EXPECT_EQ(plan.walker, c.walker) << c.category;
        EXPECT_EQ(plan.folders, c.folders) << c.category;
    }
    EXPECT_EQ(junk::PlanFor(11, sources).extensions, (std::vector<std::wstring>{L".db", L".tmp"}));
}

// An undefined variable or an empty text would make the folder relative to
// the current drive's root ("\temp"): such a folder is never walked.
TEST(JunkCategories, FoldersThatAreNotAbsoluteAreLeftOut) {
    struct Case {
        std::optional<std::wstring> userTemp;
        std::map<std::wstring, std::wstring> variables;
        int category;
        std::vector<std::wstring> folders;
    };
    const Case cases[] = {
        {std::nullopt, kMachine, 0, {L"C:\\Windows\\temp"}},
        {L"", kMachine, 0, {L"C:\\Windows\\temp"}},
        {L"relative\\temp", kMachine, 0, {L"C:\\Windows\\temp"}},
        {L"\\\\server\\share\\temp", kMachine, 0, {L"\\\\server\\share\\temp", L"C:\\Windows\\temp"}},
        {L"D:\\Temp", {}, 0, {L"D:\\Temp"}},
        {std::nullopt, {}, 6, {}},
        {std::nullopt, {}, 11, {}},
        {std::nullopt, {}, 12, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(junk::PlanFor(c.category, Sources(c.userTemp, c.variables)).folders, c.folders) << c.category;
}

TEST(ProtectedFolders, PlainFolderResolvesDotsSlashesAndPrefixes) {
    const std::pair<const wchar_t*, std::optional<std::wstring>> cases[] = {
        {L"C:\\Users\\u\\AppData\\Local\\Temp", L"C:\\Users\\u\\AppData\\Local\\Temp"},
        {L"C:\\Users\\u\\\\Temp\\", L"C:\\Users\\u\\Temp"},
        {L"C:/Windows/./Temp", L"C:\\Windows\\Temp"},
        {L"C:\\Windows\\..", L"C:\\"},
        {L"C:\\Windows. \\", L"C:\\Windows"},
        {L"c:\\", L"c:\\"},
        {L"\\\\?\\C:\\Temp", L"C:\\Temp"},
        {L"\\\\server\\share\\temp\\..\\x", L"\\\\server\\share\\x"},
        {L"\\\\?\\UNC\\server\\share", L"\\\\server\\share"},
        {L"C:\\..", std::nullopt},
        {L"C:temp", std::nullopt},
        {L"C:", std::nullopt},
        {L"\\temp", std::nullopt},
        {L"temp", std::nullopt},
        {L"", std::nullopt},
        {L"\\\\server", std::nullopt},
    };
    for (const auto& [path, plain] : cases) EXPECT_EQ(junk::PlainFolder(path), plain) << std::wstring(path).size();
}

TEST(ProtectedFolders, RootsTheProtectedFoldersAndWhatHoldsThemAreRefused) {
    const std::vector<std::wstring> kept = {L"C:\\Windows", L"C:\\Windows\\System32", L"C:\\Users\\u",
                                            L"C:\\Program Files", L"C:\\ProgramData"};
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"C:\\", true},
        {L"D:\\", true},
        {L"\\\\server\\share", true},
        {L"c:\\windows", true},
        {L"C:\\Windows\\System32", true},
        {L"C:\\Users", true},
        {L"C:\\USERS\\U", true},
        {L"C:\\Program Files", true},
        {L"C:\\ProgramData", true},
        {L"C:\\Windows\\Temp", false},
        {L"C:\\Windows\\System32\\LogFiles", false},
        {L"C:\\Users\\u\\AppData\\Local\\Temp", false},
        {L"C:\\Users\\uu", false},
        {L"C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportQueue", false},
        {L"D:\\Temp", false},
        {L"\\\\server\\share\\temp", false},
    };
    for (const auto& [folder, refused] : cases) EXPECT_EQ(junk::IsProtectedFolder(folder, kept), refused);
}

TEST(ProtectedFolders, AFolderReachedTwiceOrInsideAnotherIsWalkedOnce) {
    using Folders = std::vector<std::wstring>;
    EXPECT_EQ(junk::DistinctFolders({L"C:\\Windows\\Temp", L"c:\\windows\\temp"}), Folders{L"C:\\Windows\\Temp"});
    EXPECT_EQ(junk::DistinctFolders({L"C:\\Windows\\Temp\\sub", L"C:\\Windows\\Temp"}), Folders{L"C:\\Windows\\Temp"});
    EXPECT_EQ(junk::DistinctFolders({L"C:\\Temp", L"C:\\Temp2", L"C:\\Temp"}), (Folders{L"C:\\Temp", L"C:\\Temp2"}));
}

// The user's TEMP value naming a drive's root, a profile's root, the
// Windows folder, or the Windows temp folder itself.
TEST(JunkCategories, ATempValueNamingAProtectedFolderIsNotWalked) {
    junk::CategorySources sources = Sources(std::nullopt, kMachine);
    sources.protectedFolders = {L"C:\\Windows", L"C:\\Windows\\system32", L"C:\\Users\\u", L"C:\\Users\\other"};
    const std::pair<const wchar_t*, std::vector<std::wstring>> cases[] = {
        {L"C:\\", {L"C:\\Windows\\temp"}},
        {L"C:", {L"C:\\Windows\\temp"}},
        {L"%USERPROFILE%", {L"C:\\Windows\\temp"}},
        {L"%USERPROFILE%\\..", {L"C:\\Windows\\temp"}},
        {L"C:\\Users\\other\\", {L"C:\\Windows\\temp"}},
        {L"%SYSTEMROOT%", {L"C:\\Windows\\temp"}},
        {L"C:\\Windows\\Temp", {L"C:\\Windows\\Temp"}},
        {L"%USERPROFILE%\\AppData\\Local\\Temp", {L"C:\\Users\\u\\AppData\\Local\\Temp", L"C:\\Windows\\temp"}},
    };
    for (const auto& [temp, folders] : cases) {
        sources.userTemp = temp;
        EXPECT_EQ(junk::PlanFor(0, sources).folders, folders) << std::wstring(temp).size();
    }
}

// The same against this machine's own folders, as the scans take them.
TEST(JunkCategories, ThisMachinesRootAndProfileAreProtected) {
    const std::wstring profile = testsupport::Environment(L"USERPROFILE");
    const std::wstring drive = testsupport::Environment(L"SystemDrive") + L"\\";
    for (const std::wstring& temp : {drive, profile, std::wstring(L"%USERPROFILE%"), profile + L"\\..",
                                     testsupport::Environment(L"SYSTEMROOT")}) {
        const junktest::ScopedUserTemp userTemp(temp);
        const junk::CategorySources sources = junk::SystemSources();
        ASSERT_TRUE(sources.userTemp.has_value());
        const std::vector<std::wstring> folders = junk::PlanFor(0, sources).folders;
        ASSERT_EQ(folders.size(), 1u) << std::string(temp.begin(), temp.end());
        EXPECT_EQ(folders[0], junk::PlainFolder(testsupport::Environment(L"SYSTEMROOT") + L"\\temp"));
        EXPECT_EQ(junk::WalkRoots({drive, profile}, sources.protectedFolders), std::vector<std::wstring>{});
    }
}

TEST(JunkCategories, WeightsFavourTheRarerCategories) {
    const int expected[] = {2, 5, 2, 5, 5, 5, 2, 2, 5, 5, 5, 2, 2};
    for (int category = 0; category < 13; ++category) EXPECT_EQ(junk::CategoryWeight(category), expected[category]);
}

}  // namespace
