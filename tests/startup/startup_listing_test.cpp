// Listing the autostart entries of the prefix: Run values, Startup-folder
// shortcuts, rows of shortcuts switched off earlier, and their states.
#include <gtest/gtest.h>

#include <map>

#include "startup/run_keys.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_sandbox.h"

namespace {

using startup::StartupItem;
using testsupport::Approval;
using testsupport::kRunKey;
using testsupport::kRunKey32;
using testsupport::kRunOnceKey32;
using testsupport::OwnEntries;
using testsupport::StartupSandbox;

std::vector<std::wstring> OwnNames() {
    std::vector<std::wstring> names;
    for (const auto& [index, item] : OwnEntries()) names.push_back(item.strName);
    return names;
}

StartupItem DisabledRow(const std::wstring& name) {
    StartupItem item;
    item.iconPath = testsupport::StartupFolder(CSIDL_STARTUP) + L"\\" + name;
    item.fileDescription = L"Gone";
    item.strPath = testsupport::ProgramFile();
    item.strName = name;
    item.bStatus = 1;
    return item;
}

TEST(StartupListing, TheSixKeys) {
    const std::vector<std::pair<HKEY, std::wstring>> expected = {
        {HKEY_CURRENT_USER, kRunKey},           {HKEY_LOCAL_MACHINE, kRunKey},
        {HKEY_CURRENT_USER, kRunOnceKey32},     {HKEY_LOCAL_MACHINE, kRunOnceKey32},
        {HKEY_LOCAL_MACHINE, kRunKey32},        {HKEY_CURRENT_USER, kRunKey32},
    };
    std::vector<std::pair<HKEY, std::wstring>> keys;
    for (const startup::RunKey& key : startup::RunKeys()) keys.emplace_back(key.root, key.path);
    EXPECT_EQ(keys, expected);
}

// The two keys of the user below Wow6432Node are left out: under Wine,
// creating HKEY_CURRENT_USER\Software\Wow6432Node makes every 32-bit look-up
// of the user's software settings go there, Wine's own included, which
// breaks the prefix. They are read exactly like the machine's.
TEST(StartupListing, RunValuesOfTheKeysInOrder) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest 1a quoted", L"\"" + program + L"\" /min");
    sandbox.SetValue(HKEY_CURRENT_USER, kRunKey, L"QoTest multi", REG_MULTI_SZ,
                     testsupport::TextBytes(program + L'\0'));
    sandbox.SetValue(HKEY_CURRENT_USER, kRunKey, L"QoTest binary", REG_BINARY, {1, 2, 3, 4});
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest too long", std::wstring(260, L'x'));  // 522 bytes
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest 1b longest", std::wstring(259, L'x'));  // 520 bytes
    sandbox.SetValue(HKEY_CURRENT_USER, kRunKey, L"QoTest 2 empty", REG_SZ, {});
    sandbox.SetValue(HKEY_CURRENT_USER, kRunKey, L"QoTest 3 expandable", REG_EXPAND_SZ,
                     testsupport::TextBytes(L"%windir%\\QoTest missing.exe"));
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"", program);  // the unnamed value
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunKey, L"QoTest 4 machine", program);
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunOnceKey32, L"QoTest 6 machine once", program);
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest 7 machine 32", program);

    startup::EnumerateStartupItems(10);
    // Values of one key come in the registry's order: the order of writing on
    // Windows, of names under Wine; these names agree on both.
    EXPECT_EQ(OwnNames(), (std::vector<std::wstring>{L"QoTest 1a quoted", L"QoTest 1b longest", L"QoTest 2 empty", L"QoTest 3 expandable",
                                                     L"QoTest 4 machine", L"QoTest 6 machine once",
                                                     L"QoTest 7 machine 32"}));
    for (const StartupItem& item : startup::StartupItemList()) EXPECT_FALSE(item.strName.empty());

    std::map<std::wstring, StartupItem> byName;
    for (const auto& [index, item] : OwnEntries()) byName[item.strName] = item;
    const StartupItem& quoted = byName[L"QoTest 1a quoted"];
    EXPECT_EQ(quoted.iconPath, program);
    EXPECT_EQ(quoted.fileDescription, L"Quillmark Orvane");
    EXPECT_EQ(quoted.companyName, L"Quillmark");
    EXPECT_EQ(quoted.strPath, kRunKey);
    EXPECT_EQ(quoted.hKey, HKEY_CURRENT_USER);
    EXPECT_EQ(quoted.uFilePathFlag, 1);
    EXPECT_EQ(quoted.bStatus, 0);
    const StartupItem& empty = byName[L"QoTest 2 empty"];
    EXPECT_EQ(empty.iconPath + empty.fileDescription + empty.companyName, L"");
    const StartupItem& expandable = byName[L"QoTest 3 expandable"];
    EXPECT_EQ(expandable.iconPath, testsupport::Environment(L"windir") + L"\\QoTest missing.exe");
    EXPECT_EQ(expandable.fileDescription, L"QoTest missing.exe");
    EXPECT_EQ(expandable.companyName, L"");
    EXPECT_EQ(byName[L"QoTest 4 machine"].hKey, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(byName[L"QoTest 6 machine once"].strPath, kRunOnceKey32);
    EXPECT_EQ(byName[L"QoTest 7 machine 32"].strPath, kRunKey32);
}

TEST(StartupListing, ShortcutsOfBothFoldersThenTheRowsOfDisabledOnes) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    const std::wstring userFolder = testsupport::StartupFolder(CSIDL_STARTUP);
    const std::wstring commonFolder = testsupport::StartupFolder(CSIDL_COMMON_STARTUP);
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest run", program);
    const std::wstring userLink = sandbox.MakeShortcut(userFolder, L"QoTest user.lnk", program);
    const std::wstring testProgram = testsupport::ProgramFolderFile(L"startup_tests.exe");
    sandbox.MakeShortcut(userFolder, L"QoTest unversioned.lnk", testProgram);
    sandbox.MakeFile(userFolder + L"\\QoTest plain.exe", "MZ not a shortcut");
    // Even a real shortcut is skipped under the folder's settings name.
    if (!testsupport::Exists(userFolder + L"\\desktop.ini")) sandbox.MakeShortcut(userFolder, L"desktop.ini", program);
    sandbox.MakeShortcut(commonFolder, L"QoTest common.lnk", program);
    sandbox.StoreOldRow(DisabledRow(L"QoTest gone.lnk"));

    startup::EnumerateStartupItems(10);
    const auto own = OwnEntries();
    ASSERT_EQ(own.size(), 5u);
    EXPECT_EQ(own[0].second.strName, L"QoTest run");
    // Within a folder the listing keeps the file system's order.
    std::vector<std::wstring> user = {own[1].second.strName, own[2].second.strName};
    std::sort(user.begin(), user.end());
    EXPECT_EQ(user, (std::vector<std::wstring>{L"QoTest unversioned.lnk", L"QoTest user.lnk"}));
    EXPECT_EQ(own[3].second.strName, L"QoTest common.lnk");
    StartupItem row = DisabledRow(L"QoTest gone.lnk");
    row.origin = startup::StartupOrigin::OldRow;
    row.rowId = 1;
    EXPECT_EQ(own[4].second, row);
    EXPECT_EQ(own[4].first, static_cast<int>(startup::StartupItemList().size()) - 1);
    for (const StartupItem& item : startup::StartupItemList()) EXPECT_NE(item.strName, L"desktop.ini");

    const StartupItem& link = own[1].second.strName == L"QoTest user.lnk" ? own[1].second : own[2].second;
    EXPECT_EQ(link.iconPath, userLink);
    EXPECT_EQ(link.fileDescription, L"Quillmark Orvane");
    EXPECT_EQ(link.companyName, L"Quillmark");
    EXPECT_EQ(link.strPath, program);
    EXPECT_EQ(link.hKey, nullptr);
    EXPECT_EQ(link.uFilePathFlag, 0);
    EXPECT_EQ(link.bStatus, 0);
    EXPECT_EQ(link.folderHive, HKEY_CURRENT_USER);
    EXPECT_EQ(own[3].second.folderHive, HKEY_LOCAL_MACHINE);
    const StartupItem& unversioned = own[1].second.strName == L"QoTest user.lnk" ? own[2].second : own[1].second;
    EXPECT_EQ(unversioned.fileDescription, L"startup_tests.exe");
    EXPECT_EQ(unversioned.companyName, L"");
}

TEST(StartupListing, ApprovalValuesGiveTheStateOnWindows8AndLaterOnly) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest on", program);
    sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", L"QoTest on", Approval(2));
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest off", program);
    sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", L"QoTest off", Approval(3));
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest unapproved", program);
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest off 32", program);
    sandbox.SetApproval(HKEY_LOCAL_MACHINE, L"Run32", L"QoTest off 32", Approval(3));
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest approved elsewhere", program);
    sandbox.SetApproval(HKEY_LOCAL_MACHINE, L"Run", L"QoTest approved elsewhere", Approval(3));
    // A shortcut is approved in the hive of its folder only.
    sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_STARTUP), L"QoTest folder off.lnk", program);
    sandbox.SetApproval(HKEY_CURRENT_USER, L"StartupFolder", L"QoTest folder off.lnk", Approval(7));
    sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_STARTUP), L"QoTest folder elsewhere.lnk", program);
    sandbox.SetApproval(HKEY_LOCAL_MACHINE, L"StartupFolder", L"QoTest folder elsewhere.lnk", Approval(3));
    sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_COMMON_STARTUP), L"QoTest common off.lnk", program);
    sandbox.SetApproval(HKEY_LOCAL_MACHINE, L"StartupFolder", L"QoTest common off.lnk", Approval(3));
    sandbox.StoreOldRow(DisabledRow(L"QoTest row.lnk"));

    const std::map<std::wstring, int> approved = {
        {L"QoTest on", 0},        {L"QoTest off", 1},        {L"QoTest unapproved", 0},
        {L"QoTest off 32", 1},    {L"QoTest approved elsewhere", 0},
        {L"QoTest folder off.lnk", 1}, {L"QoTest folder elsewhere.lnk", 0}, {L"QoTest common off.lnk", 1},
        {L"QoTest row.lnk", 1},
    };
    const std::map<std::wstring, int> allEnabled = {
        {L"QoTest on", 0},        {L"QoTest off", 0},        {L"QoTest unapproved", 0},
        {L"QoTest off 32", 0},    {L"QoTest approved elsewhere", 0},
        {L"QoTest folder off.lnk", 0}, {L"QoTest folder elsewhere.lnk", 0}, {L"QoTest common off.lnk", 0},
        {L"QoTest row.lnk", 1},
    };
    for (const int generation : {10, 8, 7, 0}) {
        SCOPED_TRACE(generation);
        startup::EnumerateStartupItems(generation);
        std::map<std::wstring, int> states;
        for (const auto& [index, item] : OwnEntries()) states[item.strName] = item.bStatus;
        EXPECT_EQ(states, generation > 7 ? approved : allEnabled);
    }
}

}  // namespace
