// Switching autostart entries off and on in the prefix, on Windows 10 and
// with the Windows 7 behaviour.
#include <gtest/gtest.h>

#include <map>

#include "app/script_bridge.h"
#include "startup/shell_link.h"
#include "startup/startup_bridge.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_sandbox.h"
#include "startup/startup_switch.h"

namespace {

using startup::StartupItem;
using testsupport::Approval;
using testsupport::IndexOf;
using testsupport::kRunKey;
using testsupport::kRunKey32;
using testsupport::StartupSandbox;

int StateOf(const std::wstring& name) {
    for (const auto& [index, item] : testsupport::OwnEntries())
        if (item.strName == name) return item.bStatus;
    return -1;
}

std::vector<StartupItem> DisabledRows() {
    std::vector<StartupItem> rows;
    db::Database().ReadDisabledStartupItems(rows);
    return rows;
}

TEST(StartupSwitch, RunValuesFlipTheirApprovalValueOnWindows10) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest app", program);
    sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", L"QoTest app", Approval(2));
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest app 32", program);
    sandbox.SetApproval(HKEY_LOCAL_MACHINE, L"Run32", L"QoTest app 32", Approval(2));
    sandbox.SetApproval(HKEY_LOCAL_MACHINE, L"Run", L"QoTest app 32", Approval(2));  // not its key

    startup::EnumerateStartupItems(10);
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest app"), true, 10));
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest app 32"), true, 10));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest app"), Approval(3));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_LOCAL_MACHINE, L"Run32", L"QoTest app 32"), Approval(3));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_LOCAL_MACHINE, L"Run", L"QoTest app 32"), Approval(2));
    EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest app"), testsupport::TextBytes(program));

    startup::EnumerateStartupItems(10);
    EXPECT_EQ(StateOf(L"QoTest app"), 1);
    EXPECT_EQ(StateOf(L"QoTest app 32"), 1);
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest app"), false, 10));
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest app 32"), false, 10));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest app"), Approval(0));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_LOCAL_MACHINE, L"Run32", L"QoTest app 32"), Approval(0));
    startup::EnumerateStartupItems(10);
    EXPECT_EQ(StateOf(L"QoTest app"), 0);
    EXPECT_EQ(StateOf(L"QoTest app 32"), 0);
}

TEST(StartupSwitch, RequestsThatCannotOrNeedNotSwitchWriteNothing) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest unapproved", program);
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest enabled", program);
    sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", L"QoTest enabled", Approval(6));

    startup::EnumerateStartupItems(10);
    const int size = static_cast<int>(startup::StartupItemList().size());
    // Windows keeps no approval value for an entry nobody switched yet.
    EXPECT_FALSE(startup::SetStartupItemState(IndexOf(L"QoTest unapproved"), true, 10));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest unapproved"), std::nullopt);
    EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest unapproved"), testsupport::TextBytes(program));
    // Already in the wanted state: the value would become 00 00 if written.
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest enabled"), false, 10));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest enabled"), Approval(6));
    for (const int index : {size, size + 1, -1}) EXPECT_FALSE(startup::SetStartupItemState(index, true, 10)) << index;
    EXPECT_EQ(StateOf(L"QoTest enabled"), 0);
}

TEST(StartupSwitch, AShortcutSwitchedOffLivesOnAsARowAndComesBackWhole) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    const std::wstring link =
        sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_STARTUP), L"QoTest Run Tool.lnk", program);

    startup::EnumerateStartupItems(10);
    const StartupItem listed = startup::StartupItemList()[static_cast<std::size_t>(IndexOf(L"QoTest Run Tool.lnk"))];
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest Run Tool.lnk"), true, 10));
    EXPECT_FALSE(testsupport::Exists(link));

    startup::EnumerateStartupItems(10);
    const int rowIndex = IndexOf(L"QoTest Run Tool.lnk");
    EXPECT_EQ(rowIndex, static_cast<int>(startup::StartupItemList().size()) - 1);
    StartupItem expected = listed;
    expected.bStatus = 1;
    EXPECT_EQ(startup::StartupItemList()[static_cast<std::size_t>(rowIndex)], expected);

    EXPECT_TRUE(startup::SetStartupItemState(rowIndex, false, 10));
    EXPECT_TRUE(testsupport::Exists(link));
    // The shortcut points where it pointed before it was switched off.
    EXPECT_EQ(startup::ReadShortcutTarget(link), program);
    EXPECT_TRUE(DisabledRows().empty());
    startup::EnumerateStartupItems(10);
    EXPECT_EQ(startup::StartupItemList()[static_cast<std::size_t>(IndexOf(L"QoTest Run Tool.lnk"))], listed);
}

TEST(StartupSwitch, AFailedSwitchNeverLosesAShortcut) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    const std::wstring folder = testsupport::StartupFolder(CSIDL_STARTUP);
    const std::wstring kept = sandbox.MakeShortcut(folder, L"QoTest kept.lnk", program);
    // U+4E2D has no form in the test prefix's code page (1252): a row could not name the file.
    const std::wstring foreign = sandbox.MakeShortcut(folder, L"QoTest \x4E2D.lnk", program);
    StartupItem unwritable;
    unwritable.iconPath = sandbox.Database().Folder() / L"no such folder\\QoTest unwritable.lnk";
    unwritable.strPath = program;
    unwritable.strName = L"QoTest unwritable.lnk";
    unwritable.bStatus = 1;
    ASSERT_TRUE(db::Database().AddDisabledStartupItem(unwritable));

    startup::EnumerateStartupItems(10);
    EXPECT_FALSE(startup::SetStartupItemState(IndexOf(L"QoTest \x4E2D.lnk"), true, 10));
    EXPECT_TRUE(testsupport::Exists(foreign));
    EXPECT_FALSE(startup::SetStartupItemState(IndexOf(L"QoTest unwritable.lnk"), false, 10));
    EXPECT_EQ(DisabledRows(), std::vector<StartupItem>{unwritable});
    db::Database().Close();  // the row cannot be stored
    EXPECT_FALSE(startup::SetStartupItemState(IndexOf(L"QoTest kept.lnk"), true, 10));
    EXPECT_TRUE(testsupport::Exists(kept));
}

TEST(StartupSwitch, Windows7RemovesEntriesForGood) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest old", program);
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest old 32", program);
    const std::wstring link = sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_STARTUP), L"QoTest old.lnk", program);

    startup::EnumerateStartupItems(7);
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest old"), true, 7));
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest old.lnk"), true, 7));
    EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest old"), std::nullopt);
    EXPECT_FALSE(testsupport::Exists(link));
    EXPECT_TRUE(DisabledRows().empty());
    // Switching on removes as well.
    StartupItem on = startup::StartupItemList()[static_cast<std::size_t>(IndexOf(L"QoTest old 32"))];
    ASSERT_EQ(on.bStatus, 0);
    EXPECT_EQ(startup::SwitchStartupItem(on, 7), 1);
    EXPECT_EQ(StartupSandbox::Value(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest old 32"), std::nullopt);

    startup::EnumerateStartupItems(7);
    EXPECT_TRUE(testsupport::OwnEntries().empty());
}

TEST(StartupSwitch, BulkStatesSwitchOnlyTheEntriesThatDiffer) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    for (const wchar_t* name : {L"QoTest a", L"QoTest b", L"QoTest c"}) {
        sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, name, program);
        sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", name, Approval(name == std::wstring(L"QoTest b") ? 3 : 2));
    }
    startup::EnumerateStartupItems(10);
    // Elements for the entries in between carry no state.
    auto json = [](const std::map<int, std::string>& members) {
        std::string text = "[";
        for (int i = 0; i <= members.rbegin()->first; ++i) {
            if (i > 0) text += ',';
            const auto member = members.find(i);
            text += member != members.end() ? member->second : "{}";
        }
        return text + "]";
    };
    const std::string states = json({{IndexOf(L"QoTest a"), R"({"four":0})"},
                                     {IndexOf(L"QoTest b"), R"({"Four":1})"},
                                     {IndexOf(L"QoTest c"), R"({"FOUR":1})"}});
    for (const std::string& broken : {states.substr(0, states.size() - 1), std::string(R"({"four":1})")}) {
        startup::SetStartupItemStates(broken, 10);
        EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest c"), Approval(2)) << broken;
    }
    startup::SetStartupItemStates(states, 10);
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest a"), Approval(2));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest b"), Approval(3));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest c"), Approval(3));
}

TEST(StartupSwitch, ThePageReachesTheManagerThroughTheBridge) {
    StartupSandbox sandbox;
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest page", testsupport::ProgramFile());
    sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", L"QoTest page", Approval(2));
    const app::ScriptBridge& bridge = app::NativeFunctions();
    using engine::Value;

    const std::optional<Value> list = bridge.Call("GetStartupInfo", {});
    ASSERT_TRUE(list && list->IsArray());
    const int index = IndexOf(L"QoTest page");
    ASSERT_GE(index, 0);
    EXPECT_EQ(list->Items()[static_cast<std::size_t>(index)],
              Value::Array({L"Quillmark Orvane", L"Quillmark", testsupport::ProgramFile(), 0, index}));

    const std::vector<Value> notAState = {Value(index), Value(L"yes")};
    EXPECT_EQ(bridge.Call("SetSingleStartupInfo", notAState), Value(false));
    EXPECT_EQ(bridge.Call("SetStartupInfo", std::vector<Value>{Value(L"not JSON")}), Value(0));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest page"), Approval(2));
    const std::vector<Value> disable = {Value(index), Value(true)};
    EXPECT_EQ(bridge.Call("SetSingleStartupInfo", disable), Value(true));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest page"), Approval(3));
}

}  // namespace
