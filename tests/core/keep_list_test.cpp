// The keep list against what the scans list and what may delete: a text typed
// in any form a user meets is stored as the scan lists the item, and a task
// that deletes does not start while the list cannot be read or its loss with
// a damaged database is not confirmed.
#include "core/keep_list.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>

#include "common/listed_delete.h"
#include "core/keep_text.h"
#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "junk/junk_categories.h"
#include "junk/junk_clean.h"
#include "junk/junk_scan.h"
#include "registry/registry_access.h"
#include "registry/registry_issue.h"
#include "registry/registry_scan.h"
#include "support/bridge_call.h"
#include "support/junk_fixtures.h"
#include "support/recording_host.h"

namespace {

using engine::Value;
using testsupport::CallNative;
using testsupport::Exists;

constexpr int kTempCategory = 0;
constexpr int kEmptySoftwareKeys = 2;  // HKEY_CURRENT_USER\Software
constexpr int kEmptyClassKeys = 6;     // HKEY_CLASSES_ROOT's ".x" keys

std::wstring ShortPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, static_cast<DWORD>(std::size(buffer)));
    return length && length < std::size(buffer) ? std::wstring(buffer, length) : path;
}

void CreateEmptyKey(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
}

// Whether the junk scan of the temporary files lists a file named `name`.
bool JunkListed(std::wstring_view name) {
    junk::ScanJunkCategory(kTempCategory, junk::SystemSources());
    const std::vector<std::wstring> paths = junktest::PathsOf(junk::JunkList(kTempCategory));
    return std::ranges::any_of(paths, [name](const std::wstring& path) { return path.ends_with(name); });
}

// Whether the registry scan of `category` lists the key `key` (its text as
// the keep list names it).
bool RegistryListed(int category, std::wstring_view key) {
    registry::RegistryIssueList list;
    registry::ScanRegistryCategory(category, list);
    return std::ranges::any_of(list, [key](const registry::RegistryIssue& issue) {
        return common::SamePathText(registry::KeepTextOf(issue), key);
    });
}

class KeepTexts : public junktest::JunkListsTest {
protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QoKeepTyped");
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.qokeeptyped");
        JunkListsTest::TearDown();
    }
    testsupport::TempDir root;
    testsupport::TempDir outside;
    testsupport::LinuxLinks links;
};

// Each text a user may type for an item the scans list, stored as
// `orvane keep add` stores it: the scan lists the item without it and leaves
// it out with it. A path the file system knows by another name (8.3, a link,
// a prefix) is stored under the name the scan lists.
TEST_F(KeepTexts, EveryTypedFormKeepsWhatTheScanLists) {
    const std::wstring temp = root / L"temp";
    const junktest::ScopedUserTemp userTemp(temp);
    const junktest::ScopedVariable systemRoot(L"SYSTEMROOT", root / L"windows");
    const std::wstring folder = temp + L"\\Long Folder Name";
    for (const wchar_t* name : {L"long file name.tmp", L"prefixed file.tmp", L"linked file.tmp"})
        junktest::MakeFile(folder + L"\\" + name, 10);
    const std::wstring shortFolder = ShortPath(folder);
    ASSERT_NE(shortFolder, folder) << "no 8.3 name for the fixture's folder";
    ASSERT_TRUE(links.Make(folder, outside / L"link"));
    CreateEmptyKey(HKEY_CURRENT_USER, L"Software\\QoKeepTyped");
    CreateEmptyKey(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.qokeeptyped");

    const auto junk = [](const wchar_t* name) { return [name] { return JunkListed(name); }; };
    const auto key = [](int category, const wchar_t* text) { return [=] { return RegistryListed(category, text); }; };
    const struct {
        const char* what;
        std::wstring typed;
        std::function<bool()> listed;  // whether the scan lists the item
        std::function<void()> before;  // makes the item after it was kept
    } cases[] = {
        {"an 8.3 name", ShortPath(folder + L"\\long file name.tmp"), junk(L"\\long file name.tmp"), {}},
        {"an 8.3 folder and a file made after keeping it", shortFolder + L"\\later file.tmp", junk(L"\\later file.tmp"),
         [&] { junktest::MakeFile(folder + L"\\later file.tmp", 10); }},
        {"a path through a link", outside / L"link\\linked file.tmp", junk(L"\\linked file.tmp"), {}},
        {"a \\\\?\\ prefix", L"\\\\?\\" + folder + L"\\prefixed file.tmp", junk(L"\\prefixed file.tmp"), {}},
        {"HKLM\\SOFTWARE\\Classes", L"HKLM\\SOFTWARE\\Classes\\.qokeeptyped",
         key(kEmptyClassKeys, L"HKEY_CLASSES_ROOT\\.qokeeptyped"), {}},
        {"regedit's address", L"Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.qokeeptyped",
         key(kEmptyClassKeys, L"HKEY_CLASSES_ROOT\\.qokeeptyped"), {}},
        {"HKCU with slashes", L"HKCU/Software/QoKeepTyped/",
         key(kEmptySoftwareKeys, L"HKEY_CURRENT_USER\\Software\\QoKeepTyped"), {}},
        {"PowerShell's HKCU:", L"hkcu:\\software\\qokeeptyped",
         key(kEmptySoftwareKeys, L"HKEY_CURRENT_USER\\Software\\QoKeepTyped"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring stored = core::StoredKeepText(c.typed);
        if (c.before) c.before();
        core::PublishKeptItems({});
        EXPECT_TRUE(c.listed());
        core::PublishKeptItems({stored});
        EXPECT_FALSE(c.listed()) << "stored as " << stored;
    }
    // A kept path that exists is stored exactly as the scan lists it.
    EXPECT_EQ(core::StoredKeepText(ShortPath(folder)), common::FinalPathOf(folder).value());
}

// The keep list cannot be read (no database), or was lost with a damaged
// one: cleaning (the junk, registry and Scan All cleans, the detail window's
// clean, the system-disk clean, the single-file clean) is refused and deletes
// nothing; the scans still start. A confirmed loss lets cleaning go on.
class KeepListRefusal : public junktest::JunkListsTest {
protected:
    void TearDown() override {
        for (registry::RegistryIssueList& list : registry::RegistryIssueLists()) list.clear();
        JunkListsTest::TearDown();
    }
};

TEST_F(KeepListRefusal, TasksThatDeleteWaitForAKeepListThatCanBeRead) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / L"junk.tmp", "junk");
    const std::wstring selection = LR"([{"first":1,"second":0}])";
    testsupport::PublishedHost page;
    const auto refusesDeleting = [&](int answer) {
        for (const int clean : {0x08, 0x10, 0x20, 0x80})
            EXPECT_EQ(CallNative("RepairChoose", {selection, clean}), Value(answer)) << clean;
        EXPECT_EQ(CallNative("CleanSystemFile", {LR"([{"first":3,"second":0}])", 11}), Value(answer));
        EXPECT_EQ(junk::CleanJunkFile(L"junk.tmp", dir.Path() + L"\\"), 0);
        EXPECT_TRUE(Exists(dir / L"junk.tmp"));
        EXPECT_EQ(core::ZoneBits().load(), 0u);
        EXPECT_EQ(CallNative("ScanRegistry", {2}), Value(0));
        ASSERT_TRUE(testsupport::WaitForWorkers());
    };

    // The list in effect is both stores' together: either one unreadable
    // is enough to refuse.
    for (const db::Store store : db::kStores) {
        const testsupport::ScratchDatabase both;
        db::Database(store).Close();
        refusesDeleting(core::kKeepListUnreadable);
    }

    testsupport::ScratchDatabase database;
    db::Database(db::Store::Machine).Close();
    testsupport::RunSql(database.WorkingFile(),
                        "insert into tbl_keeplistloss(stamp,aside,recovered) values(1,'C:\\old.db',0)");
    database.Restart();
    refusesDeleting(core::kKeepListLost);
    const Value notice = CallNative("GetKeepListNotice");
    ASSERT_EQ(notice.Members().size(), 2u);
    EXPECT_EQ(notice.Members()[0], (Value::Member{L"recovery", Value::Null()}));
    EXPECT_EQ(notice.Members()[1], (Value::Member{L"lost", Value(L"C:\\old.db")}));

    EXPECT_EQ(CallNative("ConfirmKeepListLoss"), Value(0));
    EXPECT_EQ(CallNative("ConfirmKeepListLoss"), Value(1));
    EXPECT_EQ(junk::CleanJunkFile(L"junk.tmp", dir.Path() + L"\\"), 1);
    EXPECT_FALSE(Exists(dir / L"junk.tmp"));
    EXPECT_EQ(CallNative("RepairChoose", {selection, 0x20}), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
}

}  // namespace
