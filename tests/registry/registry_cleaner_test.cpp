// The registry scan and repair against real keys in the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "common/account_sid.h"
#include "common/app_directory.h"
#include "common/fs_redirection.h"
#include "core/keep_list.h"
#include "core/script_bridge.h"
#include "core/settings_store.h"
#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "junk/result_kinds.h"
#include "junk/result_rows.h"
#include "registry/registry_access.h"
#include "registry/registry_repair.h"
#include "registry/registry_restore.h"
#include "registry/registry_rows.h"
#include "registry/registry_scan.h"
#include "support/bridge_call.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using registry::KeyIssue;
using registry::RegistryIssue;
using registry::RegistryIssueList;
using registry::RepairCount;
using registry::ValueIssue;

constexpr std::uint32_t kClassesRoot = 0x80000000, kCurrentUser = 0x80000001, kLocalMachine = 0x80000002;
constexpr wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kMuiCache[] = L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
constexpr wchar_t kFirewallRules[] =
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";
constexpr wchar_t kWowUninstall[] = L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

HKEY Root(std::uint32_t root) { return registry::RootKey(root); }

void CreateKey(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << std::string(path.begin(), path.end());
    RegCloseKey(key);
}

void SetText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text,
             REGSAM view = KEY_WOW64_64KEY) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
    const common::UniqueRegKey key = registry::OpenKey(root, path, KEY_READ | view);
    return key && RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY) {
    return static_cast<bool>(registry::OpenKey(root, path, KEY_READ | view));
}

void DeleteTree(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY) {
    const common::UniqueRegKey parent = registry::OpenKey(root, L"", KEY_ALL_ACCESS | view);
    RegDeleteTreeW(root, path.c_str());
    (void)parent;
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
    const common::UniqueRegKey key = registry::OpenKey(root, path, KEY_ALL_ACCESS | view);
    if (key) RegDeleteValueW(key.get(), name.c_str());
}

bool Holds(const RegistryIssueList& list, const RegistryIssue& issue) {
    return std::find(list.begin(), list.end(), issue) != list.end();
}

RegistryIssueList Scan(int category) {
    RegistryIssueList list;
    registry::ScanRegistryCategory(category, list);
    return list;
}

// A fixture of invalid and valid entries in every category; removed again
// afterwards.
class RegistryCleaner : public testing::Test {
protected:
    // Where a clean records itself before it deletes anything.
    testsupport::ScratchDatabase database;
    testsupport::TempDir dir;
    std::wstring existingFile;

    void SetUp() override {
        existingFile = dir / L"present.exe";
        testsupport::WriteFile(existingFile, "x");
        // Category 0: the rules key has no sub-keys.
        SetText(Root(kLocalMachine), kFirewallRules, L"QoGoneRule", L"v2.10|Action=Allow|App=C:\\QoGone\\a.exe|");
        SetText(Root(kLocalMachine), kFirewallRules, L"QoPresentRule", L"v2.10|App=" + existingFile + L"|");
        // Category 1.
        SetText(Root(kCurrentUser), kMuiCache, L"C:\\QoGone\\app.exe.FriendlyAppName", L"Gone");
        SetText(Root(kCurrentUser), kMuiCache, existingFile + L".FriendlyAppName", L"Present");
        // Category 2.
        CreateKey(Root(kCurrentUser), L"Software\\QoEmpty");
        SetText(Root(kCurrentUser), L"Software\\QoWithValue", L"v", L"x");
        CreateKey(Root(kCurrentUser), L"Software\\QoWithSubKey\\Sub");
        // Category 3, in both views.
        SetText(Root(kLocalMachine), kSharedDlls, L"c:\\qogone\\64.dll", L"", KEY_WOW64_64KEY);
        SetText(Root(kLocalMachine), kSharedDlls, L"c:\\qogone\\32.dll", L"", KEY_WOW64_32KEY);
        SetText(Root(kLocalMachine), kSharedDlls, existingFile, L"", KEY_WOW64_64KEY);
        // Category 4.
        SetText(Root(kLocalMachine), std::wstring(kUninstall) + L"\\QoOnlyDefault", L"", L"x");
        SetText(Root(kLocalMachine), std::wstring(kUninstall) + L"\\QoNamed", L"DisplayName", L"Named");
        // Category 5.
        SetText(Root(kLocalMachine), kWowUninstall, L"%ProgramFiles%\\QoGone\\x.exe", L"", KEY_WOW64_64KEY);
        // Category 6.
        CreateKey(Root(kClassesRoot), L".qoempty");
        SetText(Root(kClassesRoot), L".qofull", L"", L"qofile");
    }

    void TearDown() override {
        DeleteValue(Root(kLocalMachine), kFirewallRules, L"QoGoneRule", KEY_WOW64_64KEY);
        DeleteValue(Root(kLocalMachine), kFirewallRules, L"QoPresentRule", KEY_WOW64_64KEY);
        DeleteValue(Root(kCurrentUser), kMuiCache, L"C:\\QoGone\\app.exe.FriendlyAppName", KEY_WOW64_64KEY);
        DeleteValue(Root(kCurrentUser), kMuiCache, existingFile + L".FriendlyAppName", KEY_WOW64_64KEY);
        for (const wchar_t* key : {L"Software\\QoEmpty", L"Software\\QoWithValue", L"Software\\QoWithSubKey"})
            DeleteTree(Root(kCurrentUser), key);
        DeleteValue(Root(kLocalMachine), kSharedDlls, L"c:\\qogone\\64.dll", KEY_WOW64_64KEY);
        DeleteValue(Root(kLocalMachine), kSharedDlls, L"c:\\qogone\\32.dll", KEY_WOW64_32KEY);
        DeleteValue(Root(kLocalMachine), kSharedDlls, existingFile, KEY_WOW64_64KEY);
        DeleteTree(Root(kLocalMachine), std::wstring(kUninstall) + L"\\QoOnlyDefault");
        DeleteTree(Root(kLocalMachine), std::wstring(kUninstall) + L"\\QoNamed");
        DeleteValue(Root(kLocalMachine), kWowUninstall, L"%ProgramFiles%\\QoGone\\x.exe", KEY_WOW64_64KEY);
        DeleteTree(Root(kClassesRoot), L".qoempty");
        DeleteTree(Root(kClassesRoot), L".qofull");
    }

    // The issues every category finds in the fixture, and the valid entries
    // none of them may list.
    std::vector<std::pair<int, RegistryIssue>> Invalid() const {
        const std::wstring firewallParent =
            L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\";
        return {
            {0, ValueIssue(kLocalMachine, firewallParent, L"FirewallRules", L"QoGoneRule")},
            {1, ValueIssue(kCurrentUser, L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\",
                           L"MuiCache", L"C:\\QoGone\\app.exe.FriendlyAppName")},
            {2, KeyIssue(kCurrentUser, L"Software\\", L"QoEmpty")},
            {3, ValueIssue(kLocalMachine, L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDlls\\", L"",
                           L"c:\\qogone\\32.dll")},
            {3, ValueIssue(kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\", L"",
                           L"c:\\qogone\\64.dll")},
            {4, KeyIssue(kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", L"QoOnlyDefault")},
            {5, ValueIssue(kLocalMachine, L"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\", L"Uninstall",
                           L"%ProgramFiles%\\QoGone\\x.exe")},
            {6, KeyIssue(kClassesRoot, L"", L".qoempty")},
        };
    }
};

TEST_F(RegistryCleaner, ScanListsTheInvalidEntriesOfEachCategoryAndNoValidOne) {
    std::array<RegistryIssueList, 7> lists;
    for (int category = 0; category < 7; ++category) lists[category] = Scan(category);
    for (const auto& [category, issue] : Invalid())
        EXPECT_TRUE(Holds(lists[category], issue)) << category << " " << std::string(issue.valueName.begin(), issue.valueName.end());
    for (const RegistryIssueList& list : lists) {
        for (const RegistryIssue& issue : list) {
            EXPECT_NE(issue.valueName, L"QoPresentRule");
            EXPECT_NE(issue.valueName, existingFile + L".FriendlyAppName");
            EXPECT_NE(issue.keyName, L"QoWithValue");
            EXPECT_NE(issue.keyName, L"QoWithSubKey");
            EXPECT_NE(issue.keyName, L"QoNamed");
            EXPECT_NE(issue.keyName, L".qofull");
        }
    }
}

TEST_F(RegistryCleaner, RepairDeletesInTheViewWhereTheEntryIsAndCountsSuccesses) {
    testsupport::TempDir backups;
    registry::RegistryBackup backup = registry::RegistryBackup::InFolder(backups.Path());
    RegistryIssueList dlls;
    for (const auto& [category, issue] : Invalid())
        if (category == 3) dlls.push_back(issue);
    // One entry someone else removed meanwhile is not counted.
    dlls.push_back(ValueIssue(kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\", L"",
                              L"c:\\qo\\never.dll"));
    EXPECT_EQ(registry::RepairCategory(dlls, backup), (RepairCount{2, 1}));
    EXPECT_FALSE(ValueExists(Root(kLocalMachine), kSharedDlls, L"c:\\qogone\\64.dll", KEY_WOW64_64KEY));
    EXPECT_FALSE(ValueExists(Root(kLocalMachine), kSharedDlls, L"c:\\qogone\\32.dll", KEY_WOW64_32KEY));
    EXPECT_TRUE(ValueExists(Root(kLocalMachine), kSharedDlls, existingFile, KEY_WOW64_64KEY));
}

TEST_F(RegistryCleaner, KeyIssuesAreDeletedUnlessTheyGainedSubKeys) {
    testsupport::TempDir backups;
    registry::RegistryBackup backup = registry::RegistryBackup::InFolder(backups.Path());
    CreateKey(Root(kCurrentUser), L"Software\\QoGrew");
    CreateKey(Root(kCurrentUser), L"Software\\QoGotValue");
    // Only in the 32-bit view, under a parent that both views have.
    CreateKey(Root(kLocalMachine), L"SOFTWARE\\QoOnly32", KEY_WOW64_32KEY);
    const RegistryIssueList issues = {KeyIssue(kCurrentUser, L"Software\\", L"QoGrew"),
                                      KeyIssue(kCurrentUser, L"Software\\", L"QoGotValue"),
                                      KeyIssue(kClassesRoot, L"", L".qoempty"),
                                      KeyIssue(kLocalMachine, L"SOFTWARE\\", L"QoOnly32")};
    CreateKey(Root(kCurrentUser), L"Software\\QoGrew\\Child");
    SetText(Root(kCurrentUser), L"Software\\QoGotValue", L"late", L"x");
    EXPECT_EQ(registry::RepairCategory(issues, backup), (RepairCount{3, 1}));
    EXPECT_FALSE(KeyExists(Root(kLocalMachine), L"SOFTWARE\\QoOnly32", KEY_WOW64_32KEY));
    // Saved under the name of its view.
    const auto saved = registry::ReadBackupFile(backup.Path());
    ASSERT_TRUE(saved);
    EXPECT_TRUE(std::ranges::any_of(*saved, [](const registry::BackupKey& key) {
        return key.path == L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\QoOnly32";
    }));
    EXPECT_TRUE(KeyExists(Root(kCurrentUser), L"Software\\QoGrew\\Child"));
    EXPECT_FALSE(KeyExists(Root(kCurrentUser), L"Software\\QoGotValue"));
    EXPECT_FALSE(KeyExists(Root(kClassesRoot), L".qoempty"));
    DeleteTree(Root(kCurrentUser), L"Software\\QoGrew");
}

// Kept keys and entries, as the keep list stores them (a root abbreviated,
// letter case aside): a kept key is not listed, nor a kept value; an entry
// kept after the scan listed it is neither saved nor deleted by the repair.
TEST_F(RegistryCleaner, KeptKeysAndEntriesAreNeitherListedNorRepaired) {
    struct Forgotten {
        ~Forgotten() { core::PublishKeptItems({}); }
    } forgotten;
    const std::wstring muiValue = L"HKEY_CURRENT_USER\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\"
                                  L"Shell\\MuiCache\\C:\\QoGone\\app.exe.FriendlyAppName";
    ASSERT_EQ(core::KeepItem(L"hkcu\\software\\qoempty"), core::KeepResult::Done);
    ASSERT_EQ(core::KeepItem(muiValue), core::KeepResult::Done);
    const auto invalid = Invalid();
    EXPECT_FALSE(Holds(Scan(2), invalid[2].second));
    EXPECT_FALSE(Holds(Scan(1), invalid[1].second));
    EXPECT_TRUE(Holds(Scan(6), invalid[7].second));

    ASSERT_EQ(core::KeepItem(L"HKCR\\.QOEMPTY"), core::KeepResult::Done);
    testsupport::TempDir backups;
    registry::RegistryBackup backup = registry::RegistryBackup::InFolder(backups.Path());
    const RegistryIssueList listed = {invalid[2].second, invalid[7].second, invalid[4].second};
    EXPECT_EQ(registry::RepairCategory(listed, backup), (RepairCount{1, 0}));
    EXPECT_TRUE(KeyExists(Root(kCurrentUser), L"Software\\QoEmpty"));
    EXPECT_TRUE(KeyExists(Root(kClassesRoot), L".qoempty"));
    EXPECT_FALSE(ValueExists(Root(kLocalMachine), kSharedDlls, L"c:\\qogone\\64.dll", KEY_WOW64_64KEY));
    const std::string bytes = testsupport::ReadFile(backup.Path());
    const std::wstring saved(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_NE(saved.find(L"64.dll"), std::wstring::npos);
    EXPECT_EQ(saved.find(L"QoEmpty"), std::wstring::npos);
    EXPECT_EQ(saved.find(L".qoempty"), std::wstring::npos);
}

// A key's default value is a value like any other: a firewall rule stored as
// the rules key's default value is listed as that value, kept as that value
// (not as the key), saved as "@" and deleted alone; the rules key and its
// other rules stay.
TEST_F(RegistryCleaner, ADefaultValueIsListedKeptSavedAndDeletedAsThatValueAlone) {
    struct Forgotten {
        ~Forgotten() {
            core::PublishKeptItems({});
            DeleteValue(Root(kLocalMachine), kFirewallRules, L"", KEY_WOW64_64KEY);
        }
    } forgotten;
    const std::wstring rule = L"v2.10|Action=Allow|App=C:\\QoGone\\default.exe|";
    SetText(Root(kLocalMachine), kFirewallRules, L"", rule);
    const RegistryIssue named = Invalid()[0].second;
    const RegistryIssue defaultRule = ValueIssue(named.root, named.keyPath, named.keyName, L"");
    EXPECT_TRUE(Holds(Scan(0), defaultRule));
    EXPECT_FALSE(Holds(Scan(0), KeyIssue(named.root, named.keyPath, named.keyName)));

    const std::wstring keepText = registry::KeepTextOf(defaultRule);
    EXPECT_EQ(keepText, L"HKEY_LOCAL_MACHINE\\" + std::wstring(kFirewallRules) + L"\\(Default)");
    ASSERT_EQ(core::KeepItem(keepText), core::KeepResult::Done);
    EXPECT_FALSE(Holds(Scan(0), defaultRule));
    EXPECT_TRUE(Holds(Scan(0), named));
    ASSERT_EQ(core::UnkeepItem(keepText), core::KeepResult::Done);

    testsupport::TempDir backups;
    registry::RegistryBackup backup = registry::RegistryBackup::InFolder(backups.Path());
    EXPECT_EQ(registry::RepairCategory({defaultRule}, backup), (RepairCount{1, 0}));
    EXPECT_FALSE(ValueExists(Root(kLocalMachine), kFirewallRules, L"", KEY_WOW64_64KEY));
    EXPECT_TRUE(ValueExists(Root(kLocalMachine), kFirewallRules, L"QoGoneRule", KEY_WOW64_64KEY));
    EXPECT_TRUE(ValueExists(Root(kLocalMachine), kFirewallRules, L"QoPresentRule", KEY_WOW64_64KEY));
    const auto saved = registry::ReadBackupFile(backup.Path());
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->size(), 1u);
    EXPECT_EQ(saved->front().path, L"HKEY_LOCAL_MACHINE\\" + std::wstring(kFirewallRules));
    const std::vector<BYTE> data(reinterpret_cast<const BYTE*>(rule.c_str()),
                                 reinterpret_cast<const BYTE*>(rule.c_str() + rule.size() + 1));
    EXPECT_EQ(saved->front().values, (std::vector<registry::BackupValue>{{L"", REG_SZ, data}}));
    const std::string bytes = testsupport::ReadFile(backup.Path());
    EXPECT_NE(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2).find(L"\r\n@=\""),
              std::wstring::npos);
}

// The registry page's detail window keeps a row by its position: the issue's
// own text (a value with its name, though the row shows only its key).
TEST_F(RegistryCleaner, KeepingARowKeepsThatIssueAlone) {
    struct Forgotten {
        ~Forgotten() { core::PublishKeptItems({}); }
    } forgotten;
    RegistryIssueList& list = registry::RegistryIssueLists()[3];
    const auto invalid = Invalid();
    list = {invalid[3].second, invalid[4].second};
    EXPECT_EQ(testsupport::CallNative("KeepListedItem", {0, 3, 1}), engine::Value(0));
    EXPECT_EQ(list, (RegistryIssueList{invalid[3].second}));
    EXPECT_EQ(testsupport::CallNative("GetKeepList"),
              engine::Value::Array({L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs\\c:\\qogone\\64.dll"}));
    EXPECT_FALSE(Holds(Scan(3), invalid[4].second));
    EXPECT_TRUE(Holds(Scan(3), invalid[3].second));
    list.clear();
}

TEST_F(RegistryCleaner, BackupThatCannotBeWrittenDeletesNothing) {
    registry::RegistryBackup backup(dir / L"no-such-folder\\backup.reg");
    const RegistryIssueList issues = {KeyIssue(kCurrentUser, L"Software\\", L"QoEmpty")};
    EXPECT_EQ(registry::RepairCategory(issues, backup), std::nullopt);
    EXPECT_TRUE(KeyExists(Root(kCurrentUser), L"Software\\QoEmpty"));
}

// The page learns that such a category was not cleaned: no "SetCleanEnd"
// hides its tile, the summary it redraws from keeps the count, and the
// health score does not rise.
TEST_F(RegistryCleaner, ACategoryWhoseBackupCannotBeWrittenIsReportedAsNotCleaned) {
    testsupport::PublishedHost page;
    core::ZoneBits() = core::REG_CLEAN_WORKING;
    RegistryIssueList& list = registry::RegistryIssueLists()[2];
    list = {KeyIssue(kCurrentUser, L"Software\\", L"QoEmpty")};
    junk::CleanRun run;
    run.health = 50;
    run.registry[static_cast<std::size_t>(db::Store::User)].backup =
        std::make_unique<registry::RegistryBackup>(dir / L"no-such-folder\\backup.reg");
    registry::RegistryRows().Clean(2, run);
    EXPECT_TRUE(KeyExists(Root(kCurrentUser), L"Software\\QoEmpty"));
    EXPECT_EQ(run.health, 50);
    EXPECT_EQ(run.repairedCount, 0u);
    EXPECT_TRUE(page.CallsOf("SetCleanEnd").empty());
    EXPECT_NE(junk::AllItemInfoText().find(LR"({"first":0,"second":2,"three":1,"four":"0"})"), std::wstring::npos);
    list.clear();
    core::ZoneBits() = 0;
}

TEST_F(RegistryCleaner, ImportingTheBackupBringsEveryRepairedIssueBack) {
    testsupport::TempDir backups;
    registry::RegistryBackup backup = registry::RegistryBackup::InFolder(backups.Path());
    std::array<RegistryIssueList, 7> before;
    for (int category = 0; category < 7; ++category) {
        before[category] = Scan(category);
        RegistryIssueList ours;
        for (const auto& [c, issue] : Invalid())
            if (c == category) ours.push_back(issue);
        EXPECT_EQ(registry::RepairCategory(ours, backup), (RepairCount{static_cast<std::uint32_t>(ours.size()), 0}))
            << category;
    }
    for (const auto& [category, issue] : Invalid()) EXPECT_FALSE(Holds(Scan(category), issue)) << category;

    // The Windows folder's regedit is the 64-bit one that opens .reg files
    // from the shell; the 32-bit one would import 64-bit keys into WOW6432Node.
    // (Wine redirects that path for 32-bit callers unless redirection is off.)
    const common::FsRedirectionOff redirectionOff;
    std::wstring command = testsupport::Environment(L"windir") + L"\\regedit.exe /s \"" + backup.Path() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    for (const auto& [category, issue] : Invalid())
        EXPECT_TRUE(Holds(Scan(category), issue)) << category << " " << std::string(issue.keyName.begin(), issue.keyName.end())
                                                  << std::string(issue.valueName.begin(), issue.valueName.end());
    // And the data came back too, not just the names.
    EXPECT_TRUE(ValueExists(Root(kCurrentUser), kMuiCache, L"C:\\QoGone\\app.exe.FriendlyAppName", KEY_WOW64_64KEY));
}

}  // namespace

namespace {

using testsupport::CallNative;

// The backups in the Backups folder of `store`.
std::vector<std::wstring> BackupFiles(db::Store store) {
    std::vector<std::wstring> files;
    const std::wstring folder = db::Database(store).Folder() + L"Backups";
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((folder + L"\\*.reg").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do files.push_back(folder + L"\\" + data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

TEST_F(RegistryCleaner, RegistryPageFlowThroughTheBridge) {
    ASSERT_TRUE(testsupport::WaitForWorkers());
    core::ZoneBits() = 0;
    testsupport::PublishedHost page;
    ASSERT_EQ(CallNative("ScanRegistry", {engine::Value(0)}), engine::Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(core::ZoneBits().load(), 0u);

    const auto reports = page.CallsOf("SetErrorNumAndSize");
    ASSERT_EQ(reports.size(), 7u);
    int total = 0;
    std::vector<int> counts;
    for (int category = 0; category < 7; ++category) {
        const auto& row = reports[category].args.at(0).Items();
        ASSERT_EQ(row.size(), 6u);
        EXPECT_EQ(row[1], engine::Value(L"0"));
        EXPECT_EQ(row[2], engine::Value(0));
        EXPECT_EQ(row[3], engine::Value(category));
        EXPECT_EQ(row[4], engine::Value(2));
        EXPECT_EQ(row[5], engine::Value(0));
        counts.push_back(*row[0].AsInt());
        total += counts.back();
    }
    std::vector<int> progress;
    for (const auto& call : page.CallsOf("SetScanProcess")) progress.push_back(*call.args[0].AsInt());
    EXPECT_EQ(progress, (std::vector<int>{14, 28, 42, 57, 71, 85, 100}));
    EXPECT_EQ(core::ReadRegistryIssueCount(), static_cast<DWORD>(total));

    const std::wstring rows = CallNative("GetErrorDetails", {0, 2, 0, 50}).Text();
    EXPECT_NE(rows.find(L"{\"first\":\"HKEY_CURRENT_USER\\\\Software\\\\QoEmpty\"}"), std::wstring::npos) << rows;
    EXPECT_EQ(CallNative("GetErrorDetails", {0, 7, 0, 50}), engine::Value(L"[]"));

    ASSERT_EQ(CallNative("RepairChoose", {L"[{\"first\":0,\"second\":2},{\"first\":0,\"second\":6}]", 16}),
              engine::Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    const auto cleanEnds = page.CallsOf("SetCleanEnd");
    ASSERT_EQ(cleanEnds.size(), 2u);
    EXPECT_EQ(cleanEnds[0].args[0], engine::Value::Array({counts[2], L"", 0, 2, 16}));
    EXPECT_EQ(cleanEnds[1].args[0], engine::Value::Array({counts[6], L"", 0, 6, 16}));
    EXPECT_EQ(page.CallsOf("GetAllItemInfo").size(), 1u);
    EXPECT_FALSE(KeyExists(Root(kCurrentUser), L"Software\\QoEmpty"));
    EXPECT_FALSE(KeyExists(Root(kClassesRoot), L".qoempty"));
    EXPECT_TRUE(KeyExists(Root(kCurrentUser), L"Software\\QoWithValue"));
    EXPECT_EQ(core::ReadRegistryIssueCount(), static_cast<DWORD>(total - counts[2] - counts[6]));
    EXPECT_EQ(CallNative("GetErrorDetails", {0, 2, 0, 50}), engine::Value(L"[]"));
    // Each hive's part of the clean is in its own store: a journal row with
    // what it removed, naming the account, and a backup saved first in that
    // store's Backups folder, holding that hive's keys alone.
    const struct {
        db::Store store;
        int category;
        const wchar_t* key;
        const wchar_t* otherKey;
    } parts[] = {{db::Store::User, 2, L"[HKEY_CURRENT_USER\\Software\\QoEmpty]", L"[HKEY_CLASSES_ROOT\\.qoempty]"},
                 {db::Store::Machine, 6, L"[HKEY_CLASSES_ROOT\\.qoempty]", L"[HKEY_CURRENT_USER\\Software\\QoEmpty]"}};
    for (const auto& part : parts) {
        SCOPED_TRACE(part.category);
        std::vector<db::RegistryCleanRow> journal;
        ASSERT_TRUE(db::Database(part.store).ReadRegistryCleans(journal));
        ASSERT_EQ(journal.size(), 1u);
        EXPECT_EQ(journal[0].entries, counts[static_cast<std::size_t>(part.category)]);
        EXPECT_FALSE(journal[0].restored);
        EXPECT_EQ(journal[0].account, common::TokenAccountSid());
        const std::vector<std::wstring> backups = BackupFiles(part.store);
        ASSERT_EQ(backups, std::vector<std::wstring>{journal[0].backup});
        const std::string bytes = testsupport::ReadFile(backups[0]);
        const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        EXPECT_NE(text.find(part.key), std::wstring::npos);
        EXPECT_EQ(text.find(part.otherKey), std::wstring::npos);
    }
}

}  // namespace
