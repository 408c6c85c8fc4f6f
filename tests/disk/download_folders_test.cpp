// The download-folder settings: the three labelled paths, their defaults
// and comparison rules, and reading them from this user's registry.
#include <gtest/gtest.h>
#include <windows.h>

#include "disk/download_folders.h"
#include "support/bridge_call.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace {

using disk::SettingReading;

std::wstring ExpandProfile(const std::wstring& path) {
    return path.starts_with(L"%USERPROFILE%") ? L"C:\\users\\u" + path.substr(13) : path;
}

std::vector<std::wstring> PathsOf(const std::vector<disk::DownloadFolder>& folders) {
    std::vector<std::wstring> paths;
    for (const disk::DownloadFolder& folder : folders) paths.push_back(folder.path);
    return paths;
}

TEST(DownloadFolders, DefaultsAndComparisonRules) {
    const SettingReading missing{true, std::nullopt};
    const SettingReading noKey{false, std::nullopt};
    const auto text = [](const wchar_t* value) { return SettingReading{true, value}; };
    struct Case {
        const char* what;
        SettingReading edge, shell, third;
        std::vector<std::wstring> paths;
    };
    const Case cases[] = {
        {"three places", text(L"E:\\Edge"), text(L"%USERPROFILE%\\Dl"), text(L"D:\\Third"),
         {L"E:\\Edge", L"C:\\users\\u\\Dl", L"D:\\Third"}},
        {"shell equal to Edge", text(L"D:\\Dl"), text(L"D:\\Dl"), text(L"D:\\Other"), {L"D:\\Dl", L"", L"D:\\Other"}},
        {"third missing: the profile's Downloads", noKey, text(L"D:\\Dl"), missing,
         {L"", L"D:\\Dl", L"C:\\users\\u\\Downloads"}},
        {"third defaults to the shell's", noKey, text(L"%USERPROFILE%\\Downloads"), missing,
         {L"", L"C:\\users\\u\\Downloads", L""}},
        {"third equal to Edge's", text(L"D:\\Dl"), missing, text(L"D:\\Dl"), {L"D:\\Dl", L"", L""}},
        {"third's key missing", noKey, noKey, noKey, {L"", L"", L""}},
        {"third empty", noKey, text(L"D:\\Dl"), text(L""), {L"", L"D:\\Dl", L""}},
        {"exact comparison", text(L"d:\\dl"), text(L"D:\\Dl"), text(L"D:\\DL"), {L"d:\\dl", L"D:\\Dl", L"D:\\DL"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathsOf(disk::ResolveDownloadFolders(c.edge, c.shell, c.third, ExpandProfile)), c.paths) << c.what;
}

TEST(DownloadFolders, ListIsCompactJsonWithTheThreeLabels) {
    const auto folders = disk::ResolveDownloadFolders({}, {true, L"D:\\Dl"}, {}, ExpandProfile);
    EXPECT_EQ(disk::DownloadFoldersText(folders),
              LR"([{"first":"EdgeDownloadDir","second":""},{"first":"Win10DownloadDir","second":"D:\\Dl"},)"
              LR"({"first":"Win10DownloadDir3","second":""}])");
}


TEST(DownloadFolders, ReadFromTheRegistryThroughTheBridge) {
    const testsupport::ScopedUserValue shell(disk::kShellFoldersKey, disk::kShellDownloadValue);
    const testsupport::ScopedUserValue third(disk::kShellFoldersKey, disk::kShellDownloadThirdValue);
    const testsupport::ScopedUserValue edge(disk::kEdgeDownloadKey, disk::kEdgeDownloadValue);
    const testsupport::ScopedVariable profile(L"USERPROFILE", L"C:\\users\\tester");
    edge.Remove();
    shell.Set(L"%USERPROFILE%\\Saved", REG_EXPAND_SZ);
    third.Remove();
    EXPECT_EQ(testsupport::CallNative("GetDownloadDir"),
              engine::Value(LR"([{"first":"EdgeDownloadDir","second":""},)"
                            LR"({"first":"Win10DownloadDir","second":"C:\\users\\tester\\Saved"},)"
                            LR"({"first":"Win10DownloadDir3","second":"C:\\users\\tester\\Downloads"}])"));

    // Values of another type, or too long for the 520-byte read, are not paths.
    const DWORD number = 7;
    RegSetKeyValueW(HKEY_CURRENT_USER, disk::kShellFoldersKey, disk::kShellDownloadValue, REG_DWORD, &number,
                    sizeof number);
    third.Set(L"D:\\" + std::wstring(300, L'x'));
    EXPECT_EQ(PathsOf(disk::ReadDownloadFolders()),
              (std::vector<std::wstring>{L"", L"", L"C:\\users\\tester\\Downloads"}));

    edge.Set(L"%USERPROFILE%\\Edge");
    EXPECT_EQ(PathsOf(disk::ReadDownloadFolders()),
              (std::vector<std::wstring>{L"C:\\users\\tester\\Edge", L"", L"C:\\users\\tester\\Downloads"}));

    // A text written with an extra terminator ends at the first.
    const wchar_t doubled[] = L"D:\\Dl\0";
    RegSetKeyValueW(HKEY_CURRENT_USER, disk::kShellFoldersKey, disk::kShellDownloadValue, REG_SZ, doubled,
                    sizeof doubled);
    EXPECT_EQ(disk::ReadDownloadFolders()[1].path, L"D:\\Dl");
}

}  // namespace
