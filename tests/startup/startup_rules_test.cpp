// The decisions of the startup manager, on values.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "startup/run_keys.h"
#include "startup/startup_approved.h"
#include "startup/startup_bridge.h"
#include "startup/startup_folder.h"
#include "startup/startup_switch.h"
#include "startup/version_strings.h"

namespace {

using startup::StartupItem;

std::vector<BYTE> Bytes(std::wstring_view text, std::size_t extraBytes = 0) {
    std::vector<BYTE> bytes(text.size() * sizeof(wchar_t) + extraBytes);
    std::memcpy(bytes.data(), text.data(), text.size() * sizeof(wchar_t));
    return bytes;
}

TEST(StartupRules, RunValuesHoldTerminatedText) {
    struct Case {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
        std::optional<std::wstring> text;
    };
    const Case cases[] = {
        {"string", REG_SZ, Bytes({L"a.exe /x", 9}), L"a.exe /x"},
        {"expandable", REG_EXPAND_SZ, Bytes({L"%windir%\\a.exe", 15}), L"%windir%\\a.exe"},
        {"no data", REG_SZ, {}, L""},
        {"only a terminator", REG_SZ, Bytes({L"", 1}), L""},
        {"cut at the first terminator", REG_SZ, Bytes({L"a\0b", 4}), L"a"},
        {"no terminator", REG_SZ, Bytes(L"abc"), std::nullopt},
        {"odd size", REG_SZ, Bytes({L"ab", 3}, 1), std::nullopt},
        {"multi-string", REG_MULTI_SZ, Bytes({L"a\0\0", 3}), std::nullopt},
        {"binary", REG_BINARY, Bytes({L"a", 2}), std::nullopt},
        {"number", REG_DWORD, {1, 0, 0, 0}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(startup::RunValueText(c.type, c.data), c.text) << c.name;
}

TEST(StartupRules, ShortcutCandidatesAndTheirEntries) {
    EXPECT_TRUE(startup::IsShortcutCandidate(L"Tool.lnk", FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(startup::IsShortcutCandidate(L"Desktop.ini", FILE_ATTRIBUTE_ARCHIVE));  // only the exact name is skipped
    EXPECT_FALSE(startup::IsShortcutCandidate(L"desktop.ini", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(startup::IsShortcutCandidate(L"Folder.lnk", FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(startup::IsShortcutCandidate(L"..", FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(startup::IsShortcutCandidate(L"", FILE_ATTRIBUTE_ARCHIVE));

    const std::optional<StartupItem> item =
        startup::ShortcutItem(L"C:\\Startup\\Run Tool.lnk", L"Run Tool.lnk", L"C:\\Tools\\run.exe");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->iconPath, L"C:\\Startup\\Run Tool.lnk");
    EXPECT_EQ(item->strName, L"Run Tool.lnk");
    EXPECT_EQ(item->strPath, L"C:\\Tools\\run.exe");
    EXPECT_EQ(item->hKey, nullptr);
    EXPECT_EQ(item->uFilePathFlag, 0);
    EXPECT_EQ(item->bStatus, 0);
    EXPECT_FALSE(startup::ShortcutItem(L"C:\\Startup\\x.lnk", L"x.lnk", L"\\run.exe"));
    EXPECT_TRUE(startup::ShortcutItem(L"C:\\Startup\\x.lnk", L"x.lnk", L""));  // a link to no file
}

TEST(StartupRules, ApprovalKeys) {
    const std::wstring approved = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved";
    struct Case {
        HKEY root;
        const wchar_t* strPath;
        std::uint16_t flag;
        startup::ApprovalKey key;
        HKEY folderHive = nullptr;
    };
    const Case cases[] = {
        {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 1,
         {HKEY_CURRENT_USER, approved + L"\\Run"}},
        {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", 1,
         {HKEY_LOCAL_MACHINE, approved + L"\\Run32"}},
        {HKEY_CURRENT_USER, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 1,
         {HKEY_CURRENT_USER, approved + L"\\Run32"}},
        // The node counts only below the first character, and only in its own letter case.
        {HKEY_CURRENT_USER, L"\\Wow6432Node\\Run", 1, {HKEY_CURRENT_USER, approved + L"\\Run"}},
        {HKEY_CURRENT_USER, L"SOFTWARE\\WOW6432NODE\\Run", 1, {HKEY_CURRENT_USER, approved + L"\\Run"}},
        // Shortcuts are approved below the hive of their folder.
        {nullptr, L"C:\\Tools\\run.exe", 0, {HKEY_CURRENT_USER, approved + L"\\StartupFolder"}, HKEY_CURRENT_USER},
        {nullptr, L"C:\\Tools\\run.exe", 0, {HKEY_LOCAL_MACHINE, approved + L"\\StartupFolder"}, HKEY_LOCAL_MACHINE},
    };
    for (const Case& c : cases) {
        StartupItem item;
        item.hKey = c.root;
        item.strPath = c.strPath;
        item.uFilePathFlag = c.flag;
        item.folderHive = c.folderHive;
        EXPECT_EQ(startup::ApprovalKeyOf(item), c.key) << c.strPath;
    }
}

TEST(StartupRules, ApprovalDataIsTheStateAndTheTimeOfTheSwitch) {
    const FILETIME time{0x44332211, 0x88776655};
    EXPECT_EQ(startup::ApprovalData(true, time),
              (std::vector<BYTE>{3, 0, 0, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    EXPECT_EQ(startup::ApprovalData(false, time),
              (std::vector<BYTE>{2, 0, 0, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
}

TEST(StartupRules, PathParts) {
    EXPECT_EQ(startup::ShortcutWorkingFolder(L"C:\\Startup\\Run Tool.lnk"), L"C:\\Startup");
    EXPECT_EQ(startup::ShortcutWorkingFolder(L"\\Run Tool.lnk"), L"\\Run Tool.lnk");
    EXPECT_EQ(startup::ShortcutWorkingFolder(L"Run Tool.lnk"), L"Run Tool.lnk");
    EXPECT_EQ(startup::FileNameOfPath(L"C:\\Tools\\run.exe"), L"run.exe");
    EXPECT_EQ(startup::FileNameOfPath(L"C:\\Tools\\"), L"");
    EXPECT_EQ(startup::FileNameOfPath(L"\\run.exe"), std::nullopt);
    EXPECT_EQ(startup::FileNameOfPath(L"run.exe"), std::nullopt);
}

TEST(StartupRules, ListValueNumbersTheEntries) {
    EXPECT_TRUE(startup::StartupListValue({}).IsUndefined());
    StartupItem first;
    first.fileDescription = L"Tool";
    first.companyName = L"Maker";
    first.iconPath = L"C:\\Tools\\tool.exe";
    StartupItem second;
    second.fileDescription = L"Other";
    second.iconPath = L"C:\\Startup\\Other.lnk";
    second.bStatus = 1;
    using engine::Value;
    EXPECT_EQ(startup::StartupListValue({first, second}),
              Value::Array({Value::Array({L"Tool", L"Maker", L"C:\\Tools\\tool.exe", 0, 0}),
                            Value::Array({L"Other", L"", L"C:\\Startup\\Other.lnk", 1, 1})}));
}

}  // namespace
