// Startup switches in the change journal: recorded before they are made,
// found again by the entry's identity, switched back once.
#include <gtest/gtest.h>

#include <optional>

#include "common/handles.h"
#include "common/windows_version.h"
#include "startup/startup_bridge.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_journal.h"
#include "startup/startup_sandbox.h"
#include "suite/undo_changes.h"

namespace {

using startup::StartupItem;
using testsupport::IndexOf;
using testsupport::kRunKey;
using testsupport::kRunKey32;
using testsupport::StartupSandbox;
using testsupport::Switch;

StartupItem RunValue(HKEY hive, const std::wstring& key, const std::wstring& name, int state = 0) {
    StartupItem item;
    item.hKey = hive;
    item.strPath = key;
    item.strName = name;
    item.uFilePathFlag = 1;
    item.bStatus = state;
    return item;
}

StartupItem Shortcut(const std::wstring& path, int state = 0) {
    StartupItem item;
    item.iconPath = path;
    item.strName = path.substr(path.rfind(L'\\') + 1);
    item.bStatus = state;
    return item;
}

TEST(StartupJournal, AnEntryIsFoundByItsPlaceLetterCaseAside) {
    const StartupItem recorded = RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool");
    const StartupItem link = Shortcut(L"C:\\Users\\a\\StartUp\\Tool.lnk");
    struct Case {
        const char* what;
        StartupItem listed;
        const StartupItem& recorded;
        bool same;
    };
    StartupItem described = RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool", 1);
    described.fileDescription = L"Another description";
    described.iconPath = L"C:\\elsewhere\\tool.exe";
    const Case cases[] = {
        {"the same value", RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool"), recorded, true},
        {"letter case", RunValue(HKEY_CURRENT_USER, L"SOFTWARE\\MICROSOFT\\Windows\\CurrentVersion\\RUN", L"TOOL"),
         recorded, true},
        {"its program and state may differ", described, recorded, true},
        {"another hive", RunValue(HKEY_LOCAL_MACHINE, kRunKey, L"Tool"), recorded, false},
        {"another key", RunValue(HKEY_CURRENT_USER, kRunKey32, L"Tool"), recorded, false},
        {"another name", RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool2"), recorded, false},
        {"a shortcut of that name", Shortcut(L"C:\\Users\\a\\StartUp\\Tool"), recorded, false},
        {"the same shortcut", Shortcut(L"c:\\users\\A\\startup\\tool.LNK"), link, true},
        {"another folder's shortcut", Shortcut(L"C:\\ProgramData\\StartUp\\Tool.lnk"), link, false},
        {"a value named as the shortcut", RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool.lnk"), link, false},
    };
    for (const Case& c : cases) EXPECT_EQ(startup::SameEntry(c.listed, c.recorded), c.same) << c.what;

    // Kept while off, and a new value of the same name in place: the one in
    // the recorded state is the one meant.
    const std::vector<StartupItem> twice = {RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool", 0),
                                            RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool", 1)};
    EXPECT_EQ(startup::FindEntry(twice, RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool", 1)), &twice[1]);
    EXPECT_EQ(startup::FindEntry(twice, RunValue(HKEY_CURRENT_USER, kRunKey, L"Tool", 0)), &twice[0]);
    EXPECT_EQ(startup::FindEntry(twice, link), nullptr);
}

std::vector<db::StartupSwitchRow> Switches() {
    std::vector<db::StartupSwitchRow> rows;
    for (const db::Store store : db::kStores) EXPECT_TRUE(db::Database(store).ReadStartupSwitches(rows));
    return rows;
}

int StateOf(const std::wstring& name, int generation) {
    startup::EnumerateStartupItems(generation);
    const int index = IndexOf(name);
    return index < 0 ? -1 : startup::StartupItemList()[static_cast<std::size_t>(index)].bStatus;
}

// Off and back, the Windows 10 way (approval values) and the Windows 7 way
// (the entry kept whole by the program): the entry is as it was.
TEST(StartupJournal, SwitchesAreRecordedAndSwitchedBackExactly) {
    for (const int generation : {10, 7}) {
        SCOPED_TRACE(generation);
        StartupSandbox sandbox;
        const std::wstring program = testsupport::ProgramFile();
        const testsupport::Bytes data = testsupport::TextBytes(L"\"" + program + L"\" /quiet");
        sandbox.SetValue(HKEY_CURRENT_USER, kRunKey, L"QoTest journal", REG_EXPAND_SZ, data);
        const std::wstring link =
            sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_STARTUP), L"QoTest journal.lnk", program);
        const std::string linkBytes = testsupport::ReadFile(link);

        ASSERT_TRUE(Switch(L"QoTest journal", true, generation));
        ASSERT_TRUE(Switch(L"QoTest journal.lnk", true, generation));
        const std::vector<db::StartupSwitchRow> rows = Switches();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].item.iconPath, link);
        EXPECT_EQ(rows[1].item.strName, L"QoTest journal");
        EXPECT_EQ(rows[1].item.hKey, HKEY_CURRENT_USER);
        for (const db::StartupSwitchRow& row : rows) {
            EXPECT_EQ(row.item.bStatus, 1);
            EXPECT_FALSE(row.restored);
            EXPECT_EQ(startup::SwitchBackRecorded(row, generation), startup::SwitchBack::Done);
        }
        EXPECT_EQ(StateOf(L"QoTest journal", generation), 0);
        EXPECT_EQ(StateOf(L"QoTest journal.lnk", generation), 0);
        EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest journal"), data);
        EXPECT_EQ(testsupport::ReadFile(link), linkBytes);
        // Switching back is not itself a change to undo.
        EXPECT_EQ(Switches().size(), 2u);
        // Done again, it finds the entry as wanted and changes nothing.
        EXPECT_EQ(startup::SwitchBackRecorded(rows[1], generation), startup::SwitchBack::Done);
        EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest journal"), data);
    }
}

TEST(StartupJournal, AFailedSwitchLeavesNoRowAndAGoneEntryCannotBeSwitchedBack) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    const std::wstring busy =
        sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_STARTUP), L"QoTest held.lnk", program);
    {
        const common::UniqueFile held(CreateFileW(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(Switch(L"QoTest held.lnk", true, 7));
    }
    EXPECT_TRUE(Switches().empty());
    EXPECT_EQ(StateOf(L"QoTest held.lnk", 7), 0);

    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest goes", program);
    ASSERT_TRUE(Switch(L"QoTest goes", true, 10));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegDeleteValueW(key, L"QoTest goes");
    RegCloseKey(key);
    ASSERT_EQ(Switches().size(), 1u);
    EXPECT_EQ(startup::SwitchBackRecorded(Switches()[0], 10), startup::SwitchBack::Gone);
}

// The undo page's way: listed newest first with the state the switch gave,
// restored once.
TEST(StartupJournal, TheChangeListRestoresASwitchOnce) {
    StartupSandbox sandbox;
    const int generation = common::GetWindowsGeneration();
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest listed", testsupport::ProgramFile());
    ASSERT_TRUE(Switch(L"QoTest listed", true, generation));
    const std::vector<suite::Change> changes = suite::ListChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, "startup-off");
    EXPECT_EQ(changes[0].what, L"Quillmark Orvane");  // the program's description
    EXPECT_EQ(changes[0].subject, std::vector<std::wstring>{L"Quillmark Orvane"});
    // An entry of HKEY_CURRENT_USER: a row of the account's own store.
    EXPECT_EQ(changes[0].id, "startup-u" + std::to_string(Switches()[0].id));

    const suite::RestoreOutcome first = suite::RestoreChange(changes[0].id);
    EXPECT_EQ(first.status, suite::RestoreStatus::Restored);
    EXPECT_EQ(StateOf(L"QoTest listed", generation), 0);
    EXPECT_TRUE(suite::ListChanges()[0].restored);
    EXPECT_EQ(suite::RestoreChange(changes[0].id).status, suite::RestoreStatus::AlreadyRestored);
    EXPECT_EQ(suite::RestoreChange("startup-999").status, suite::RestoreStatus::Unknown);
}

}  // namespace
