// The decisions about the two stores, as tables: who may restore a row,
// which store keeps an item, and which backups a restore may read.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/keep_list.h"
#include "core/store_backups.h"
#include "db/row_access.h"

namespace {

using db::RowAccess;
using db::Store;

constexpr wchar_t kAdmin[] = L"S-1-5-21-1-2-3-500";
constexpr wchar_t kOther[] = L"S-1-5-21-1-2-3-1001";
constexpr wchar_t kSystem[] = L"S-1-5-18";

TEST(StoreRules, WhoMayRestoreARow) {
    const struct {
        const char* what;
        Store store;
        std::optional<std::wstring> row;
        const wchar_t* account;
        bool elevated;
        RowAccess expected;
    } cases[] = {
        {"own account's row", Store::User, kAdmin, kAdmin, true, RowAccess::Permitted},
        {"own row, SID in another letter case", Store::User, L"s-1-5-21-1-2-3-500", kAdmin, true,
         RowAccess::Permitted},
        {"another account's row", Store::User, kOther, kAdmin, true, RowAccess::OtherAccount},
        {"another administrator's machine change", Store::Machine, kOther, kAdmin, true, RowAccess::OtherAccount},
        {"SYSTEM's own row under SYSTEM", Store::Machine, kSystem, kSystem, true, RowAccess::Permitted},
        {"SYSTEM's row from an administrator", Store::User, kSystem, kAdmin, true, RowAccess::OtherAccount},
        {"an earlier version's row, elevated", Store::Machine, std::nullopt, kAdmin, true, RowAccess::Permitted},
        {"an earlier version's row, not elevated", Store::User, std::nullopt, kAdmin, false,
         RowAccess::NotPermitted},
        {"own machine row, not elevated", Store::Machine, kAdmin, kAdmin, false, RowAccess::NotPermitted},
        {"own user row, not elevated", Store::User, kAdmin, kAdmin, false, RowAccess::Permitted},
        {"a row when the account is unknown", Store::User, kAdmin, L"", true, RowAccess::OtherAccount},
    };
    for (const auto& c : cases)
        EXPECT_EQ(db::AccessToRow(c.store, c.row, c.account, c.elevated), c.expected) << c.what;
}

TEST(StoreRules, AnItemIsKeptInTheStoreOfWhatItLiesIn) {
    const std::wstring profile = L"C:\\users\\ann";
    const struct {
        const wchar_t* item;
        Store expected;
    } cases[] = {
        {L"HKEY_CURRENT_USER\\Software\\Tool", Store::User},
        {L"HKEY_CURRENT_USERS\\Software\\Tool", Store::Machine},
        {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Tool", Store::Machine},
        {L"HKEY_CLASSES_ROOT\\.tool", Store::Machine},
        {L"C:\\users\\ann\\AppData\\Local\\Temp\\x.tmp", Store::User},
        {L"c:\\USERS\\Ann\\x.tmp", Store::User},
        {L"C:\\users\\ann", Store::Machine},  // the profile itself is no item inside it
        {L"C:\\users\\anna\\x.tmp", Store::Machine},
        {L"C:\\Windows\\Temp\\x.tmp", Store::Machine},
    };
    for (const auto& c : cases) EXPECT_EQ(core::KeepStoreOf(c.item, profile), c.expected) << c.item;
    EXPECT_EQ(core::KeepStoreOf(L"C:\\x.tmp", L""), Store::Machine);
}

TEST(StoreRules, ABackupIsReadOnlyFromInsideItsFolders) {
    const std::vector<std::wstring> folders = {L"C:\\ProgramData\\Quillmark\\Orvane\\Backups"};
    const struct {
        const wchar_t* backup;
        bool inside;
    } cases[] = {
        {L"C:\\ProgramData\\Quillmark\\Orvane\\Backups\\2026-12-10_041500_123.reg", true},
        {L"c:\\programdata\\quillmark\\orvane\\backups\\a.reg", true},
        {L"C:\\ProgramData\\Quillmark\\Orvane\\Backups\\sub\\a.reg", false},
        {L"C:\\ProgramData\\Quillmark\\Orvane\\Backups2\\a.reg", false},
        {L"C:\\ProgramData\\Quillmark\\Orvane\\a.reg", false},
        {L"C:\\ProgramData\\Quillmark\\Orvane\\Backups\\", false},
        {L"C:\\Users\\Public\\a.reg", false},
        {L"a.reg", false},
    };
    for (const auto& c : cases) EXPECT_EQ(core::IsInsideFolders(c.backup, folders), c.inside) << c.backup;
    EXPECT_FALSE(core::IsInsideFolders(cases[0].backup, {}));
}

}  // namespace
