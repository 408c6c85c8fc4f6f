#include "junk/junk_categories.h"

#include <gtest/gtest.h>

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

TEST(JunkCategories, WeightsFavourTheRarerCategories) {
    const int expected[] = {2, 5, 2, 5, 5, 5, 2, 2, 5, 5, 5, 2, 2};
    for (int category = 0; category < 13; ++category) EXPECT_EQ(junk::CategoryWeight(category), expected[category]);
}

}  // namespace
