#include "db/legacy_migration.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "db/local_database.h"
#include "db/scratch_database.h"
#include "support/earlier_database.h"

namespace {

using db::MigrationResult;
using db::RowStore;
using testsupport::EarlierDatabase;
using testsupport::RunSql;
using testsupport::SqlRows;

constexpr std::int64_t kCurrentUser = -2147483647;
constexpr std::int64_t kLocalMachine = -2147483646;

struct StoreCase {
    const char* name;
    std::int64_t hive;
    const wchar_t* shortcut;
    const wchar_t* userStartup;
    RowStore expected;
};

TEST(LegacyMigration, StartupRowsGoToTheStoreOfWhatTheyChanged) {
    const wchar_t* startup = L"C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    const StoreCase cases[] = {
        {"the user's Run value", kCurrentUser, L"C:\\a.exe", startup, RowStore::User},
        {"the machine's Run value", kLocalMachine, L"C:\\a.exe", startup, RowStore::Machine},
        {"a shortcut of the user's Startup folder, another case",
         0, L"c:\\users\\ANN\\appdata\\roaming\\microsoft\\windows\\start menu\\programs\\startup\\a.lnk", startup,
         RowStore::User},
        {"a shortcut of the all-users Startup folder", 0,
         L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\a.lnk", startup, RowStore::Machine},
        {"a folder whose name only begins like the user's", 0,
         L"C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup2\\a.lnk", startup,
         RowStore::Machine},
        {"the folder itself", 0, startup, startup, RowStore::Machine},
        {"no Startup folder known", 0, L"C:\\a.lnk", L"", RowStore::Machine},
    };
    for (const StoreCase& row : cases)
        EXPECT_EQ(db::StartupRowStore(row.hive, row.shortcut, row.userStartup), row.expected) << row.name;
}

TEST(LegacyMigration, TheOldFileIsNamedByTheTimeOfTheMigration) {
    const SYSTEMTIME time{2026, 1, 0, 2, 3, 4, 5, 678};
    EXPECT_EQ(db::MigratedName(time, 0), L"mydatabase.migrated-20260102-030405.db");
    EXPECT_EQ(db::MigratedName(time, 2), L"mydatabase.migrated-20260102-030405-2.db");
}

// A program folder with an earlier version's database, and the two stores,
// each in a folder of its own.
class Migration : public testing::Test {
protected:
    void SetUp() override {
        testsupport::MakeFolder(startup_);
        testsupport::MakeEarlierDatabase(Legacy(), startup_, program_ / L"Backups\\old.reg");
    }

    std::wstring Legacy() const { return program_ / L"mydatabase.db"; }
    db::MigrationPlaces Places() const {
        return {Legacy(), machine_ / L"mydatabase.db", user_ / L"mydatabase.db", startup_, L"S-1-5-21-9-9-9-500"};
    }
    // Every row of both stores, table by table, to show that nothing changed.
    SqlRows Everything() const {
        SqlRows all;
        for (const std::wstring& store : {Places().machine, Places().user})
            for (const char* table : {"tbl_serversOperation", "tbl_serversInitData", "tbl_startupinfo",
                                      "tbl_startupkept", "tbl_registryclean", "tbl_startupswitch", "tbl_downloadmove",
                                      "tbl_downloadsetting", "tbl_keeplist", "tbl_keeplistloss", "tbl_moveunderway",
                                      "tbl_movemade"})
                for (const std::vector<std::string>& row :
                     RunSql(store, (std::string("select '") + table + "', * from " + table).c_str()))
                    all.push_back(row);
        return all;
    }
    std::vector<std::wstring> ProgramFiles() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        const HANDLE search = FindFirstFileW((program_ / L"*").c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
        } while (FindNextFileW(search, &data));
        FindClose(search);
        return names;
    }

    testsupport::TempDir program_, machine_, user_, profile_;
    const std::wstring startup_ = profile_ / L"Startup";
};

TEST_F(Migration, EveryRowLandsInItsStoreReadableByTheProgramAndTheOldFileIsRenamed) {
    // The account's store has a move of its own: the old ids are taken.
    db::LocalDatabase before;
    before.Open(user_.Path() + L"\\");
    ASSERT_TRUE(before.AddDownloadMove(L"D:\\Mine", {}));
    before.Close();

    const MigrationResult result = db::MigrateLegacyDatabase(Places());
    ASSERT_EQ(result.kind, MigrationResult::Kind::Migrated) << engine::Utf8FromWide(result.error);
    EXPECT_FALSE(testsupport::Exists(Legacy()));
    const std::vector<std::wstring> left = ProgramFiles();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(program_ / left[0], result.renamed);
    EXPECT_TRUE(left[0].starts_with(L"mydatabase.migrated-")) << engine::Utf8FromWide(left[0]);

    db::LocalDatabase machine, user;
    machine.Open(machine_.Path() + L"\\");
    user.Open(user_.Path() + L"\\");
    std::vector<db::ServiceOperationRow> operations;
    ASSERT_TRUE(machine.ReadServiceOperations(operations));
    ASSERT_EQ(operations.size(), 1u);
    EXPECT_EQ(operations[0].servrName, "QoOldService");
    EXPECT_FALSE(operations[0].restored);
    std::vector<db::ServiceRecommendationRow> recommendations;
    ASSERT_TRUE(machine.ReadServiceRecommendations(recommendations));
    EXPECT_EQ(recommendations, (std::vector<db::ServiceRecommendationRow>{{7, L"QoOldRecommended", 3, 40, 0, 1}}));
    std::vector<db::StartupItem> deleted;
    ASSERT_TRUE(machine.ReadDisabledStartupItems(deleted));
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].strName, L"Deleted.lnk");
    std::vector<db::RegistryCleanRow> cleans;
    ASSERT_TRUE(machine.ReadRegistryCleans(cleans));
    ASSERT_EQ(cleans.size(), 1u);
    EXPECT_EQ(cleans[0].backup, program_ / L"Backups\\old.reg");
    EXPECT_EQ(cleans[0].entries, 2);
    db::KeepListRead keep;
    ASSERT_TRUE(machine.ReadKeepListState(keep));
    ASSERT_EQ(keep.rows.size(), 2u);
    EXPECT_EQ(keep.rows[0].text, L"C:\\QoOld\\keep.txt");
    EXPECT_EQ(keep.rows[1].text, L"junk.temp");
    ASSERT_TRUE(keep.loss);
    EXPECT_EQ(keep.loss->recovered, 1);

    // Startup rows split by whose entry they changed.
    std::vector<db::StartupSwitchRow> machineSwitches, userSwitches;
    ASSERT_TRUE(machine.ReadStartupSwitches(machineSwitches));
    ASSERT_TRUE(user.ReadStartupSwitches(userSwitches));
    ASSERT_EQ(machineSwitches.size(), static_cast<std::size_t>(EarlierDatabase::kMachineSwitches));
    EXPECT_EQ(machineSwitches[0].item.strName, L"QoMachineRun");
    ASSERT_EQ(userSwitches.size(), static_cast<std::size_t>(EarlierDatabase::kUserSwitches));
    EXPECT_EQ(userSwitches[0].item.strName, L"QoOld.lnk");  // newest first
    EXPECT_EQ(userSwitches[1].item.strName, L"QoUserRun");
    EXPECT_EQ(userSwitches[1].item.hKey, HKEY_CURRENT_USER);
    std::vector<db::KeptEntry> machineKept, userKept;
    ASSERT_TRUE(machine.ReadKeptStartupEntries(machineKept));
    ASSERT_TRUE(user.ReadKeptStartupEntries(userKept));
    ASSERT_EQ(machineKept.size(), static_cast<std::size_t>(EarlierDatabase::kMachineKept));
    EXPECT_EQ(machineKept[0].item.strName, L"QoMachineKept");
    ASSERT_EQ(userKept.size(), static_cast<std::size_t>(EarlierDatabase::kUserKept));
    EXPECT_EQ(userKept[0].item.strName, L"QoUserKept");
    EXPECT_EQ(userKept[0].content, (std::vector<BYTE>{0x43, 0x00}));

    // The Downloads moves took new ids; their settings and the move under
    // way still name their own.
    std::vector<db::DownloadMoveRow> moves;
    ASSERT_TRUE(user.ReadDownloadMoves(moves));
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].target, L"D:\\Old\\Second");
    EXPECT_EQ(moves[1].target, L"D:\\Old\\First");
    EXPECT_EQ(moves[2].target, L"D:\\Mine");
    ASSERT_EQ(moves[1].settings.size(), 1u);
    EXPECT_EQ(moves[1].settings[0].value, L"{374DE290-123F-4565-9164-39C4925E467B}");
    ASSERT_EQ(moves[0].settings.size(), 1u);
    EXPECT_EQ(moves[0].settings[0].value, L"DownloadDirectory");
    EXPECT_FALSE(moves[0].settings[0].previous);
    std::vector<db::MoveUnderwayRow> underway;
    ASSERT_TRUE(user.ReadMovesUnderway(underway));
    ASSERT_EQ(underway.size(), 1u);
    EXPECT_EQ(underway[0].target, L"D:\\Old\\Underway");
    EXPECT_EQ(underway[0].settings, moves[0].id);
    ASSERT_EQ(underway[0].made.size(), 2u);
    EXPECT_EQ(underway[0].made[0].path, L"D:\\Old\\Underway\\a.txt");
    EXPECT_EQ(underway[0].made[1].index, 7);

    // Nothing of the machine's went into the account's store, or back.
    EXPECT_EQ(RunSql(Places().user, "select count(*) from tbl_registryclean")[0][0], "0");
    EXPECT_EQ(RunSql(Places().machine, "select count(*) from tbl_downloadmove")[0][0], "0");
    // The record names the old file and its new name.
    const SqlRows record = RunSql(Places().machine, "select source, renamed, account from tbl_migration");
    EXPECT_EQ(record, (SqlRows{{engine::Utf8FromWide(Legacy()), engine::Utf8FromWide(result.renamed),
                                "S-1-5-21-9-9-9-500"}}));
    machine.Close();
    user.Close();

    // A second start finds nothing to migrate and changes nothing.
    const SqlRows rows = Everything();
    EXPECT_EQ(db::MigrateLegacyDatabase(Places()).kind, MigrationResult::Kind::Nothing);
    EXPECT_EQ(Everything(), rows);
    EXPECT_EQ(ProgramFiles(), left);
}

// Ended after the commit and before the rename: the next start only renames.
TEST_F(Migration, AFileThatWasCopiedIsRenamedWithoutBeingCopiedAgain) {
    const MigrationResult first = db::MigrateLegacyDatabase(Places());
    ASSERT_EQ(first.kind, MigrationResult::Kind::Migrated) << engine::Utf8FromWide(first.error);
    // The same file back where it was, as a kill before the rename leaves it.
    ASSERT_TRUE(MoveFileW(first.renamed.c_str(), Legacy().c_str()));
    const SqlRows rows = Everything();
    const MigrationResult second = db::MigrateLegacyDatabase(Places());
    ASSERT_EQ(second.kind, MigrationResult::Kind::Migrated) << engine::Utf8FromWide(second.error);
    EXPECT_EQ(second.renamed, first.renamed);
    EXPECT_EQ(Everything(), rows);
    EXPECT_FALSE(testsupport::Exists(Legacy()));
}

// Another database put there later is another file: it is migrated too.
TEST_F(Migration, AnotherFileInItsPlaceIsMigratedAsWell) {
    ASSERT_EQ(db::MigrateLegacyDatabase(Places()).kind, MigrationResult::Kind::Migrated);
    testsupport::RunSql(Legacy(), "create table tbl_keeplist (id integer primary key,item TEXT,stamp integer);"
                                  "insert into tbl_keeplist values(1,'C:\\QoLater',1)");
    const MigrationResult later = db::MigrateLegacyDatabase(Places());
    ASSERT_EQ(later.kind, MigrationResult::Kind::Migrated) << engine::Utf8FromWide(later.error);
    EXPECT_EQ(RunSql(Places().machine, "select item from tbl_keeplist order by id"),
              (SqlRows{{"C:\\QoOld\\keep.txt"}, {"junk.temp"}, {"C:\\QoLater"}}));
    EXPECT_EQ(ProgramFiles().size(), 2u);
}

// A copy that fails part way leaves both stores as they were and the old
// file where it is, for the next start.
TEST_F(Migration, AFailedCopyCommitsNothingInEitherStore) {
    for (const testsupport::TempDir* store : {&machine_, &user_}) {
        db::LocalDatabase made;
        made.Open(store->Path() + L"\\");
    }
    // The account's store refuses the Downloads settings, which are copied
    // after the machine's rows.
    RunSql(Places().user, "create trigger refuse before insert on tbl_downloadsetting begin "
                          "select raise(abort, 'refused by the test'); end;");
    const SqlRows rows = Everything();
    const MigrationResult result = db::MigrateLegacyDatabase(Places());
    EXPECT_EQ(result.kind, MigrationResult::Kind::Failed);
    EXPECT_NE(result.error.find(L"refused by the test"), std::wstring::npos) << engine::Utf8FromWide(result.error);
    EXPECT_EQ(Everything(), rows);
    EXPECT_TRUE(testsupport::Exists(Legacy()));
    EXPECT_EQ(RunSql(Places().machine, "select count(*) from tbl_migration")[0][0], "0");

    RunSql(Places().user, "drop trigger refuse;");
    EXPECT_EQ(db::MigrateLegacyDatabase(Places()).kind, MigrationResult::Kind::Migrated);
    EXPECT_EQ(RunSql(Places().machine, "select count(*) from tbl_registryclean")[0][0], "1");
}

TEST_F(Migration, NoOldDatabaseIsNothingToDo) {
    ASSERT_TRUE(DeleteFileW(Legacy().c_str()));
    EXPECT_EQ(db::MigrateLegacyDatabase(Places()).kind, MigrationResult::Kind::Nothing);
    EXPECT_FALSE(testsupport::Exists(Places().machine));
}

}  // namespace
