// The folder a replaced 32-bit install lies in, as the 64-bit package records
// it in HKLM\SOFTWARE\Quillmark\Orvane\LegacyDir: read only when it is a plain
// folder on a local disk, at its path, that nobody but SYSTEM, the
// administrators and TrustedInstaller may change (links made from the Linux
// side, others' right to write as Unix mode bits: what Wine shows); and what
// the earlier version left there moved into the stores once, by orvane runs,
// a start killed at each step of the move leaving the record for the next.
#include "core/store_migration.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/crash_point.h"
#include "common/listed_delete.h"
#include "engine/browser_launch.h"
#include "engine/wire_format.h"
#include "support/earlier_database.h"
#include "support/fresh_stores.h"
#include "support/linux_links.h"
#include "support/scoped_state.h"
#include "support/scratch_program.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

// A temporary folder by its final path, as the check compares it.
class Folder {
public:
    Folder() : path_(common::ResolvedFolder(temp_.Path()).value_or(temp_.Path())) {}
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    TempDir temp_;
    std::wstring path_;
};

enum class Found { Read, NotThere, Refused };

Found Outcome(const core::ReplacedFolder& folder) {
    if (!folder.refusal.empty()) return Found::Refused;
    return folder.path.empty() ? Found::NotThere : Found::Read;
}

TEST(ReplacedInstall, OnlyAPlainLocalFolderAtItsPathIsRead) {
    const Folder parent;
    testsupport::MakeFolder(parent / L"Quillmark Orvane");
    testsupport::WriteFile(parent / L"file", "x");
    const TempDir elsewhere;
    testsupport::MakeFolder(elsewhere / L"inner");
    testsupport::LinuxLinks links;
    ASSERT_TRUE(links.Make(elsewhere.Path(), parent / L"linked"));
    const std::wstring plain = parent / L"Quillmark Orvane";
    const struct {
        const char* what;
        std::wstring recorded;
        Found expected;
    } cases[] = {
        {"a plain folder", plain, Found::Read},
        {"as the package records it, with a backslash", plain + L"\\", Found::Read},
        {"in another letter case", parent.Path() + L"\\QUILLMARK orvane", Found::Read},
        {"not there any more", parent / L"gone", Found::NotThere},
        {"a file", parent / L"file", Found::Refused},
        {"a link to a folder", parent / L"linked", Found::Refused},
        {"a folder reached through a link", parent / L"linked\\inner", Found::Refused},
        {"a detour through its parent", plain + L"\\..\\Quillmark Orvane", Found::Refused},
        {"a share", L"\\\\server\\share\\Quillmark Orvane", Found::Refused},
        {"a device path", L"\\\\.\\C:\\Quillmark Orvane", Found::Refused},
        {"relative", L"Quillmark Orvane", Found::Refused},
        {"relative to a drive's folder", L"C:Quillmark Orvane", Found::Refused},
        {"empty", L"", Found::Refused},
    };
    for (const auto& c : cases) {
        const core::ReplacedFolder folder = core::OpenReplacedFolder(c.recorded);
        EXPECT_EQ(Outcome(folder), c.expected) << c.what << ": " << engine::Utf8FromWide(folder.refusal);
        if (c.expected == Found::Read) {
            EXPECT_TRUE(common::IsOpenedAt(folder.handle.get(), plain)) << c.what;
            EXPECT_TRUE(common::SamePathText(folder.path, plain + L"\\")) << c.what;
        }
    }
}

// Held while its data is read: it cannot be renamed away and replaced.
TEST(ReplacedInstall, TheFolderReadCannotBeRenamedMeanwhile) {
    if (engine::RunningUnderWine())
        GTEST_SKIP() << "Wine 8 renames a folder held open without FILE_SHARE_DELETE: only Windows refuses it";
    const Folder parent;
    testsupport::MakeFolder(parent / L"Quillmark Orvane");
    {
        const core::ReplacedFolder folder = core::OpenReplacedFolder(parent / L"Quillmark Orvane");
        ASSERT_EQ(Outcome(folder), Found::Read) << engine::Utf8FromWide(folder.refusal);
        EXPECT_FALSE(MoveFileW((parent / L"Quillmark Orvane").c_str(), (parent / L"moved").c_str()));
    }
    EXPECT_TRUE(MoveFileW((parent / L"Quillmark Orvane").c_str(), (parent / L"moved").c_str()));
}

// What Wine shows of a folder another account may change: the Unix mode
// bits, as Everyone's entry (the owners and DACLs of Windows are a table of
// core::InstallFolderTrusted in data_stores_test.cpp).
TEST(ReplacedInstall, AFolderOthersMayWriteIsRefused) {
    if (!engine::RunningUnderWine()) GTEST_SKIP() << "Windows: the table of owners and DACLs shows it";
    const Folder parent;
    const std::wstring path = parent / L"Quillmark Orvane";
    testsupport::MakeFolder(path);
    ASSERT_EQ(Outcome(core::OpenReplacedFolder(path)), Found::Read);
    ASSERT_TRUE(testsupport::RunShell("chmod 777 '" + testsupport::UnixPath(path) + "'"));
    const core::ReplacedFolder folder = core::OpenReplacedFolder(path);
    EXPECT_EQ(Outcome(folder), Found::Refused);
    EXPECT_NE(folder.refusal.find(L"may change it"), std::wstring::npos) << engine::Utf8FromWide(folder.refusal);
}

// The package's record, in the 64-bit registry, removed again with the key
// when the test made it.
class RecordedFolder {
public:
    explicit RecordedFolder(const std::wstring& folder) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kVendorKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS)
            RegCloseKey(key);
        else
            createdVendor_ = true;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, core::kRegistrationKey, 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, &disposition) != ERROR_SUCCESS)
            return;
        created_ = disposition == REG_CREATED_NEW_KEY;
        written_ = RegSetValueExW(key, core::kReplacedInstallValue, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(folder.c_str()),
                                  static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~RecordedFolder() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, core::kRegistrationKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key, core::kReplacedInstallValue);
            RegCloseKey(key);
        }
        if (created_) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, core::kRegistrationKey, KEY_WOW64_64KEY, 0);
        if (createdVendor_) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kVendorKey, KEY_WOW64_64KEY, 0);
    }
    RecordedFolder(const RecordedFolder&) = delete;
    RecordedFolder& operator=(const RecordedFolder&) = delete;
    bool Written() const { return written_; }

    // The value as it is now; nothing when removed.
    static std::optional<std::wstring> Now() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, core::kRegistrationKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
            ERROR_SUCCESS)
            return std::nullopt;
        wchar_t text[1024] = L"";
        DWORD bytes = sizeof text - sizeof(wchar_t);
        const LSTATUS status = RegGetValueW(key, nullptr, core::kReplacedInstallValue, RRF_RT_REG_SZ, nullptr, text,
                                            &bytes);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) return std::nullopt;
        return std::wstring(text);
    }

private:
    static constexpr wchar_t kVendorKey[] = L"SOFTWARE\\Quillmark";
    bool createdVendor_ = false;
    bool created_ = false;
    bool written_ = false;
};

// The first elevated start after the switch, killed at each step of the
// move (or not at all): the record stays until nothing is left to move, the
// next start lists every earlier change once, the old database is kept once
// under its new name, config.ini lands in the account's store, a start
// after that changes nothing, and the earlier clean can be undone from the
// backup beside the old database.
class ReplacedInstallMove : public testing::TestWithParam<const char*> {};

TEST_P(ReplacedInstallMove, EveryRowMovesOnceAndTheRecordGoesAfter) {
    const std::string killAt = GetParam();
    testsupport::RemoveStoreFolders();
    const testsupport::ScopedUserValue cleaned(testsupport::kCleanedKey, testsupport::kCleanedValue);
    const testsupport::ScratchProgram program;
    const Folder old;
    testsupport::MakeEarlierInstall(old.Path());
    const RecordedFolder recorded(old.Path() + L"\\");
    ASSERT_TRUE(recorded.Written());

    if (!killAt.empty()) {
        const testsupport::ProgramRun killed = program.Run(program.Program(), L"undo list --json", killAt);
        ASSERT_EQ(killed.exitCode, common::kCrashExitCode) << "the start never reached its crash point\n"
                                                           << killed.out << killed.err;
        EXPECT_EQ(RecordedFolder::Now(), old.Path() + L"\\");
    }
    const testsupport::ProgramRun next = program(L"undo list --json");
    ASSERT_EQ(next.exitCode, 0u) << next.out << next.err;
    EXPECT_EQ(testsupport::ChangesByKind(next), testsupport::kEarlierChanges) << next.out << next.err;
    EXPECT_EQ(RecordedFolder::Now(), std::nullopt);
    const std::vector<std::wstring> files = testsupport::FilesIn(old.Path());
    EXPECT_EQ(testsupport::MigratedDatabases(files), 1u);
    EXPECT_EQ(std::count(files.begin(), files.end(), L"mydatabase.db"), 0);
    EXPECT_EQ(testsupport::ReadFile(testsupport::UserStorePath() + L"\\config.ini"), testsupport::kConfig);

    const testsupport::ProgramRun after = program(L"undo list --json");
    const cJSON* changesAfter = testsupport::JsonItem(after.json.get(), "changes");
    const cJSON* changesNext = testsupport::JsonItem(next.json.get(), "changes");
    ASSERT_TRUE(changesAfter && changesNext) << after.out << next.out;
    EXPECT_EQ(engine::PrintJson(*changesAfter), engine::PrintJson(*changesNext));
    EXPECT_EQ(testsupport::FilesIn(old.Path()), files);

    // The earlier clean is undone from the backup it left in that folder.
    std::string registryChange;
    for (const cJSON* change = changesNext->child; change; change = change->next)
        if (testsupport::JsonText(change, "id").starts_with("registry-")) registryChange = testsupport::JsonText(change, "id");
    const testsupport::ProgramRun undo = program(L"undo restore " + engine::WideFromUtf8(registryChange));
    EXPECT_EQ(undo.exitCode, 0u) << undo.out << undo.err;
    wchar_t value[16] = L"";
    DWORD bytes = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, testsupport::kCleanedKey, testsupport::kCleanedValue, RRF_RT_REG_SZ,
                           nullptr, value, &bytes),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, L"yes");
}

INSTANTIATE_TEST_SUITE_P(Points, ReplacedInstallMove,
                         testing::Values("", "migration.copied", "migration.committed", "migration.renamed"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = *info.param ? info.param : "migrationwhole";
                             name.erase(std::remove(name.begin(), name.end(), '.'), name.end());
                             return name;
                         });

// A folder another account may change is not read: nothing of it moves, the
// start says why, and the record stays for an administrator to look at.
TEST(ReplacedInstall, AnUntrustedFolderIsNotMovedAndItsRecordStays) {
    if (!engine::RunningUnderWine()) GTEST_SKIP() << "Windows: the table of owners and DACLs shows it";
    testsupport::RemoveStoreFolders();
    const testsupport::ScopedUserValue cleaned(testsupport::kCleanedKey, testsupport::kCleanedValue);
    const testsupport::ScratchProgram program;
    const Folder old;
    testsupport::MakeEarlierInstall(old.Path());
    ASSERT_TRUE(testsupport::RunShell("chmod 777 '" + testsupport::UnixPath(old.Path()) + "'"));
    const RecordedFolder recorded(old.Path() + L"\\");
    ASSERT_TRUE(recorded.Written());

    const testsupport::ProgramRun run = program(L"undo list --json");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(testsupport::ChangesByKind(run).empty()) << run.out;
    EXPECT_NE(run.err.find("is not moved"), std::string::npos) << run.err;
    EXPECT_EQ(RecordedFolder::Now(), old.Path() + L"\\");
    const std::vector<std::wstring> files = testsupport::FilesIn(old.Path());
    EXPECT_EQ(std::count(files.begin(), files.end(), L"mydatabase.db"), 1);
    EXPECT_EQ(testsupport::MigratedDatabases(files), 0u);
}

}  // namespace
