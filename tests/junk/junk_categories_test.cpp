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
    // The profile the machine knows is the one the environment names.
    if (const auto profile = variables.find(L"USERPROFILE"); profile != variables.end())
        sources.localAppData = profile->second + L"\\AppData\\Local";
    return sources;
}

const std::map<std::wstring, std::wstring> kMachine = {
    {L"SYSTEMROOT", L"C:\\Windows"}, {L"ALLUSERSPROFILE", L"C:\\ProgramData"}, {L"USERPROFILE", L"C:\\Users\\u"}};
const std::wstring kLocalTemp = L"C:\\Users\\u\\AppData\\Local\\Temp";

// The folders of a machine whose account "u" has its Documents redirected
// to D:\Docs, another account "other", and OneDrive.
junk::ProtectedFolders MachineFolders() {
    junk::ProtectedFolders folders;
    folders.data = {L"D:\\Docs",          L"C:\\Users\\u\\Documents", L"C:\\Users\\u\\Desktop",
                    L"C:\\Users\\u\\OneDrive", L"C:\\Users\\other\\Downloads", L"C:\\Users\\other\\Documents",
                    L"C:\\Program Files", L"C:\\Program Files (x86)"};
    folders.downloads = {L"C:\\Users\\u\\Downloads"};
    folders.system = {L"C:\\Windows", L"C:\\Windows\\System32", L"C:\\Windows\\SysWOW64", L"C:\\ProgramData"};
    folders.profiles = {L"C:\\Users\\other", L"C:\\Users\\Public", L"C:\\Windows\\ServiceProfiles\\LocalService"};
    folders.account = {L"C:\\Users", L"C:\\Users\\u", L"C:\\Users\\u\\AppData", L"C:\\Users\\u\\AppData\\Local",
                       L"C:\\Users\\u\\AppData\\Roaming"};
    return folders;
}

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
        {std::nullopt, kMachine, 0, {kLocalTemp, L"C:\\Windows\\temp"}},
        {L"", kMachine, 0, {kLocalTemp, L"C:\\Windows\\temp"}},
        {L"relative\\temp", kMachine, 0, {kLocalTemp, L"C:\\Windows\\temp"}},
        {L"\\\\server\\share\\temp", kMachine, 0, {kLocalTemp, L"C:\\Windows\\temp"}},
        {L"D:\\Temp", {}, 0, {}},
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
    junk::ProtectedFolders kept;
    kept.data = {L"C:\\Program Files"};
    kept.system = {L"C:\\Windows", L"C:\\Windows\\System32", L"C:\\ProgramData"};
    kept.account = {L"C:\\Users\\u"};
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

// One rule for the cleaners' walks, the user's TEMP and the Downloads move.
// TEMP is taken only inside the account's local AppData (and not holding a
// protected folder); otherwise the account's default temporary folder is
// cleaned, with the reason logged.
TEST(ProtectedFolders, EachPlaceIsUsableOrRefusedForWalksTempAndMoves) {
    junk::CategorySources sources = Sources(std::nullopt, kMachine);
    sources.protectedFolders = MachineFolders();
    // A Documents redirected inside the local AppData.
    sources.protectedFolders.data.push_back(L"C:\\Users\\u\\AppData\\Local\\Redirected\\Docs");
    struct Case {
        const wchar_t* path;
        bool walk, temp, move;  // usable as a walked folder, as TEMP, as a Downloads source or target
    };
    const Case cases[] = {
        {L"C:\\Users\\u\\Documents", false, false, false},
        {L"C:\\Users\\u\\Documents\\Temp", false, false, false},
        {L"D:\\Docs", false, false, false},
        {L"D:\\Docs\\Temp", false, false, false},
        {L"C:\\Users\\u\\Desktop", false, false, false},
        {L"C:\\Users\\u\\OneDrive\\Work", false, false, false},
        {L"C:\\Users\\u", false, false, false},
        {L"C:\\Users\\U\\", false, false, false},
        {L"C:\\Users", false, false, false},
        {L"C:\\", false, false, false},
        {L"D:\\", false, false, false},
        {L"\\\\server\\share", false, false, false},
        {L"C:\\Program Files\\App\\cache", false, false, false},
        {L"C:\\Windows", false, false, false},
        {L"C:\\Windows\\Temp", true, false, false},
        {L"C:\\Windows\\ServiceProfiles\\LocalService\\AppData\\Local\\FontCache", true, false, false},
        {L"C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportQueue", true, false, false},
        {L"C:\\Users\\other\\Stuff", true, false, false},
        {L"C:\\Users\\other\\Downloads", false, false, false},
        {L"C:\\Users\\u\\Downloads", false, false, true},
        {L"C:\\Users\\u\\Downloads\\setup.exe", false, false, true},
        {L"C:\\Users\\u\\AppData", false, false, false},
        {L"C:\\Users\\u\\AppData\\Local", false, false, false},
        {L"C:\\Users\\u\\AppData\\Local\\Temp", true, true, true},
        {L"C:\\Users\\u\\AppData\\Local\\Temp\\build", true, true, true},
        {L"C:\\Users\\u\\AppData\\Local\\Redirected", false, false, false},
        {L"C:\\Users\\u\\AppData\\Local\\Redirected\\Docs\\Temp", false, false, false},
        {L"C:\\Users\\u\\MyDownloads", true, false, true},
        {L"D:\\Photos", true, false, true},
        {L"E:\\Dl\\more", true, false, true},
    };
    for (const Case& c : cases) {
        const std::wstring path = *junk::PlainFolder(c.path);
        EXPECT_EQ(!junk::IsProtectedFolder(path, sources.protectedFolders), c.walk) << path;
        EXPECT_EQ(!junk::IsUnmovableFolder(path, sources.protectedFolders), c.move) << path;
        sources.userTemp = c.path;
        const junk::UserTempChoice choice = junk::ChooseUserTemp(sources);
        EXPECT_EQ(choice.refusal.empty(), c.temp) << path;
        EXPECT_EQ(junk::PlanFor(0, sources).folders,
                  (std::vector<std::wstring>{c.temp ? path : kLocalTemp, L"C:\\Windows\\temp"}))
            << path;
    }
}

// The user's TEMP value naming a drive's root, a profile's root, the
// Windows folder, the Windows temp folder itself, or climbing out of the
// local AppData: the account's default temporary folder is cleaned instead.
// An account whose profile the machine does not know has none cleaned.
TEST(JunkCategories, ATempValueNamingAProtectedFolderIsNotWalked) {
    junk::CategorySources sources = Sources(std::nullopt, kMachine);
    sources.protectedFolders = MachineFolders();
    const std::pair<const wchar_t*, std::wstring> cases[] = {
        {L"C:\\", kLocalTemp},
        {L"C:", kLocalTemp},
        {L"%USERPROFILE%", kLocalTemp},
        {L"%USERPROFILE%\\..", kLocalTemp},
        {L"C:\\Users\\other\\", kLocalTemp},
        {L"%SYSTEMROOT%", kLocalTemp},
        {L"C:\\Windows\\Temp", kLocalTemp},
        {L"%USERPROFILE%\\AppData\\Local\\Temp\\..\\..\\..\\Documents", kLocalTemp},
        {L"%USERPROFILE%\\AppData\\Local\\Temp", kLocalTemp},
        {L"%USERPROFILE%\\AppData\\Local\\Temp\\mine", kLocalTemp + L"\\mine"},
    };
    for (const auto& [temp, folder] : cases) {
        sources.userTemp = temp;
        EXPECT_EQ(junk::PlanFor(0, sources).folders, (std::vector<std::wstring>{folder, L"C:\\Windows\\temp"}))
            << std::wstring(temp).size();
    }
    sources.userTemp = L"C:\\Users\\u\\Documents";
    EXPECT_NE(junk::ChooseUserTemp(sources).refusal.find("C:\\Users\\u\\Documents"), std::string::npos);

    sources.localAppData.clear();
    sources.userTemp = L"%USERPROFILE%\\AppData\\Local\\Temp";
    EXPECT_FALSE(junk::ChooseUserTemp(sources).refusal.empty());
    EXPECT_EQ(junk::PlanFor(0, sources).folders, std::vector<std::wstring>{L"C:\\Windows\\temp"});
    EXPECT_EQ(junk::PlanFor(3, sources).folders, std::vector<std::wstring>{});
    EXPECT_EQ(junk::PlanFor(11, sources).folders, std::vector<std::wstring>{});
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
        ASSERT_EQ(folders.size(), 2u) << std::string(temp.begin(), temp.end());
        EXPECT_EQ(folders[0], sources.localAppData + L"\\Temp");
        EXPECT_EQ(folders[1], junk::PlainFolder(testsupport::Environment(L"SYSTEMROOT") + L"\\temp"));
        EXPECT_EQ(junk::WalkRoots({drive, profile}, sources), std::vector<std::wstring>{});
    }
}

TEST(JunkCategories, WeightsFavourTheRarerCategories) {
    const int expected[] = {2, 5, 2, 5, 5, 5, 2, 2, 5, 5, 5, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    static_assert(std::size(expected) == junk::kJunkCategoryCount);
    for (int category = 0; category < junk::kJunkCategoryCount; ++category)
        EXPECT_EQ(junk::CategoryWeight(category), expected[category]);
}

}  // namespace
