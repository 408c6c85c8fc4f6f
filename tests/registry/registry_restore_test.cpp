// A registry clean undone from its backup: the reader over the file's text,
// the round trip through the repair in both views, and backup retention.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "core/store_backups.h"
#include "common/handles.h"
#include "engine/wire_format.h"
#include "db/scratch_database.h"
#include "registry/registry_access.h"
#include "registry/registry_backup.h"
#include "registry/registry_journal.h"
#include "registry/registry_repair.h"
#include "registry/registry_restore.h"
#include "suite/undo_changes.h"
#include "support/temp_dir.h"

namespace {

using registry::BackupKey;
using registry::BackupValue;

std::vector<BYTE> Bytes(std::initializer_list<int> values) {
    std::vector<BYTE> bytes;
    for (const int value : values) bytes.push_back(static_cast<BYTE>(value));
    return bytes;
}

std::vector<BYTE> Text(std::wstring_view text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    std::vector<BYTE> data(bytes, bytes + text.size() * sizeof(wchar_t));
    data.push_back(0);
    data.push_back(0);
    return data;
}

TEST(RegistryRestore, ReadsEveryLineTheBackupWritesAndRefusesTheRest) {
    const BackupKey key{L"HKEY_CURRENT_USER\\Software\\Qo \"x\"",
                        {{L"", REG_SZ, Text(L"C:\\a \"b\"")},
                         {L"dw", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12})},
                         {L"bin", REG_BINARY, Bytes({0, 0xff, 0x10})},
                         {L"none", REG_NONE, {}},
                         {L"multi", REG_MULTI_SZ, Bytes({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0})},
                         {L"odd\\\"name", REG_DWORD, Bytes({1, 2, 3})},
                         {L"lines", REG_SZ, Text(L"one\r\ntwo")},
                         {L"qword", REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0x80})}}};
    const BackupKey empty{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\QoEmpty", {}};
    const std::wstring text =
        L"Windows Registry Editor Version 5.00\r\n" + registry::FormatBackupKey(key) + registry::FormatBackupKey(empty);
    const std::optional<std::vector<BackupKey>> read = registry::ParseBackupText(text);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[0].path, key.path);
    EXPECT_EQ((*read)[0].values, key.values);
    EXPECT_EQ((*read)[1].path, empty.path);
    EXPECT_TRUE((*read)[1].values.empty());

    for (const wchar_t* broken : {L"", L"REGEDIT4\r\n[HKEY_CURRENT_USER\\X]\r\n",
                                  L"Windows Registry Editor Version 5.00\r\n\"a\"=\"b\"\r\n",
                                  L"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=dword:123\r\n",
                                  L"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=hex:0g\r\n",
                                  L"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=-\r\n",
                                  L"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\X\r\n"})
        EXPECT_FALSE(registry::ParseBackupText(broken)) << broken;
}

class RegistryRestoreRoundTrip : public testing::Test {
protected:
    static constexpr std::uint32_t kMachine = 0x80000002;

    void TearDown() override {
        for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
            for (const wchar_t* key : {L"SOFTWARE\\QoUndoValues", L"SOFTWARE\\QoUndo32", L"SOFTWARE\\QoUndoEmpty"})
                RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, view, 0);
    }

    static void Write(REGSAM view, const wchar_t* path, const BackupValue& value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
        RegCloseKey(key);
    }

    static std::optional<BackupValue> Read(REGSAM view, const wchar_t* path, const std::wstring& name) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
            return std::nullopt;
        const common::UniqueRegKey owner(key);
        return registry::ReadValue(key, name);
    }
};

// Each value comes back where it was (the 64-bit or the 32-bit view) with
// its exact type and data; a second restore finds them there and keeps what
// the user changed meanwhile.
TEST_F(RegistryRestoreRoundTrip, EntriesComeBackExactlyInTheirViewAndAreNeverOverwritten) {
    const std::vector<BackupValue> values = {{L"text", REG_SZ, Text(L"C:\\gone\\a.exe")},
                                             {L"expand", REG_EXPAND_SZ, Text(L"%TEMP%\\x")},
                                             {L"multi", REG_MULTI_SZ, Bytes({'a', 0, 0, 0, 0, 0})},
                                             {L"number", REG_DWORD, Bytes({1, 2, 3, 4})},
                                             {L"bytes", REG_BINARY, Bytes({9, 8, 7})},
                                             {L"nothing", REG_NONE, {}}};
    for (const BackupValue& value : values) Write(KEY_WOW64_64KEY, L"SOFTWARE\\QoUndoValues", value);
    Write(KEY_WOW64_32KEY, L"SOFTWARE\\QoUndo32", {L"only32", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})});
    HKEY empty = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QoUndoEmpty", 0, nullptr, 0, KEY_READ | KEY_WOW64_64KEY,
                              nullptr, &empty, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(empty);
    registry::RegistryIssueList issues;
    for (const BackupValue& value : values)
        issues.push_back(registry::ValueIssue(kMachine, L"SOFTWARE\\", L"QoUndoValues", value.name));
    issues.push_back(registry::ValueIssue(kMachine, L"SOFTWARE\\", L"QoUndo32", L"only32"));
    issues.push_back(registry::KeyIssue(kMachine, L"SOFTWARE\\", L"QoUndoEmpty"));

    testsupport::TempDir folder;
    registry::RegistryBackup backup(folder / L"backup.reg");
    ASSERT_EQ(registry::RepairCategory(issues, backup), (registry::RepairCount{8, 0}));
    ASSERT_FALSE(Read(KEY_WOW64_64KEY, L"SOFTWARE\\QoUndoValues", L"text"));
    ASSERT_FALSE(Read(KEY_WOW64_32KEY, L"SOFTWARE\\QoUndo32", L"only32"));
    HKEY key = nullptr;
    ASSERT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QoUndoEmpty", 0, KEY_READ | KEY_WOW64_64KEY, &key),
              ERROR_SUCCESS);

    const std::optional<std::vector<BackupKey>> keys = registry::ReadBackupFile(backup.Path());
    ASSERT_TRUE(keys);
    const registry::RestoreReport report = registry::RestoreKeys(*keys);
    EXPECT_EQ(report.restored, 8u);
    EXPECT_TRUE(report.existing.empty());
    EXPECT_TRUE(report.failed.empty());
    for (const BackupValue& value : values)
        EXPECT_EQ(Read(KEY_WOW64_64KEY, L"SOFTWARE\\QoUndoValues", value.name), value) << value.name;
    EXPECT_EQ(Read(KEY_WOW64_32KEY, L"SOFTWARE\\QoUndo32", L"only32"),
              (BackupValue{L"only32", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})}));
    EXPECT_FALSE(Read(KEY_WOW64_64KEY, L"SOFTWARE\\QoUndo32", L"only32"));
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QoUndoEmpty", 0, KEY_READ | KEY_WOW64_64KEY, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);

    Write(KEY_WOW64_64KEY, L"SOFTWARE\\QoUndoValues", {L"number", REG_DWORD, Bytes({5, 5, 5, 5})});
    const registry::RestoreReport again = registry::RestoreKeys(*keys);
    EXPECT_EQ(again.restored, 0u);
    EXPECT_EQ(again.existing.size(), 8u);
    EXPECT_EQ(Read(KEY_WOW64_64KEY, L"SOFTWARE\\QoUndoValues", L"number")->data, Bytes({5, 5, 5, 5}));
}

// Gives the user's key `path` the DACL of `sddl` (Wine enforces registry
// key DACLs); the owner may always rewrite it.
void SetKeyAccess(const wchar_t* path, const wchar_t* sddl) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    const common::UniqueRegKey owner(key);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    LocalFree(descriptor);
}

class RegistryCleanUndo : public testing::Test {
protected:
    static constexpr const wchar_t* kDenied = L"Software\\QoUndoDenied";
    static constexpr const wchar_t* kOpen = L"Software\\QoUndoOpen";

    void TearDown() override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kDenied, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            SetKeyAccess(kDenied, L"D:P(A;;KA;;;WD)");
        }
        for (const wchar_t* path : {kDenied, kOpen}) RegDeleteKeyW(HKEY_CURRENT_USER, path);
    }

    testsupport::ScratchDatabase database_;
};

// A restore that could not write every entry is not marked: it answers
// Failed with what did come back, stays in the list as restorable, and a
// retry writes the rest (what came back the first time is found there and
// kept); only then is it marked, and a third restore answers as restored.
TEST_F(RegistryCleanUndo, ARestoreThatFailedSomewhereStaysRestorableUntilAllIsBack) {
    const BackupValue denied{L"a", REG_SZ, Text(L"C:\\gone\\a.exe")};
    const BackupValue open{L"b", REG_DWORD, Bytes({1, 0, 0, 0})};
    const auto write = [](const wchar_t* path, const BackupValue& value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
        RegCloseKey(key);
    };
    const auto read = [](const wchar_t* path, const std::wstring& name) -> std::optional<BackupValue> {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
        const common::UniqueRegKey owner(key);
        return registry::ReadValue(key, name);
    };
    write(kDenied, denied);
    write(kOpen, open);
    constexpr std::uint32_t kUser = 0x80000001;
    const registry::RegistryIssueList issues = {registry::ValueIssue(kUser, L"Software\\", L"QoUndoDenied", L"a"),
                                                registry::ValueIssue(kUser, L"Software\\", L"QoUndoOpen", L"b")};
    const core::StoreFolder backups = core::BackupsFolder(db::Store::User);
    ASSERT_TRUE(backups) << engine::Utf8FromWide(backups.refusal);
    registry::RegistryBackup backup(backups.path + L"\\clean.reg");
    const std::optional<std::int64_t> clean = registry::RecordRegistryClean(db::Store::User, backup.Path());
    ASSERT_TRUE(clean);
    ASSERT_EQ(registry::RepairCategory(issues, backup), (registry::RepairCount{.removed = 2, .left = 0}));
    ASSERT_TRUE(db::Database(db::Store::User).CountRegistryCleanEntries(*clean, 2));
    ASSERT_FALSE(read(kDenied, L"a"));
    const std::string id = "registry-u" + std::to_string(*clean);

    SetKeyAccess(kDenied, L"D:P(A;;KR;;;WD)");
    suite::RestoreOutcome outcome = suite::RestoreChange(id);
    EXPECT_EQ(outcome.status, suite::RestoreStatus::Failed);
    EXPECT_EQ(outcome.restored, 1u);
    EXPECT_EQ(outcome.failed, std::vector<std::wstring>{L"HKEY_CURRENT_USER\\Software\\QoUndoDenied"});
    EXPECT_EQ(read(kOpen, L"b"), open);
    ASSERT_EQ(suite::ListChanges().size(), 1u);
    EXPECT_FALSE(suite::ListChanges()[0].restored);

    SetKeyAccess(kDenied, L"D:P(A;;KA;;;WD)");
    outcome = suite::RestoreChange(id);
    EXPECT_EQ(outcome.status, suite::RestoreStatus::Restored);
    EXPECT_EQ(outcome.restored, 1u);
    EXPECT_EQ(outcome.existing, std::vector<std::wstring>{L"HKEY_CURRENT_USER\\Software\\QoUndoOpen\\b"});
    EXPECT_TRUE(outcome.failed.empty());
    EXPECT_EQ(read(kDenied, L"a"), denied);
    EXPECT_TRUE(suite::ListChanges()[0].restored);
    EXPECT_EQ(suite::RestoreChange(id).status, suite::RestoreStatus::AlreadyRestored);
}

TEST(RegistryBackupRetention, KeepsThirtyDaysAndAlwaysTheNewestTen) {
    constexpr std::int64_t kDay = 24 * 60 * 60;
    constexpr std::int64_t kNow = 100 * kDay;
    // Ages in days, newest first; a negative age is a clean that removed
    // nothing.
    const auto rows = [](std::initializer_list<std::int64_t> ages) {
        std::vector<db::RegistryCleanRow> list;
        std::int64_t id = static_cast<std::int64_t>(ages.size());
        for (const std::int64_t age : ages)
            list.push_back({id--, kNow - (age < 0 ? -age : age) * kDay, L"x.reg", age < 0 ? 0 : 1, false});
        return list;
    };
    struct Case {
        std::vector<db::RegistryCleanRow> newestFirst;
        std::vector<std::int64_t> expired;
    };
    const Case cases[] = {
        {rows({40, 50, 60}), {}},  // old, but among the newest ten
        {rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), {}},
        {rows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 31, 29, 45}), {3, 1}},
        {rows({40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50}), {1}},
        // Empty cleans push no backup that holds entries out of the newest
        // ten; old ones expire themselves.
        {rows({-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 40}), {}},
        {rows({-31, -1, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, -50, 51}), {14, 2, 1}},
        {rows({-40, -41}), {2, 1}},
    };
    for (const Case& c : cases) EXPECT_EQ(registry::ExpiredBackups(c.newestFirst, kNow), c.expired);
}

}  // namespace
