#include "db/local_database.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "db/scratch_database.h"

namespace {

using db::Database;
using db::ServiceRecommendationRow;
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
        {"tbl_serversOperation",
         "CREATE TABLE tbl_serversOperation (id integer primary key,servrName char NOT NULL,oldStatus integer,"
         "newStatus integer,data data ,time time)"},
        {"tbl_serversInitData",
         "CREATE TABLE tbl_serversInitData (id integer primary key,servrName char NOT NULL,suguestStatus integer,"
         "forbitRate integer,startTime integer ,categoty integer)"},
        {"tbl_startupinfo",
         "CREATE TABLE tbl_startupinfo (\t\t\tid integer primary key,\t\t\t\t\t\t\t\t\ticonPath TEXT,\t\t\t\t"
         "fileDescription TEXT,\t\t\tcompanyName TEXT,\t\t\tstrPath TEXT,\t\t\tstrName TEXT,\t\t\thKey integer,"
         "\t\t\tuFilePathFlag integer,\t\t\tbStatus integer)"},
    };
    EXPECT_EQ(schema, expected);
    std::vector<db::ServiceOperationRow> operations;
    std::vector<startup::StartupItem> items;
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

TEST(LocalDatabase, DisabledStartupItemsComeBackAsStored) {
    const ScratchDatabase database;
    startup::StartupItem item;
    item.iconPath = L"C:\\Users\\O'Neil\\Start Menu\\Programs\\Startup\\It's here.lnk";
    item.fileDescription = L"Tool'); drop table tbl_startupinfo; --";
    item.companyName = L"O'Neil & Sons";
    item.strPath = L"C:\\Tools\\run.exe";
    item.strName = L"It's here.lnk";
    item.bStatus = 1;
    startup::StartupItem other = item;
    other.iconPath = L"C:\\Startup\\Other.lnk";
    other.strName = L"Other.lnk";
    ASSERT_TRUE(Database().AddDisabledStartupItem(item));
    ASSERT_TRUE(Database().AddDisabledStartupItem(other));
    std::vector<startup::StartupItem> items;
    ASSERT_TRUE(Database().ReadDisabledStartupItems(items));
    EXPECT_EQ(items, (std::vector<startup::StartupItem>{item, other}));

    ASSERT_TRUE(Database().RemoveDisabledStartupItem(item));
    items.clear();
    ASSERT_TRUE(Database().ReadDisabledStartupItems(items));
    EXPECT_EQ(items, std::vector<startup::StartupItem>{other});
}

TEST(LocalDatabase, AStartupItemTheCodePageCannotHoldIsNotStored) {
    const ScratchDatabase database;
    startup::StartupItem item;
    item.iconPath = L"C:\\Startup\\broken \xD800.lnk";  // no code page holds a lone surrogate
    item.strName = L"broken \xD800.lnk";
    item.bStatus = 1;
    EXPECT_FALSE(Database().AddDisabledStartupItem(item));
    EXPECT_EQ(RunSql(database.WorkingFile(), "select count(*) from tbl_startupinfo"), SqlRows{{"0"}});
}

TEST(LocalDatabase, EveryOperationFailsWithoutAConnection) {
    const ScratchDatabase database;
    Database().Close();
    std::vector<db::ServiceOperationRow> operations;
    std::vector<startup::StartupItem> items;
    std::vector<ServiceRecommendationRow> recommendations;
    EXPECT_FALSE(Database().ReadServiceRecommendations(recommendations));
    EXPECT_FALSE(Database().AddServiceOperation(L"Svc", 3, 4));
    EXPECT_FALSE(Database().ReadServiceOperations(operations));
    EXPECT_FALSE(Database().DeleteServiceOperation(1));
    EXPECT_FALSE(Database().ReadDisabledStartupItems(items));
    EXPECT_FALSE(Database().AddDisabledStartupItem(startup::StartupItem{}));
    EXPECT_FALSE(Database().RemoveDisabledStartupItem(startup::StartupItem{}));
}

}  // namespace
