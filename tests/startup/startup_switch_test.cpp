// Switching autostart entries off and on in the prefix: through approval
// values on Windows 8 and later, through the program's own keeping on
// Windows 7 and unknown generations, and from the rows of earlier versions.
// Whatever the way, an entry switched off and on again is what it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "app/bridge_table.h"
#include "common/handles.h"
#include "core/operation_lock.h"
#include "core/script_bridge.h"
#include "startup/shell_link.h"
#include "startup/startup_bridge.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_sandbox.h"
#include "startup/startup_switch.h"
#include "support/linux_links.h"

namespace {

using startup::StartupItem;
using testsupport::Approval;
using testsupport::Bytes;
using testsupport::IndexOf;
using testsupport::kRunKey;
using testsupport::kRunKey32;
using testsupport::RunSql;
using testsupport::StartupSandbox;
using testsupport::Switch;

int StateOf(const std::wstring& name) {
    for (const auto& [index, item] : testsupport::OwnEntries())
        if (item.strName == name) return item.bStatus;
    return -1;
}

StartupItem Listed(const std::wstring& name) {
    const int index = IndexOf(name);
    return index < 0 ? StartupItem{} : startup::StartupItemList()[static_cast<std::size_t>(index)];
}

std::vector<startup::KeptEntry> KeptEntries() {
    std::vector<startup::KeptEntry> entries;
    for (const db::Store store : db::kStores) EXPECT_TRUE(db::Database(store).ReadKeptStartupEntries(entries));
    return entries;
}

std::uint64_t TimeOf(const Bytes& approval) {
    std::uint64_t time = 0;
    std::memcpy(&time, approval.data() + 4, sizeof time);
    return time;
}

std::uint64_t Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

TEST(StartupSwitch, Windows10SwitchesThroughApprovalValuesInTheEntrysOwnHive) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest app", program);
    sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", L"QoTest app", Approval(2));
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest app 32", program);  // never approved yet
    const std::wstring userLink =
        sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_STARTUP), L"QoTest user.lnk", program);
    const std::wstring commonLink =
        sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_COMMON_STARTUP), L"QoTest common.lnk", program);
    const std::string userBytes = testsupport::ReadFile(userLink);
    const std::string commonBytes = testsupport::ReadFile(commonLink);
    struct Case {
        const wchar_t* name;
        HKEY hive;
        const wchar_t* subkey;
    };
    const Case cases[] = {
        {L"QoTest app", HKEY_CURRENT_USER, L"Run"},
        {L"QoTest app 32", HKEY_LOCAL_MACHINE, L"Run32"},
        {L"QoTest user.lnk", HKEY_CURRENT_USER, L"StartupFolder"},
        {L"QoTest common.lnk", HKEY_LOCAL_MACHINE, L"StartupFolder"},
    };
    for (const bool disabled : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (disabled ? " off" : " on"));
            const std::uint64_t before = Now();
            ASSERT_TRUE(Switch(c.name, disabled, 10));
            // 03 off, 02 on, three zero bytes and the time of the switch, as Windows writes it.
            const std::optional<Bytes> value = StartupSandbox::ApprovalValue(c.hive, c.subkey, c.name);
            ASSERT_TRUE(value);
            ASSERT_EQ(value->size(), 12u);
            EXPECT_EQ(Bytes(value->begin(), value->begin() + 4), (Bytes{BYTE(disabled ? 3 : 2), 0, 0, 0}));
            EXPECT_GE(TimeOf(*value), before);
            EXPECT_LE(TimeOf(*value), Now());
            // Nowhere else.
            const HKEY other = c.hive == HKEY_CURRENT_USER ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
            EXPECT_EQ(StartupSandbox::ApprovalValue(other, c.subkey, c.name), std::nullopt);
            startup::EnumerateStartupItems(10);
            EXPECT_EQ(StateOf(c.name), disabled ? 1 : 0);
        }
        // The entries themselves stay as they were.
        EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest app"), testsupport::TextBytes(program));
        EXPECT_EQ(StartupSandbox::Value(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest app 32"), testsupport::TextBytes(program));
        EXPECT_EQ(testsupport::ReadFile(userLink), userBytes);
        EXPECT_EQ(testsupport::ReadFile(commonLink), commonBytes);
    }
    EXPECT_TRUE(KeptEntries().empty());
}

TEST(StartupSwitch, RequestsThatNeedNotSwitchWriteNothing) {
    StartupSandbox sandbox;
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest enabled", testsupport::ProgramFile());
    sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", L"QoTest enabled", Approval(6));

    startup::EnumerateStartupItems(10);
    const int size = static_cast<int>(startup::StartupItemList().size());
    EXPECT_TRUE(startup::SetStartupItemState(IndexOf(L"QoTest enabled"), false, 10));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest enabled"), Approval(6));
    for (const int index : {size, size + 1, -1}) EXPECT_FALSE(startup::SetStartupItemState(index, true, 10)) << index;
    EXPECT_EQ(StateOf(L"QoTest enabled"), 0);
}

// The shortcut a user cares about: its arguments, working folder, icon, hot
// key and window state come back with it, byte for byte, whichever way it
// was switched.
TEST(StartupSwitch, AShortcutSwitchedOffAndOnIsTheSameFileByteForByte) {
    for (const int generation : {10, 7, 0}) {
        SCOPED_TRACE(generation);
        StartupSandbox sandbox;
        const std::wstring link = sandbox.MakeRichShortcut(testsupport::StartupFolder(CSIDL_STARTUP),
                                                           L"QoTest rich.lnk", testsupport::ProgramFile());
        const std::string original = testsupport::ReadFile(link);
        ASSERT_GT(original.size(), 100u);

        ASSERT_TRUE(Switch(L"QoTest rich.lnk", true, generation));
        startup::EnumerateStartupItems(generation);
        EXPECT_EQ(StateOf(L"QoTest rich.lnk"), 1);
        // Without approval values the file is in the program's keeping meanwhile.
        EXPECT_EQ(testsupport::Exists(link), generation == 10);
        EXPECT_EQ(KeptEntries().size(), generation == 10 ? 0u : 1u);

        ASSERT_TRUE(Switch(L"QoTest rich.lnk", false, generation));
        EXPECT_EQ(testsupport::ReadFile(link), original);
        EXPECT_TRUE(KeptEntries().empty());
        startup::EnumerateStartupItems(generation);
        EXPECT_EQ(StateOf(L"QoTest rich.lnk"), 0);
        EXPECT_EQ(Listed(L"QoTest rich.lnk").origin, startup::StartupOrigin::InPlace);
    }
}

// Windows 7: the Run value goes into the program's keeping with its exact
// type and data, is listed from there as switched off, and comes back as it was.
TEST(StartupSwitch, Windows7KeepsRunValuesWholeAndPutsThemBack) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    // Data beyond the first terminator, as some installers write it.
    Bytes expandable = testsupport::TextBytes(L"%windir%\\QoTest tool.exe /autostart");
    const Bytes tail = testsupport::TextBytes(L"left over");
    expandable.insert(expandable.end(), tail.begin(), tail.end());
    sandbox.SetValue(HKEY_CURRENT_USER, kRunKey, L"QoTest expandable", REG_EXPAND_SZ, expandable);
    sandbox.SetRunValue(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest machine 32", L"\"" + program + L"\" --quiet");

    for (const wchar_t* name : {L"QoTest expandable", L"QoTest machine 32"}) ASSERT_TRUE(Switch(name, true, 7));
    EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest expandable"), std::nullopt);
    EXPECT_EQ(StartupSandbox::Value(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest machine 32"), std::nullopt);
    startup::EnumerateStartupItems(7);
    const StartupItem kept = Listed(L"QoTest machine 32");
    EXPECT_EQ(kept.origin, startup::StartupOrigin::Kept);
    EXPECT_EQ(kept.bStatus, 1);
    EXPECT_EQ(kept.iconPath, program);
    EXPECT_EQ(kept.fileDescription, L"Quillmark Orvane");
    // Kept entries are listed last, the machine store's before the account's.
    EXPECT_EQ(IndexOf(L"QoTest machine 32"), static_cast<int>(startup::StartupItemList().size()) - 2);
    EXPECT_EQ(IndexOf(L"QoTest expandable"), static_cast<int>(startup::StartupItemList().size()) - 1);
    // Listed the same way on Windows 10, and switched on from there as well.
    startup::EnumerateStartupItems(10);
    EXPECT_EQ(StateOf(L"QoTest expandable"), 1);

    EXPECT_TRUE(Switch(L"QoTest expandable", false, 7));
    EXPECT_TRUE(Switch(L"QoTest machine 32", false, 10));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey.c_str(), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD type = 0;
    RegQueryValueExW(key, L"QoTest expandable", nullptr, &type, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest expandable"), expandable);
    EXPECT_EQ(StartupSandbox::Value(HKEY_LOCAL_MACHINE, kRunKey32, L"QoTest machine 32"),
              testsupport::TextBytes(L"\"" + program + L"\" --quiet"));
    EXPECT_TRUE(KeptEntries().empty());
    startup::EnumerateStartupItems(7);
    EXPECT_EQ(StateOf(L"QoTest expandable"), 0);
    EXPECT_EQ(StateOf(L"QoTest machine 32"), 0);
}

TEST(StartupSwitch, AFailedSwitchLeavesTheEntryWhereAndAsItWas) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    const std::wstring folder = testsupport::StartupFolder(CSIDL_STARTUP);
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest returns", program);
    const std::wstring busy = sandbox.MakeShortcut(folder, L"QoTest busy.lnk", program);

    // A shortcut that another program holds open cannot be taken away.
    {
        const common::UniqueFile held(CreateFileW(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(Switch(L"QoTest busy.lnk", true, 7));
        EXPECT_TRUE(KeptEntries().empty());
        EXPECT_TRUE(testsupport::Exists(busy));
    }

    // A value that took the entry's name while it was kept is the user's.
    ASSERT_TRUE(Switch(L"QoTest returns", true, 7));
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest returns", L"C:\\new\\tool.exe");
    startup::EnumerateStartupItems(7);
    const auto own = testsupport::OwnEntries();
    const auto kept = std::find_if(own.begin(), own.end(), [](const auto& entry) {
        return entry.second.strName == L"QoTest returns" && entry.second.origin == startup::StartupOrigin::Kept;
    });
    ASSERT_NE(kept, own.end());
    EXPECT_FALSE(startup::SetStartupItemState(kept->first, false, 7));
    EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest returns"),
              testsupport::TextBytes(L"C:\\new\\tool.exe"));
    ASSERT_EQ(KeptEntries().size(), 1u);
    EXPECT_EQ(KeptEntries()[0].content, testsupport::TextBytes(program));

    // Without the databases nothing can be kept, so nothing is taken.
    for (const db::Store store : db::kStores) db::Database(store).Close();
    EXPECT_FALSE(Switch(L"QoTest returns", true, 7));
    EXPECT_FALSE(Switch(L"QoTest busy.lnk", true, 7));
    EXPECT_EQ(StartupSandbox::Value(HKEY_CURRENT_USER, kRunKey, L"QoTest returns"),
              testsupport::TextBytes(L"C:\\new\\tool.exe"));
    EXPECT_TRUE(testsupport::Exists(busy));
}

// A Startup-folder entry that is a link to a file elsewhere: what would be
// removed is not the listed file, so nothing is.
TEST(StartupSwitch, AShortcutReachedThroughALinkIsNeverTaken) {
    StartupSandbox sandbox;
    testsupport::TempDir outside;
    const std::wstring real = outside / L"QoTest real.lnk";
    ASSERT_TRUE(startup::WriteShortcut(real, testsupport::ProgramFile(), outside.Path(), L""));
    const std::string bytes = testsupport::ReadFile(real);
    const std::wstring linked = testsupport::StartupFolder(CSIDL_STARTUP) + L"\\QoTest linked.lnk";
    ASSERT_TRUE(testsupport::MakeLinuxLink(testsupport::UnixPath(real), linked));

    EXPECT_FALSE(Switch(L"QoTest linked.lnk", true, 7));
    EXPECT_EQ(testsupport::ReadFile(real), bytes);
    EXPECT_TRUE(KeptEntries().empty());
    EXPECT_TRUE(testsupport::RemoveLinuxLink(linked));
}

// Shortcuts that earlier versions deleted live on as tbl_startupinfo rows:
// listed as switched off, and written again when switched on.
TEST(StartupSwitch, RowsOfEarlierVersionsListAndComeBack) {
    StartupSandbox sandbox;
    const std::wstring program = testsupport::ProgramFile();
    const std::wstring folder = testsupport::StartupFolder(CSIDL_STARTUP);
    const std::wstring link = folder + L"\\QoTest Run Tool.lnk";
    const std::wstring taken = folder + L"\\QoTest taken.lnk";
    sandbox.Track(link, L"QoTest Run Tool.lnk");
    sandbox.MakeFile(taken, "the user's own file");
    for (const std::wstring& shortcut : {link, taken}) {
        StartupItem row;
        row.iconPath = shortcut;
        row.fileDescription = L"Old tool";
        row.companyName = L"Old maker";
        row.strPath = program;
        row.strName = shortcut.substr(folder.size() + 1);
        sandbox.StoreOldRow(row);
    }

    for (const int generation : {10, 7}) {
        startup::EnumerateStartupItems(generation);
        const StartupItem row = Listed(L"QoTest Run Tool.lnk");
        EXPECT_EQ(row.origin, startup::StartupOrigin::OldRow);
        EXPECT_EQ(row.bStatus, 1);
        EXPECT_EQ(row.fileDescription, L"Old tool");
        EXPECT_EQ(row.strPath, program);
    }
    EXPECT_TRUE(Switch(L"QoTest Run Tool.lnk", false, 10));
    EXPECT_EQ(startup::ReadShortcutTarget(link), program);
    // A file at the row's place is never replaced; the row stays.
    EXPECT_FALSE(Switch(L"QoTest taken.lnk", false, 10));
    EXPECT_EQ(testsupport::ReadFile(taken), "the user's own file");
    EXPECT_EQ(RunSql(sandbox.Database().WorkingFile(), "select strName from tbl_startupinfo"),
              testsupport::SqlRows{{"QoTest taken.lnk"}});
    startup::EnumerateStartupItems(10);
    EXPECT_EQ(Listed(L"QoTest Run Tool.lnk").origin, startup::StartupOrigin::InPlace);
    EXPECT_EQ(StateOf(L"QoTest Run Tool.lnk"), 0);
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
    // Entries already in the asked state keep their values untouched.
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest a"), Approval(2));
    EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest b"), Approval(3));
    EXPECT_EQ(StartupSandbox::ApprovalState(HKEY_CURRENT_USER, L"Run", L"QoTest c"), 3);
}

TEST(StartupSwitch, ThePageReachesTheManagerThroughTheBridge) {
    StartupSandbox sandbox;
    sandbox.SetRunValue(HKEY_CURRENT_USER, kRunKey, L"QoTest page", testsupport::ProgramFile());
    sandbox.SetApproval(HKEY_CURRENT_USER, L"Run", L"QoTest page", Approval(2));
    const core::ScriptBridge& bridge = app::NativeFunctions();
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
    // While the command line holds the operation lock the page switches nothing.
    {
        core::OperationLock commandLine;
        ASSERT_TRUE(commandLine.Take(0));
        EXPECT_EQ(bridge.Call("SetSingleStartupInfo", disable), Value(false));
        std::string json = "[";
        for (int i = 0; i < index; ++i) json += "{},";
        json += R"({"four":1}])";
        EXPECT_EQ(bridge.Call("SetStartupInfo", std::vector<Value>{Value(engine::WideFromUtf8(json))}), Value(0));
        EXPECT_EQ(StartupSandbox::ApprovalValue(HKEY_CURRENT_USER, L"Run", L"QoTest page"), Approval(2));
        commandLine.Release();
    }
    EXPECT_EQ(bridge.Call("SetSingleStartupInfo", disable), Value(true));
    EXPECT_EQ(StartupSandbox::ApprovalState(HKEY_CURRENT_USER, L"Run", L"QoTest page"), 3);
}

}  // namespace
