// The data stores' folders: which DACL entries they get and which existing
// folders are trusted (tables), and the folders made, read back with
// GetSecurityInfo as SDDL. Wine stores DACLs but does not enforce them: that a
// standard user is really refused shows only on Windows.
#include "common/account_sid.h"
#include "core/data_stores.h"

#include <gtest/gtest.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "common/listed_delete.h"
#include "core/store_access.h"
#include "engine/browser_launch.h"
#include "engine/wire_format.h"
#include "support/linux_links.h"
#include "support/security_text.h"
#include "support/temp_dir.h"

namespace {

using core::AccessEntry;
using core::Verdict;
using testsupport::Exists;
using testsupport::SecurityText;
using testsupport::TempDir;

constexpr wchar_t kAccount[] = L"S-1-5-21-1-2-3-1001";
constexpr wchar_t kOtherAccount[] = L"S-1-5-21-1-2-3-1002";
constexpr wchar_t kEveryone[] = L"S-1-1-0";
constexpr wchar_t kAuthenticatedUsers[] = L"S-1-5-11";
constexpr wchar_t kCreatorOwner[] = L"S-1-3-0";
constexpr wchar_t kAllApplicationPackages[] = L"S-1-15-2-1";
constexpr BYTE kChildren = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

AccessEntry Allow(const std::wstring& sid, ACCESS_MASK mask, BYTE flags = kChildren) {
    return {AccessEntry::Kind::Allow, sid, mask, flags};
}

// A folder made the way another account could have made it first.
bool MakePlanted(const std::wstring& path, const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const bool made = CreateDirectoryW(path.c_str(), &attributes);
    LocalFree(descriptor);
    return made;
}

// The folders of `parent` whose names start with `prefix`.
std::vector<std::wstring> FoldersStarting(const std::wstring& parent, const std::wstring& prefix) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((parent + L"\\" + prefix + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::string Narrow(const std::wstring& text) { return engine::Utf8FromWide(text); }

std::wstring Known(const KNOWNFOLDERID& id) {
    wchar_t* path = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
    CoTaskMemFree(path);
    return result;
}

// A temporary folder by its final path: the stores check that each folder
// lies exactly where it was asked for.
class StoreParent {
public:
    StoreParent() : path_(common::ResolvedFolder(temp_.Path()).value_or(temp_.Path())) {}
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    TempDir temp_;
    std::wstring path_;
};

// The folder `name` of `parent` and what was there before it: moved aside
// with its file, or still in place.
void ExpectMovedAside(const StoreParent& parent, const std::wstring& name, bool movedAside, const char* label) {
    const std::wstring path = parent / name;
    const std::vector<std::wstring> aside = FoldersStarting(parent.Path(), name + L".untrusted-");
    if (movedAside) {
        ASSERT_EQ(aside.size(), 1u) << label;
        EXPECT_EQ(testsupport::ReadFile(parent / (aside[0] + L"\\planted.txt")), "left by another account") << label;
        EXPECT_FALSE(Exists(path + L"\\planted.txt")) << label;
    } else {
        EXPECT_TRUE(aside.empty()) << label;
        EXPECT_TRUE(Exists(path + L"\\planted.txt")) << label;
    }
}

TEST(StoreAccess, EachStoreGivesFullControlToItsOwnersAndReadingOnlyWhereAsked) {
    struct Case {
        const char* name;
        core::StoreRule rule;
        std::vector<AccessEntry> entries;
    };
    const ACCESS_MASK full = core::kFullControl, read = core::kReadAndExecute;
    const std::vector<Case> cases = {
        {"machine store, users read", core::MachineRule(true),
         {Allow(core::kSystemSid, full), Allow(core::kAdministratorsSid, full), Allow(core::kUsersSid, read)}},
        {"machine backups, nobody else", core::MachineRule(false),
         {Allow(core::kSystemSid, full), Allow(core::kAdministratorsSid, full)}},
        {"user store", core::AccountRule(kAccount),
         {Allow(kAccount, full), Allow(core::kSystemSid, full), Allow(core::kAdministratorsSid, full)}},
    };
    for (const Case& c : cases) EXPECT_EQ(core::StoreEntries(c.rule), c.entries) << c.name;
    EXPECT_EQ(core::MachineRule(true).owner, core::kAdministratorsSid);
    EXPECT_EQ(core::AccountRule(kAccount).owner, kAccount);
}

TEST(StoreAccess, AFolderAnotherAccountMadeOrMayChangeIsNotTrusted) {
    const ACCESS_MASK full = core::kFullControl, read = core::kReadAndExecute;
    const core::StoreRule machine = core::MachineRule(true), backups = core::MachineRule(false),
                         account = core::AccountRule(kAccount);
    const std::vector<AccessEntry> own = core::StoreEntries(machine);
    const auto with = [&own](std::vector<AccessEntry> extra) {
        std::vector<AccessEntry> entries = own;
        entries.insert(entries.end(), extra.begin(), extra.end());
        return entries;
    };
    struct Case {
        const char* name;
        core::ObjectSecurity found;
        core::StoreRule rule;
        ACCESS_MASK othersMay;
        Verdict verdict;
    };
    const std::vector<Case> cases = {
        {"made by the program", {core::kAdministratorsSid, true, true, own}, machine, read, Verdict::Use},
        {"owned by SYSTEM", {core::kSystemSid, true, true, own}, machine, read, Verdict::Use},
        {"entries in another order", {core::kAdministratorsSid, true, true, {own[2], own[0], own[1]}}, machine, read,
         Verdict::Use},
        {"generic rights for the same", {core::kAdministratorsSid, true, true,
          {Allow(core::kSystemSid, GENERIC_ALL), Allow(core::kAdministratorsSid, GENERIC_ALL),
           Allow(core::kUsersSid, GENERIC_READ | GENERIC_EXECUTE)}}, machine, read, Verdict::Use},
        {"owned by a user", {kOtherAccount, true, true, own}, machine, read, Verdict::Untrusted},
        {"owned by Users", {core::kUsersSid, true, true, own}, machine, read, Verdict::Untrusted},
        {"no owner read", {L"", true, true, own}, machine, read, Verdict::Untrusted},
        {"null DACL", {core::kAdministratorsSid, false, true, {}}, machine, read, Verdict::Untrusted},
        {"users may add files", {core::kAdministratorsSid, true, true, with({Allow(core::kUsersSid, FILE_ADD_FILE)})},
         machine, read, Verdict::Untrusted},
        {"users may write, generically", {core::kAdministratorsSid, true, true,
          with({Allow(core::kUsersSid, GENERIC_WRITE)})}, machine, read, Verdict::Untrusted},
        {"everyone may change its permissions", {core::kAdministratorsSid, true, true,
          with({Allow(kEveryone, WRITE_DAC, 0)})}, machine, read, Verdict::Untrusted},
        {"signed-in users may delete it", {core::kAdministratorsSid, true, true,
          with({Allow(kAuthenticatedUsers, DELETE, 0)})}, machine, read, Verdict::Untrusted},
        {"a creator's full control handed to what is made inside", {core::kAdministratorsSid, true, true,
          with({Allow(kCreatorOwner, GENERIC_ALL, kChildren | INHERIT_ONLY_ACE)})}, machine, read,
         Verdict::Untrusted},
        {"an entry that cannot be judged", {core::kAdministratorsSid, true, true,
          with({{AccessEntry::Kind::Other, L"", 0, 0}})}, machine, read, Verdict::Untrusted},
        {"inheriting from its parent", {core::kAdministratorsSid, true, false, own}, machine, read, Verdict::Rewrite},
        {"users read a folder of backups", {core::kAdministratorsSid, true, true, own}, backups, read,
         Verdict::Rewrite},
        {"users denied writing", {core::kAdministratorsSid, true, true,
          with({{AccessEntry::Kind::Deny, core::kUsersSid, FILE_GENERIC_WRITE, kChildren}})}, machine, read,
         Verdict::Rewrite},
        {"the lock file, users reading it", {core::kAdministratorsSid, true, true, own}, backups, 0,
         Verdict::Untrusted},
        {"the lock file, as made", {core::kAdministratorsSid, true, true, core::StoreEntries(backups)}, backups, 0,
         Verdict::Use},
        {"user store made by its account", {kAccount, true, true, core::StoreEntries(account)}, account, read,
         Verdict::Use},
        {"user store owned by another account", {kOtherAccount, true, true, core::StoreEntries(account)}, account,
         read, Verdict::Untrusted},
        {"user store another account may write", {kAccount, true, true,
          {Allow(kAccount, full), Allow(kOtherAccount, FILE_GENERIC_WRITE)}}, account, read, Verdict::Untrusted},
    };
    for (const Case& c : cases) EXPECT_EQ(core::Judge(c.found, c.rule, c.othersMay), c.verdict) << c.name;
}

// The folder a replaced install lies in is read when only SYSTEM, the
// administrators and TrustedInstaller may change it: as Program Files hands
// its entries down, or as the program made it; never rewritten.
TEST(StoreAccess, AnInstallFolderIsReadOnlyWhenOnlyTheAdministratorsMayChangeIt) {
    const ACCESS_MASK full = core::kFullControl, read = core::kReadAndExecute, modify = 0x1301bf;
    const BYTE inherited = INHERITED_ACE | kChildren, handedDown = INHERITED_ACE | kChildren | INHERIT_ONLY_ACE;
    // Program Files' entries as a folder made inside it inherits them.
    const std::vector<AccessEntry> programFiles = {
        Allow(core::kTrustedInstallerSid, full, inherited), Allow(core::kSystemSid, full, inherited),
        Allow(core::kAdministratorsSid, full, inherited), Allow(core::kUsersSid, read, inherited),
        Allow(kCreatorOwner, GENERIC_ALL, handedDown), Allow(kAllApplicationPackages, read, inherited)};
    const auto with = [&programFiles](std::vector<AccessEntry> extra) {
        std::vector<AccessEntry> entries = programFiles;
        entries.insert(entries.end(), extra.begin(), extra.end());
        return entries;
    };
    const struct {
        const char* name;
        core::ObjectSecurity found;
        bool trusted;
    } cases[] = {
        {"made by the installer, owned by the administrators", {core::kAdministratorsSid, true, false, programFiles},
         true},
        {"owned by SYSTEM", {core::kSystemSid, true, false, programFiles}, true},
        {"owned by TrustedInstaller", {core::kTrustedInstallerSid, true, false, programFiles}, true},
        {"with the machine store's entries", {core::kAdministratorsSid, true, true,
          core::StoreEntries(core::MachineRule(true))}, true},
        {"users denied writing", {core::kAdministratorsSid, true, false,
          with({{AccessEntry::Kind::Deny, core::kUsersSid, FILE_GENERIC_WRITE, kChildren}})}, true},
        {"owned by a user", {kAccount, true, false, programFiles}, false},
        {"owned by the creator placeholder", {kCreatorOwner, true, false, programFiles}, false},
        {"no owner read", {L"", true, false, programFiles}, false},
        {"null DACL", {core::kAdministratorsSid, false, false, {}}, false},
        {"users may modify it", {core::kAdministratorsSid, true, false, with({Allow(core::kUsersSid, modify)})},
         false},
        {"users may modify what is made inside",
         {core::kAdministratorsSid, true, false,
          with({Allow(core::kUsersSid, modify, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE)})}, false},
        {"signed-in users may add files", {core::kAdministratorsSid, true, false,
          with({Allow(kAuthenticatedUsers, FILE_ADD_FILE, 0)})}, false},
        {"everyone may change its permissions", {core::kAdministratorsSid, true, false,
          with({Allow(kEveryone, WRITE_DAC, 0)})}, false},
        {"the creator placeholder given rights on the folder itself", {core::kAdministratorsSid, true, false,
          with({Allow(kCreatorOwner, GENERIC_ALL, 0)})}, false},
        {"an entry that cannot be judged", {core::kAdministratorsSid, true, false,
          with({{AccessEntry::Kind::Other, L"", 0, 0}})}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(core::InstallFolderTrusted(c.found, core::InstallFolderRule()), c.trusted) << c.name;
}

TEST(StoreAccess, AnUntrustedFolderMovesAsideUnderItsNameAndTheTime) {
    const SYSTEMTIME time{2024, 3, 0, 7, 9, 5, 4, 12};
    EXPECT_EQ(core::UntrustedName(L"Orvane", time), L"Orvane.untrusted-20240307-090504-012");
}

constexpr char kWineKeepsNoFileSecurity[] =
    "Wine 8 keeps no security descriptor for a file or folder: it shows the Unix mode bits as entries for "
    "SYSTEM, the running account and Everyone. Owners and DACLs read back show only on Windows.";

// Each store's folders as made: owned by the rule's owner, protected, with
// exactly the rule's entries.
TEST(StoreFolders, AreMadeWithAProtectedDaclOfTheirRule) {
    const StoreParent parent;
    const std::wstring account = common::TokenAccountSid();
    ASSERT_FALSE(account.empty());
    struct Case {
        const wchar_t* name;
        core::StoreRule rule;
        std::wstring sddl;
    };
    const std::vector<Case> cases = {
        {L"machine", core::MachineRule(true), L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"},
        {L"backups", core::MachineRule(false), L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"},
        {L"account", core::AccountRule(account),
         L"O:" + account + L"D:P(A;OICI;FA;;;" + account + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"},
    };
    for (const Case& c : cases) {
        const core::StoreFolder folder = core::EnsureStoreFolder(parent.Path(), c.name, c.rule);
        ASSERT_TRUE(folder) << Narrow(folder.refusal);
        EXPECT_EQ(folder.path, parent / c.name);
        // Asked again, the same folder is used.
        EXPECT_EQ(core::EnsureStoreFolder(parent.Path(), c.name, c.rule).path, folder.path);
        EXPECT_TRUE(FoldersStarting(parent.Path(), std::wstring(c.name) + L".untrusted-").empty());
    }
    if (engine::RunningUnderWine()) GTEST_SKIP() << kWineKeepsNoFileSecurity;
    for (const Case& c : cases) EXPECT_EQ(SecurityText(parent / c.name), c.sddl) << Narrow(c.name);
}

// A folder that was there first is kept (renamed aside, with what it holds)
// and a new one made, when it is not the administrators'; one that is theirs
// but reads differently only gets the rule's entries.
TEST(StoreFolders, AFolderFoundThereIsUsedOnlyWhenTrusted) {
    if (engine::RunningUnderWine()) GTEST_SKIP() << kWineKeepsNoFileSecurity;
    const std::wstring account = common::TokenAccountSid();
    struct Case {
        const char* name;
        std::wstring planted;  // SDDL
        bool movedAside;
    };
    const std::vector<Case> cases = {
        {"owned by a user", L"O:" + account + L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
        {"users may write", L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", true},
        {"everyone, a null DACL", L"O:BAD:NO_ACCESS_CONTROL", true},
        {"inheriting, users reading", L"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", false},
    };
    for (const Case& c : cases) {
        const StoreParent parent;
        const std::wstring path = parent / L"Backups";
        ASSERT_TRUE(MakePlanted(path, c.planted)) << c.name;
        testsupport::WriteFile(path + L"\\planted.txt", "left by another account");

        const core::StoreFolder folder = core::EnsureStoreFolder(parent.Path(), L"Backups", core::MachineRule(false));
        ASSERT_TRUE(folder) << c.name << ": " << Narrow(folder.refusal);
        EXPECT_EQ(SecurityText(path), L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)") << c.name;
        ExpectMovedAside(parent, L"Backups", c.movedAside, c.name);
    }
}

// What Wine can show: a folder another Unix user may write (its mode bits,
// shown as Everyone's entry) is moved aside and made afresh.
TEST(StoreFolders, AFolderOthersMayWriteIsMovedAside) {
    if (!engine::RunningUnderWine()) GTEST_SKIP() << "Windows: the table of planted owners and DACLs shows it";
    const StoreParent parent;
    const std::wstring path = parent / L"Orvane";
    testsupport::MakeFolder(path);
    testsupport::WriteFile(path + L"\\planted.txt", "left by another account");
    ASSERT_TRUE(testsupport::RunShell("chmod 777 '" + testsupport::UnixPath(path) + "'"));

    const core::StoreFolder folder = core::EnsureStoreFolder(parent.Path(), L"Orvane", core::MachineRule(true));
    ASSERT_TRUE(folder) << Narrow(folder.refusal);
    ExpectMovedAside(parent, L"Orvane", true, "others may write");
    EXPECT_EQ(SecurityText(path).find(L"0x1301ff;;;WD"), std::wstring::npos) << SecurityText(path);
}

// A link in a store folder's place is neither used nor moved: under Wine a
// rename by handle would move what it leads to.
TEST(StoreFolders, ALinkInTheFoldersPlaceIsRefused) {
    const StoreParent parent;
    const TempDir elsewhere;
    testsupport::WriteFile(elsewhere / L"theirs.txt", "x");
    testsupport::LinuxLinks links;
    ASSERT_TRUE(links.Make(elsewhere.Path(), parent / L"Orvane"));

    const core::StoreFolder folder = core::EnsureStoreFolder(parent.Path(), L"Orvane", core::MachineRule(true));
    EXPECT_FALSE(folder);
    EXPECT_NE(folder.refusal.find(L"link"), std::wstring::npos);
    EXPECT_TRUE(FoldersStarting(parent.Path(), L"Orvane.untrusted-").empty());
    EXPECT_TRUE(Exists(elsewhere / L"theirs.txt"));
    EXPECT_TRUE(Exists(parent / L"Orvane\\theirs.txt"));
}

// The two stores where the system keeps machine and per-account data, each
// folder on the way made by its rule; removed again when the test made them.
TEST(StoreFolders, TheStoresLieInProgramDataAndTheAccountsLocalAppData) {
    const bool wine = engine::RunningUnderWine();
    const std::wstring account = common::TokenAccountSid();
    struct Case {
        const char* name;
        std::wstring root;
        core::StoreFolder (*open)();
        std::wstring sddl;
    };
    const std::vector<Case> cases = {
        {"machine", Known(FOLDERID_ProgramData), core::MachineStore,
         L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"},
        {"account", Known(FOLDERID_LocalAppData), core::UserStore,
         L"O:" + account + L"D:P(A;OICI;FA;;;" + account + L")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.root.empty()) << c.name;
        const std::wstring vendor = common::ResolvedFolder(c.root).value_or(c.root) + L"\\Quillmark";
        const bool existed = Exists(vendor);
        const core::StoreFolder store = c.open();
        ASSERT_TRUE(store) << c.name;
        EXPECT_EQ(store.path, vendor + L"\\Orvane") << c.name;
        if (!wine) {
            EXPECT_EQ(SecurityText(vendor), c.sddl) << c.name;
            EXPECT_EQ(SecurityText(store.path), c.sddl) << c.name;
        }
        if (!existed) testsupport::RemoveTree(vendor);
    }
    const std::wstring programData = common::ResolvedFolder(Known(FOLDERID_ProgramData)).value_or(L"");
    const bool existed = Exists(programData + L"\\Quillmark");
    const core::StoreFolder backups = core::MachineStoreFolder(L"Backups", false);
    ASSERT_TRUE(backups);
    EXPECT_EQ(backups.path, programData + L"\\Quillmark\\Orvane\\Backups");
    const std::wstring backupsSecurity = SecurityText(backups.path);
    if (!existed) testsupport::RemoveTree(programData + L"\\Quillmark");
    if (wine) GTEST_SKIP() << kWineKeepsNoFileSecurity;
    EXPECT_EQ(backupsSecurity, L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
}

}  // namespace
