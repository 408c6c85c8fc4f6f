#include "common/account_sid.h"
#include "db/local_database.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <regex>
#include <thread>

#include "db/scratch_database.h"

namespace {

// The machine store's database: the one that takes the seed.
db::LocalDatabase& Database() { return db::Database(db::Store::Machine); }
using db::ServiceRecommendationRow;
using testsupport::OverwritePage;
using testsupport::PageCount;
using testsupport::RunSql;
using testsupport::ScratchDatabase;
using testsupport::SqlRows;

constexpr const char* kSeedTable =
    "create table tbl_serversInitData (id integer primary key,servrName char NOT NULL,"
    "suguestStatus integer,forbitRate integer,startTime integer ,categoty integer);";

std::vector<ServiceRecommendationRow> Recommendations() {
    std::vector<ServiceRecommendationRow> rows;
    EXPECT_TRUE(Database().ReadServiceRecommendations(rows));
    return rows;
}

TEST(LocalDatabase, FirstStartCreatesTheThreeTablesAndAnEmptySeed) {
    const ScratchDatabase database;
    ASSERT_TRUE(Database().IsOpen());
    EXPECT_EQ(testsupport::ReadFile(database.SeedFile()), "");
    // SQLite keeps each table's statement as written, tabs included.
    const SqlRows schema = RunSql(database.WorkingFile(), "select name, sql from sqlite_master order by rowid");
    const SqlRows expected = {
        // The restored mark and the account are added to the tables as
        // earlier versions made them.
        {"tbl_serversOperation",
         "CREATE TABLE tbl_serversOperation (id integer primary key,servrName char NOT NULL,oldStatus integer,"
         "newStatus integer,data data ,time time, restored integer not null default 0, account TEXT)"},
        {"tbl_serversInitData",
         "CREATE TABLE tbl_serversInitData (id integer primary key,servrName char NOT NULL,suguestStatus integer,"
         "forbitRate integer,startTime integer ,categoty integer)"},
        {"tbl_startupinfo",
         "CREATE TABLE tbl_startupinfo (\t\t\tid integer primary key,\t\t\t\t\t\t\t\t\ticonPath TEXT,\t\t\t\t"
         "fileDescription TEXT,\t\t\tcompanyName TEXT,\t\t\tstrPath TEXT,\t\t\tstrName TEXT,\t\t\thKey integer,"
         "\t\t\tuFilePathFlag integer,\t\t\tbStatus integer)"},
        {"tbl_startupkept",
         "CREATE TABLE tbl_startupkept (id integer primary key,iconPath TEXT,fileDescription TEXT,companyName TEXT,"
         "strPath TEXT,strName TEXT,hKey integer,uFilePathFlag integer,valueType integer,content BLOB,data data,"
         "time time, account TEXT)"},
        {"tbl_registryclean",
         "CREATE TABLE tbl_registryclean (id integer primary key,stamp integer,backup TEXT,entries integer,"
         "restored integer, account TEXT)"},
        {"tbl_startupswitch",
         "CREATE TABLE tbl_startupswitch (id integer primary key,stamp integer,iconPath TEXT,fileDescription TEXT,"
         "strPath TEXT,strName TEXT,hKey integer,uFilePathFlag integer,bStatus integer,restored integer, account TEXT)"},
        {"tbl_downloadmove",
         "CREATE TABLE tbl_downloadmove (id integer primary key,stamp integer,target TEXT,restored integer, account TEXT)"},
        {"tbl_downloadsetting",
         "CREATE TABLE tbl_downloadsetting (move integer,key TEXT,value TEXT,existed integer,type integer,data BLOB)"},
        {"tbl_keeplist", "CREATE TABLE tbl_keeplist (id integer primary key,item TEXT,stamp integer)"},
        {"tbl_moveunderway",
         "CREATE TABLE tbl_moveunderway (id integer primary key,stamp integer,user TEXT,target TEXT,parts TEXT,"
         "settings integer)"},
        {"tbl_movemade",
         "CREATE TABLE tbl_movemade (move integer,path TEXT,source TEXT,size integer,written integer,volume integer,"
         "fileindex integer)"},
        {"tbl_keeplistloss",
         "CREATE TABLE tbl_keeplistloss (id integer primary key,stamp integer,aside TEXT,recovered integer)"},
    };
    EXPECT_EQ(schema, expected);
    std::vector<db::ServiceOperationRow> operations;
    std::vector<db::StartupItem> items;
    EXPECT_TRUE(Database().ReadServiceOperations(operations));
    EXPECT_TRUE(Database().ReadDisabledStartupItems(items));
    EXPECT_TRUE(operations.empty() && items.empty() && Recommendations().empty());
}

TEST(LocalDatabase, ImportsACompleteSeedOnceAndDeletesIt) {
    ScratchDatabase database;
    RunSql(database.SeedFile(), kSeedTable);
    RunSql(database.SeedFile(),
           "insert into tbl_serversInitData values (7, 'Foo', 3, 40, 5, 6), (9, 'O''Brien''s ''); drop table "
           "tbl_serversOperation; --', 1, 0, 5, 6), (12, 'Bar', 2, 10, NULL, NULL)");
    database.Restart();
    // startTime and categoty are not taken over.
    const std::vector<ServiceRecommendationRow> expected = {
        {7, L"Foo", 3, 40, 0, 0},
        {9, L"O'Brien's '); drop table tbl_serversOperation; --", 1, 0, 0, 0},
        {12, L"Bar", 2, 10, 0, 0},
    };
    EXPECT_EQ(Recommendations(), expected);
    EXPECT_FALSE(testsupport::Exists(database.SeedFile()));
    EXPECT_EQ(RunSql(database.WorkingFile(), "select count(*) from tbl_serversOperation"), SqlRows{{"0"}});
}

TEST(LocalDatabase, SeedsWithoutUsableRowsLeaveTheRecommendationsAlone) {
    struct Case {
        const char* name;
        const char* seedSql;
    };
    const Case cases[] = {
        {"no table", "create table other (x integer)"},
        {"empty table", kSeedTable},
        // Rows of another shape are skipped as they are read.
        {"seven columns",
         "create table tbl_serversInitData (id integer primary key,servrName char,suguestStatus integer,"
         "forbitRate integer,startTime integer,categoty integer,extra integer);"
         "insert into tbl_serversInitData values (1, 'Other', 1, 1, 0, 0, 0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDatabase database;
        RunSql(database.SeedFile(), kSeedTable);
        RunSql(database.SeedFile(), "insert into tbl_serversInitData values (1, 'Kept', 3, 20, 0, 0)");
        database.Restart();
        ASSERT_FALSE(testsupport::Exists(database.SeedFile()));
        RunSql(database.SeedFile(), c.seedSql);
        database.Restart();
        EXPECT_EQ(Recommendations(), (std::vector<ServiceRecommendationRow>{{1, L"Kept", 3, 20, 0, 0}}));
        EXPECT_TRUE(testsupport::Exists(database.SeedFile()));
    }
}

TEST(LocalDatabase, AnIncompleteImportKeepsItsRowsAndTheSeedForTheNextStart) {
    ScratchDatabase database;
    RunSql(database.SeedFile(),
           "create table tbl_serversInitData (id integer,servrName char,suguestStatus integer,forbitRate integer,"
           "startTime integer,categoty integer);"
           "insert into tbl_serversInitData values (1, 'First', 1, 5, 0, 0), (1, 'Second', 2, 6, 0, 0)");
    for (int start = 0; start < 2; ++start) {
        database.Restart();
        EXPECT_EQ(Recommendations(), (std::vector<ServiceRecommendationRow>{{1, L"First", 1, 5, 0, 0}}));
        EXPECT_TRUE(testsupport::Exists(database.SeedFile()));
    }
}

TEST(LocalDatabase, ServiceOperationsKeepQuotedNamesAndTheirTime) {
    const ScratchDatabase database;
    const std::wstring name = L"Svc'); delete from tbl_serversOperation; --";
    ASSERT_TRUE(Database().AddServiceOperation(name, 3, 4));
    ASSERT_TRUE(Database().AddServiceOperation(L"Other", 2, 4));
    std::vector<db::ServiceOperationRow> rows;
    ASSERT_TRUE(Database().ReadServiceOperations(rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].servrName, "Svc'); delete from tbl_serversOperation; --");
    EXPECT_EQ(rows[0].oldStatus, 3);
    EXPECT_EQ(rows[0].newStatus, 4);
    EXPECT_TRUE(std::regex_match(rows[0].data, std::regex(R"(\d\d/\d\d/\d{4})"))) << rows[0].data;
    EXPECT_TRUE(std::regex_match(rows[0].time, std::regex(R"(\d\d:\d\d:\d\d)"))) << rows[0].time;
    EXPECT_EQ(rows[1].servrName, "Other");

    ASSERT_TRUE(Database().DeleteServiceOperation(rows[0].id));
    rows.clear();
    ASSERT_TRUE(Database().ReadServiceOperations(rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].servrName, "Other");
}

// A service log an earlier version made has no restored mark: opened, the
// table gets it, its rows read as not restored, and each is marked once.
TEST(LocalDatabase, AnEarlierServiceLogGetsTheRestoredMarkAndKeepsItsRows) {
    ScratchDatabase database;
    Database().Close();
    ASSERT_TRUE(DeleteFileW(database.WorkingFile().c_str()));
    RunSql(database.WorkingFile(),
           "create table tbl_serversOperation (id integer primary key,servrName char NOT NULL,oldStatus integer,"
           "newStatus integer,data data ,time time);"
           "insert into tbl_serversOperation values (4, 'Old', 3, 4, '01/02/2020', '10:11:12'),"
           "(9, 'Other', 2, 3, '02/02/2020', '10:11:13')");
    const auto read = [] {
        std::vector<db::ServiceOperationRow> rows;
        EXPECT_TRUE(Database().ReadServiceOperations(rows));
        return rows;
    };
    database.Restart();
    EXPECT_EQ(read(), (std::vector<db::ServiceOperationRow>{{4, "Old", 3, 4, "01/02/2020", "10:11:12", false},
                                                            {9, "Other", 2, 3, "02/02/2020", "10:11:13", false}}));
    EXPECT_TRUE(Database().MarkServiceOperationRestored(4));
    EXPECT_FALSE(Database().MarkServiceOperationRestored(4));
    EXPECT_FALSE(Database().MarkServiceOperationRestored(5));
    const std::optional<std::int64_t> added = Database().AddServiceOperation(L"New", 4, 2);
    ASSERT_TRUE(added);

    // Opened again, the table is as it was left.
    database.Restart();
    const std::vector<db::ServiceOperationRow> rows = read();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].restored);
    EXPECT_FALSE(rows[1].restored);
    EXPECT_EQ(rows[2].id, *added);
    EXPECT_FALSE(rows[2].restored);
    // An earlier version's rows name no account; a new one names the account.
    EXPECT_FALSE(rows[0].account);
    EXPECT_EQ(rows[2].account, common::TokenAccountSid());
    EXPECT_EQ(RunSql(database.WorkingFile(), "select count(*) from pragma_table_info('tbl_serversOperation')"),
              SqlRows{{"8"}});
}

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    return local;
}

TEST(LocalDatabase, OperationTimeTexts) {
    struct Case {
        std::tm local;
        db::OperationTimeTexts texts;
    };
    const Case cases[] = {
        {LocalTime(2021, 3, 7, 9, 5, 3), {"07/03/2021", "09:05:03"}},
        {LocalTime(1999, 12, 31, 23, 59, 59), {"31/12/1999", "23:59:59"}},
    };
    for (const Case& c : cases) EXPECT_EQ(db::FormatOperationTime(&c.local), c.texts);
    EXPECT_EQ(db::FormatOperationTime(nullptr), (db::OperationTimeTexts{"00/00/0000", "-1:-1:-1"}));
}

// Rows that earlier versions stored for the shortcuts they deleted, texts in
// the code page, quotes and all.
TEST(LocalDatabase, RowsOfEarlierVersionsAreReadAndRemovedOneByOne) {
    const ScratchDatabase database;
    RunSql(database.WorkingFile(),
           "insert into tbl_startupinfo\t\t\t(iconPath ,fileDescription ,companyName ,strPath ,strName ,hKey,"
           "uFilePathFlag,bStatus) values\t\t\t('C:\\Startup\\It''s here.lnk'\t\t,'Caf\xe9 tool'\t\t\t,"
           "'O''Neil & Sons'\t\t,'C:\\Tools\\run.exe'\t\t,'It''s here.lnk'\t,0,0\t\t\t\t,1),"
           "('C:\\Startup\\It''s here.lnk', 'Twin', '', 'C:\\Tools\\run.exe', 'It''s here.lnk', 0, 0, 1)");
    std::vector<db::StartupItem> items;
    ASSERT_TRUE(Database().ReadDisabledStartupItems(items));
    ASSERT_EQ(items.size(), 2u);
    db::StartupItem expected;
    expected.iconPath = L"C:\\Startup\\It's here.lnk";
    expected.fileDescription = L"Caf\u00e9 tool";
    expected.companyName = L"O'Neil & Sons";
    expected.strPath = L"C:\\Tools\\run.exe";
    expected.strName = L"It's here.lnk";
    expected.bStatus = 1;
    expected.origin = db::StartupOrigin::OldRow;
    expected.rowId = 1;
    EXPECT_EQ(items[0].iconPath, expected.iconPath);
    EXPECT_EQ(items[0].fileDescription, expected.fileDescription);
    EXPECT_EQ(items[0].companyName, expected.companyName);
    EXPECT_EQ(items[0].strPath, expected.strPath);
    EXPECT_EQ(items[0].strName, expected.strName);
    EXPECT_EQ(items[0], expected);
    EXPECT_EQ(items[1].rowId, 2);

    // Its own row only, although the twin names the same file.
    ASSERT_TRUE(Database().RemoveDisabledStartupItem(items[0].rowId));
    EXPECT_FALSE(Database().RemoveDisabledStartupItem(items[0].rowId));
    items.clear();
    ASSERT_TRUE(Database().ReadDisabledStartupItems(items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].fileDescription, L"Twin");
}

TEST(LocalDatabase, KeptEntriesComeBackExactly) {
    const ScratchDatabase database;
    db::KeptEntry value;
    value.item.iconPath = L"C:\\\x7A0B\x5E8F\\tool.exe";  // beyond the code page
    value.item.fileDescription = L"Tool'); drop table tbl_startupkept; --";
    value.item.companyName = L"\U0001F600 Maker";
    value.item.strPath = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
    value.item.strName = L"Tool";
    value.item.hKey = HKEY_LOCAL_MACHINE;
    value.item.uFilePathFlag = 1;
    value.valueType = REG_EXPAND_SZ;
    value.content = {'%', 0, 'x', 0, 0, 0, 0, 0, 0xFF};
    db::KeptEntry shortcut;
    shortcut.item.iconPath = L"C:\\Startup\\Tool.lnk";
    shortcut.item.strName = L"Tool.lnk";
    shortcut.content.assign(70000, 0);
    for (std::size_t i = 0; i < shortcut.content.size(); ++i) shortcut.content[i] = static_cast<BYTE>(i * 7);

    const std::optional<std::int64_t> first = Database().AddKeptStartupEntry(value);
    const std::optional<std::int64_t> second = Database().AddKeptStartupEntry(shortcut);
    ASSERT_TRUE(first && second);
    std::vector<db::KeptEntry> entries;
    ASSERT_TRUE(Database().ReadKeptStartupEntries(entries));
    ASSERT_EQ(entries.size(), 2u);
    value.id = *first;
    shortcut.id = *second;
    for (db::KeptEntry* expected : {&value, &shortcut}) {
        db::KeptEntry& read = entries[expected == &value ? 0 : 1];
        EXPECT_TRUE(std::regex_match(read.date, std::regex(R"(\d\d/\d\d/\d{4})"))) << read.date;
        expected->date = read.date;
        expected->time = read.time;
        expected->account = common::TokenAccountSid();
        EXPECT_EQ(read, *expected);
    }

    // A lone surrogate would not come back as it went in.
    db::KeptEntry broken = shortcut;
    broken.item.strName = L"broken \xD800.lnk";
    EXPECT_FALSE(Database().AddKeptStartupEntry(broken));
    ASSERT_TRUE(Database().RemoveKeptStartupEntry(*first));
    EXPECT_FALSE(Database().RemoveKeptStartupEntry(*first));
    entries.clear();
    ASSERT_TRUE(Database().ReadKeptStartupEntries(entries));
    EXPECT_EQ(entries.size(), 1u);
}

TEST(LocalDatabase, EveryOperationFailsWithoutAConnection) {
    const ScratchDatabase database;
    Database().Close();
    std::vector<db::ServiceOperationRow> operations;
    std::vector<db::StartupItem> items;
    std::vector<ServiceRecommendationRow> recommendations;
    EXPECT_FALSE(Database().ReadServiceRecommendations(recommendations));
    EXPECT_FALSE(Database().AddServiceOperation(L"Svc", 3, 4));
    EXPECT_FALSE(Database().ReadServiceOperations(operations));
    EXPECT_FALSE(Database().DeleteServiceOperation(1));
    EXPECT_FALSE(Database().ReadDisabledStartupItems(items));
    EXPECT_FALSE(Database().RemoveDisabledStartupItem(1));
    std::vector<db::KeptEntry> kept;
    EXPECT_FALSE(Database().AddKeptStartupEntry(db::KeptEntry{}));
    EXPECT_FALSE(Database().ReadKeptStartupEntries(kept));
    EXPECT_FALSE(Database().RemoveKeptStartupEntry(1));
    std::vector<db::KeepItemRow> keepList;
    EXPECT_FALSE(Database().AddKeepItem(L"C:\\a"));
    EXPECT_FALSE(Database().ReadKeepList(keepList));
    EXPECT_FALSE(Database().RemoveKeepItem(1));
}

// The keep list's rows: texts beyond the code page come back exactly, in the
// order they were kept; one is removed once.
// A store this process may only read (the machine's, without elevation): a
// database there is read and never written; where none was ever made, the
// store reads as empty and takes no writes either.
TEST(LocalDatabase, AReadOnlyStoreIsReadAndNeverWritten) {
    const ScratchDatabase database;
    ASSERT_TRUE(Database().AddKeepItem(L"C:\\kept"));
    const std::wstring never = database.Folder() / L"never";
    for (const std::wstring& folder : {database.Folder().Path(), never}) {
        SCOPED_TRACE(engine::Utf8FromWide(folder));
        db::LocalDatabase& store = db::Database(db::Store::User);
        store.OpenReadOnly(folder + L"\\", L"S-1-5-21-1-2-3-1001");
        ASSERT_TRUE(store.IsOpen());
        std::vector<db::KeepItemRow> rows;
        ASSERT_TRUE(store.ReadKeepList(rows));
        EXPECT_EQ(rows.size(), folder == never ? 0u : 1u);
        EXPECT_FALSE(store.AddKeepItem(L"C:\\more"));
        EXPECT_FALSE(store.AddServiceOperation(L"Svc", 3, 4));
        EXPECT_FALSE(store.AddRegistryClean(L"C:\\x.reg"));
        store.Close();
    }
    EXPECT_EQ(RunSql(database.WorkingFile(), "select item from tbl_keeplist"), SqlRows{{"C:\\kept"}});
    EXPECT_FALSE(testsupport::Exists(never + L"\\mydatabase.db"));
}

TEST(LocalDatabase, KeepListRowsComeBackExactly) {
    const ScratchDatabase database;
    const std::wstring texts[] = {L"C:\\\x7A0B\x5E8F\\x'); drop table tbl_keeplist; --", L"HKEY_CURRENT_USER\\Software\\X"};
    const std::optional<std::int64_t> first = Database().AddKeepItem(texts[0]);
    const std::optional<std::int64_t> second = Database().AddKeepItem(texts[1]);
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(Database().AddKeepItem(L"C:\\broken \xD800"));
    std::vector<db::KeepItemRow> rows;
    ASSERT_TRUE(Database().ReadKeepList(rows));
    EXPECT_EQ(rows, (std::vector<db::KeepItemRow>{{*first, texts[0]}, {*second, texts[1]}}));
    ASSERT_TRUE(Database().RemoveKeepItem(*first));
    EXPECT_FALSE(Database().RemoveKeepItem(*first));
    rows.clear();
    ASSERT_TRUE(Database().ReadKeepList(rows));
    EXPECT_EQ(rows, (std::vector<db::KeepItemRow>{{*second, texts[1]}}));
}

// A worker records its journal rows while the UI thread writes its own: the
// id each write answers is the id of the row it wrote.
TEST(LocalDatabase, WritersOnTwoThreadsEachGetTheirOwnRowsId) {
    const ScratchDatabase database;
    constexpr int kRows = 150;
    std::vector<std::int64_t> moves(kRows), kept(kRows);
    std::thread worker([&moves] {
        for (int i = 0; i < kRows; ++i)
            moves[i] = Database().AddDownloadMove(L"D:\\move " + std::to_wstring(i), {}).value_or(-1);
    });
    for (int i = 0; i < kRows; ++i) kept[i] = Database().AddKeepItem(L"C:\\kept " + std::to_wstring(i)).value_or(-1);
    worker.join();

    std::vector<db::DownloadMoveRow> moveRows;
    std::vector<db::KeepItemRow> keepRows;
    ASSERT_TRUE(Database().ReadDownloadMoves(moveRows));
    ASSERT_TRUE(Database().ReadKeepList(keepRows));
    ASSERT_EQ(moveRows.size(), static_cast<std::size_t>(kRows));
    ASSERT_EQ(keepRows.size(), static_cast<std::size_t>(kRows));
    for (const db::DownloadMoveRow& row : moveRows) {
        const int i = std::stoi(row.target.substr(7));
        EXPECT_EQ(moves[i], row.id) << i;
    }
    for (const db::KeepItemRow& row : keepRows) {
        const int i = std::stoi(row.text.substr(8));
        EXPECT_EQ(kept[i], row.id) << i;
    }
}

TEST(LocalDatabase, IntegrityCheckAnswers) {
    struct Case {
        int code;
        const char* firstRow;
        db::DatabaseState state;
    };
    const Case cases[] = {
        {SQLITE_OK, "ok", db::DatabaseState::Usable},
        {SQLITE_OK, "*** in database main ***", db::DatabaseState::Unreadable},
        {SQLITE_NOTADB, "", db::DatabaseState::Unreadable},
        {SQLITE_CORRUPT, "", db::DatabaseState::Unreadable},
        {SQLITE_CORRUPT_VTAB, "", db::DatabaseState::Unreadable},
        {SQLITE_BUSY, "", db::DatabaseState::Unavailable},
        {SQLITE_LOCKED, "", db::DatabaseState::Unavailable},
        {SQLITE_IOERR_READ, "", db::DatabaseState::Unavailable},
        {SQLITE_CANTOPEN, "", db::DatabaseState::Unavailable},
    };
    for (const Case& c : cases) EXPECT_EQ(db::ClassifyCheck(c.code, c.firstRow), c.state) << c.code;
}

// A database file that cannot be read is kept under another name (with its
// journal) and a fresh one takes its place, seeded like a first start.
TEST(LocalDatabase, AnUnreadableDatabaseIsSetAsideAndAFreshOneSeeded) {
    const auto damaged = [](const std::wstring& file) {
        // A database whose table pages were overwritten behind SQLite's back.
        RunSql(file, "create table t (x text); insert into t values (hex(randomblob(3000)));");
        std::string bytes = testsupport::ReadFile(file);
        for (std::size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0xA5);
        testsupport::WriteFile(file, bytes);
    };
    const auto text = [](const std::wstring& file) { testsupport::WriteFile(file, std::string(5000, 'x')); };
    const std::pair<const char*, std::function<void(const std::wstring&)>> cases[] = {
        {"not a database", text}, {"damaged pages", damaged}};
    for (const auto& [name, spoil] : cases) {
        SCOPED_TRACE(name);
        ScratchDatabase database;
        Database().Close();
        spoil(database.WorkingFile());
        const std::string spoiled = testsupport::ReadFile(database.WorkingFile());
        testsupport::WriteFile(database.WorkingFile() + L"-journal", "a journal of the damaged file");
        RunSql(database.SeedFile(), kSeedTable);
        RunSql(database.SeedFile(), "insert into tbl_serversInitData values (3, 'Seeded', 2, 15, 0, 0)");

        database.Restart();
        ASSERT_TRUE(Database().IsOpen());
        EXPECT_EQ(Recommendations(), (std::vector<ServiceRecommendationRow>{{3, L"Seeded", 2, 15, 0, 0}}));
        EXPECT_TRUE(Database().AddServiceOperation(L"Svc", 3, 4));
        EXPECT_FALSE(testsupport::Exists(database.WorkingFile() + L"-journal"));
        // The old file, byte for byte.
        std::vector<std::wstring> aside;
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((database.Folder() / L"mydatabase.unreadable-*.db").c_str(), &found);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do aside.push_back(database.Folder() / found.cFileName);
        while (FindNextFileW(find, &found));
        FindClose(find);
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(testsupport::ReadFile(aside[0]), spoiled);
    }
}

// Another program holding the database: a statement waits for it a while,
// and fails, reported as such, when it stays locked. A locked database is
// never taken for a damaged one.
TEST(LocalDatabase, ALockedDatabaseIsWaitedForThenReportedAsAFailure) {
    ScratchDatabase database;
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open16(database.WorkingFile().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);

    // Released while the statement waits: it goes through.
    std::thread release([holder] {
        Sleep(300);
        sqlite3_exec(holder, "COMMIT;", nullptr, nullptr, nullptr);
    });
    EXPECT_TRUE(Database().AddServiceOperation(L"Waited", 3, 4));
    release.join();

    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(Database().AddServiceOperation(L"Refused", 3, 4));
    EXPECT_GE(GetTickCount() - start, static_cast<DWORD>(db::LocalDatabase::kBusyMilliseconds) - 100);
    // Opening meanwhile keeps the file where it is.
    database.Restart();
    EXPECT_FALSE(Database().AddServiceOperation(L"Refused", 3, 4));
    sqlite3_exec(holder, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(holder);

    std::vector<db::ServiceOperationRow> rows;
    ASSERT_TRUE(Database().ReadServiceOperations(rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].servrName, "Waited");
}

// Every row of the user's own tables, read through the program.
struct UserRows {
    std::vector<db::KeepItemRow> keep;
    std::vector<db::KeptEntry> kept;
    std::vector<db::StartupItem> deleted;
    std::vector<db::RegistryCleanRow> cleans;
    std::vector<db::StartupSwitchRow> switches;
    std::vector<db::DownloadMoveRow> moves;
    std::vector<db::ServiceOperationRow> services;
    bool operator==(const UserRows&) const = default;
};

UserRows ReadUserRows() {
    UserRows rows;
    EXPECT_TRUE(Database().ReadKeepList(rows.keep));
    EXPECT_TRUE(Database().ReadKeptStartupEntries(rows.kept));
    EXPECT_TRUE(Database().ReadDisabledStartupItems(rows.deleted));
    EXPECT_TRUE(Database().ReadRegistryCleans(rows.cleans));
    EXPECT_TRUE(Database().ReadStartupSwitches(rows.switches));
    EXPECT_TRUE(Database().ReadDownloadMoves(rows.moves));
    EXPECT_TRUE(Database().ReadServiceOperations(rows.services));
    return rows;
}

// A database that fails its check while the user's own rows still read: every
// row of the keep list, of the startup entries kept and of the undo records
// comes back exactly, ids included, and the start tells it once.
TEST(LocalDatabase, ASetAsideDatabaseGivesBackEveryUserRowThatStillReads) {
    ScratchDatabase database;
    ASSERT_TRUE(Database().AddKeepItem(L"C:\\kept\\one.tmp"));
    ASSERT_TRUE(Database().AddKeepItem(L"HKEY_CURRENT_USER\\Software\\\x7A0B\x5E8F"));
    db::KeptEntry entry;
    entry.item.iconPath = L"C:\\Startup\\Tool.lnk";
    entry.item.strName = L"Tool.lnk";
    entry.content = {1, 0, 0xFF, 2};
    ASSERT_TRUE(Database().AddKeptStartupEntry(entry));
    RunSql(database.WorkingFile(), "insert into tbl_startupinfo(iconPath,strName,hKey,uFilePathFlag,bStatus) "
                                   "values('C:\\Startup\\Old.lnk','Old.lnk',0,0,1)");
    ASSERT_TRUE(Database().AddRegistryClean(L"C:\\Backups\\clean.reg"));
    db::StartupItem switched;
    switched.strPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    switched.strName = L"Tool";
    switched.hKey = HKEY_CURRENT_USER;
    switched.uFilePathFlag = 1;
    switched.bStatus = 1;
    ASSERT_TRUE(Database().AddStartupSwitch(switched));
    ASSERT_TRUE(Database().AddDownloadMove(
        L"D:\\Downloads", {{L"Software\\X", L"Set", common::RegistryValue{REG_SZ, {'C', 0, 0, 0}}}, {L"Software\\X", L"Unset", {}}}));
    ASSERT_TRUE(Database().AddServiceOperation(L"Svc", 2, 4));
    const UserRows before = ReadUserRows();
    Database().Close();
    // The damage hits a table of no interest to the user.
    RunSql(database.WorkingFile(), "create table filler (x text); insert into filler values (hex(randomblob(1000)));");
    OverwritePage(database.WorkingFile(), testsupport::RootPage(database.WorkingFile(), "filler"));
    const std::string damaged = testsupport::ReadFile(database.WorkingFile());

    database.Restart();
    ASSERT_TRUE(Database().IsOpen());
    EXPECT_EQ(ReadUserRows(), before);
    const std::optional<db::DatabaseRecovery> recovery = Database().TakeRecovery();
    ASSERT_TRUE(recovery);
    EXPECT_EQ(recovery->keepList, (db::RecoveredPart{2, true}));
    EXPECT_EQ(recovery->startupKept, (db::RecoveredPart{2, true}));
    // The clean, the switch, the move and its two settings, the service change.
    EXPECT_EQ(recovery->undo, (db::RecoveredPart{6, true}));
    EXPECT_EQ(testsupport::ReadFile(recovery->aside), damaged);
    EXPECT_FALSE(Database().TakeRecovery());
    db::KeepListRead read;
    ASSERT_TRUE(Database().ReadKeepListState(read));
    EXPECT_FALSE(read.loss);
    EXPECT_EQ(read.rows, before.keep);
    // The fresh file is sound: the next start sets nothing aside.
    database.Restart();
    EXPECT_FALSE(Database().TakeRecovery());
}

// A keep list that does not come back whole (nothing reads past an
// overwritten header; a damaged page costs the rows on it, those before and
// after it come back) is recorded as lost, with what could be read, until the
// user confirms it.
TEST(LocalDatabase, AKeepListThatDoesNotComeBackWholeIsLostUntilConfirmed) {
    constexpr int kRows = 24;
    const auto keepText = [](int i) { return L"C:\\kept\\" + std::to_wstring(i) + L"\\" + std::wstring(900, L'k'); };
    const struct {
        const char* what;
        bool someRead;
    } cases[] = {{"overwritten header", false}, {"a damaged page of the keep list", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDatabase database;
        std::int64_t middlePage = 0;
        for (int i = 0; i < kRows; ++i) {
            ASSERT_TRUE(Database().AddKeepItem(keepText(i)));
            // The page that the rows in the middle went to last.
            if (i == kRows / 2) middlePage = PageCount(database.WorkingFile());
        }
        Database().Close();
        if (c.someRead) {
            OverwritePage(database.WorkingFile(), middlePage);
        } else {
            std::string bytes = testsupport::ReadFile(database.WorkingFile());
            bytes.replace(0, 100, 100, 'x');
            testsupport::WriteFile(database.WorkingFile(), bytes);
        }

        database.Restart();
        const std::optional<db::DatabaseRecovery> recovery = Database().TakeRecovery();
        ASSERT_TRUE(recovery);
        EXPECT_FALSE(recovery->keepList.whole);
        db::KeepListRead read;
        ASSERT_TRUE(Database().ReadKeepListState(read));
        ASSERT_TRUE(read.loss);
        EXPECT_EQ(read.loss->aside, recovery->aside);
        EXPECT_EQ(read.loss->recovered, recovery->keepList.rows);
        EXPECT_EQ(static_cast<std::int64_t>(read.rows.size()), recovery->keepList.rows);
        if (c.someRead) {
            ASSERT_GE(read.rows.size(), 2u);
            EXPECT_LT(read.rows.size(), static_cast<std::size_t>(kRows));
            EXPECT_EQ(read.rows.front(), (db::KeepItemRow{1, keepText(0)}));
            EXPECT_EQ(read.rows.back(), (db::KeepItemRow{kRows, keepText(kRows - 1)}));
            for (const db::KeepItemRow& row : read.rows) EXPECT_EQ(row.text, keepText(static_cast<int>(row.id - 1)));
        } else {
            EXPECT_TRUE(read.rows.empty());
        }

        EXPECT_EQ(Database().ConfirmKeepListLoss(), std::optional<std::int64_t>(1));
        EXPECT_EQ(Database().ConfirmKeepListLoss(), std::optional<std::int64_t>(0));
        db::KeepListRead confirmed;
        ASSERT_TRUE(Database().ReadKeepListState(confirmed));
        EXPECT_FALSE(confirmed.loss);
    }
}

}  // namespace
