// An entry both in place and in the program's keeping (what a process ended
// between the keeping row and the entry's removal, or between putting it
// back and forgetting the row, leaves): exactly as kept, it counts as put
// back, listed once and on, and its row goes; anything else is two entries.
#include <gtest/gtest.h>

#include "common/handles.h"
#include "startup/startup_enumeration.h"
#include "startup/startup_keeping.h"
#include "startup/startup_store.h"
#include "startup/startup_key.h"
#include "startup/startup_sandbox.h"

namespace {

using testsupport::Bytes;
using testsupport::StartupSandbox;

enum class Entry { RunValue, RunValue32, Shortcut };

struct Case {
    const char* name;
    Entry entry;
    DWORD keptType;             // a Run value's kept type
    void (*keptData)(Bytes&);   // changes what the row keeps from what is in place
    bool leftInPlace;           // false: the place is empty
    std::vector<int> listed;    // the states listed under its name (0 on, 1 off)
};

void Same(Bytes&) {}
void OneMoreByte(Bytes& data) { data.push_back(0); }
void FlipLastByte(Bytes& data) { data.back() ^= 1; }
// Up to the first terminator: the same text, not the same data.
void CutAtTerminator(Bytes& data) { data.resize(data.size() / 2); }

const Case kCases[] = {
    {"identical value", Entry::RunValue, REG_EXPAND_SZ, Same, true, {0}},
    {"identical value of the 32-bit key", Entry::RunValue32, REG_EXPAND_SZ, Same, true, {0}},
    {"same bytes, other type", Entry::RunValue, REG_SZ, Same, true, {0, 1}},
    {"one byte more", Entry::RunValue, REG_EXPAND_SZ, OneMoreByte, true, {0, 1}},
    {"same text, data cut at its terminator", Entry::RunValue, REG_EXPAND_SZ, CutAtTerminator, true, {0, 1}},
    {"value gone", Entry::RunValue, REG_EXPAND_SZ, Same, false, {1}},
    {"identical shortcut", Entry::Shortcut, REG_NONE, Same, true, {0}},
    {"shortcut of other bytes", Entry::Shortcut, REG_NONE, FlipLastByte, true, {0, 1}},
    {"shortcut gone", Entry::Shortcut, REG_NONE, Same, false, {1}},
};

// The listed states of the test's entry named `name`.
std::vector<int> ListedStates(const std::wstring& name) {
    startup::EnumerateStartupItems(7);
    std::vector<int> states;
    for (const auto& [index, item] : testsupport::OwnEntries())
        if (item.strName == name) states.push_back(item.bStatus);
    return states;
}

std::size_t KeptCount() {
    std::vector<startup::KeptEntry> entries;
    for (const db::Store store : db::kStores) EXPECT_TRUE(db::Database(store).ReadKeptStartupEntries(entries));
    return entries.size();
}

TEST(StartupKeeping, AnEntryBackInPlaceExactlyAsKeptIsListedOnceAndItsRowGoes) {
    // Data beyond the first terminator, as some installers write it.
    Bytes data = testsupport::TextBytes(L"%windir%\\QoTest tool.exe");
    const Bytes tail = testsupport::TextBytes(L"tail");
    data.insert(data.end(), tail.begin(), tail.end());
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        StartupSandbox sandbox;
        const std::wstring name = c.entry == Entry::Shortcut ? L"QoTest kept.lnk" : L"QoTest kept";
        std::wstring link;
        if (c.entry == Entry::Shortcut)
            link = sandbox.MakeShortcut(testsupport::StartupFolder(CSIDL_STARTUP), name, testsupport::ProgramFile());
        else
            sandbox.SetValue(c.entry == Entry::RunValue ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                             c.entry == Entry::RunValue ? testsupport::kRunKey : testsupport::kRunKey32, name,
                             REG_EXPAND_SZ, data);
        const std::string linkBytes = link.empty() ? "" : testsupport::ReadFile(link);
        startup::EnumerateStartupItems(7);
        const int index = testsupport::IndexOf(name);
        ASSERT_GE(index, 0);

        startup::KeptEntry kept;
        kept.item = startup::StartupItemList()[static_cast<std::size_t>(index)];
        kept.valueType = c.keptType;
        kept.content = link.empty() ? data : Bytes(linkBytes.begin(), linkBytes.end());
        c.keptData(kept.content);
        ASSERT_TRUE(db::Database(startup::StoreOf(kept.item)).AddKeptStartupEntry(kept));
        if (!c.leftInPlace) {
            if (link.empty()) {
                const common::UniqueRegKey key = startup::OpenStartupKey(kept.item.hKey, kept.item.strPath);
                ASSERT_EQ(RegDeleteValueW(key.get(), name.c_str()), ERROR_SUCCESS);
            } else {
                ASSERT_TRUE(DeleteFileW(link.c_str()));
            }
        }

        EXPECT_EQ(ListedStates(name), c.listed);
        // Listing changes no row; a switch or undo forgets the spent one.
        EXPECT_EQ(KeptCount(), 1u);
        startup::ForgetEntriesBackInPlace();
        EXPECT_EQ(KeptCount(), c.listed == std::vector<int>{0} ? 0u : 1u);
        EXPECT_EQ(ListedStates(name), c.listed);
        // What is in place stays as it was.
        if (!c.leftInPlace) continue;
        if (link.empty()) {
            EXPECT_EQ(StartupSandbox::Value(kept.item.hKey, kept.item.strPath, name), data);
        } else {
            EXPECT_EQ(testsupport::ReadFile(link), linkBytes);
        }
    }
}

}  // namespace
