// The seed database the build puts beside the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "db/scratch_database.h"

namespace {

using testsupport::ScratchDatabase;

std::wstring ShippedSeed() {
    // The suites run in the program's folder.
    wchar_t path[MAX_PATH];
    GetFullPathNameW(L"newupdate.db", MAX_PATH, path, nullptr);
    return path;
}

TEST(ShippedSeed, ImportsWholeWithUsableRecommendations) {
    const std::wstring shipped = ShippedSeed();
    ScratchDatabase database;
    ASSERT_TRUE(CopyFileW(shipped.c_str(), database.SeedFile().c_str(), FALSE));
    const auto count = std::stoul(testsupport::RunSql(shipped, "select count(*) from tbl_serversInitData")[0][0]);
    database.Restart();
    EXPECT_FALSE(testsupport::Exists(database.SeedFile()));

    std::vector<db::ServiceRecommendationRow> rows;
    ASSERT_TRUE(db::Database(db::Store::Machine).ReadServiceRecommendations(rows));
    ASSERT_EQ(rows.size(), count);
    EXPECT_GT(count, 100u);
    std::set<int> ids;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const db::ServiceRecommendationRow& row = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << row.id);
        EXPECT_TRUE(ids.insert(row.id).second);
        EXPECT_FALSE(row.servrName.empty());
        EXPECT_GE(row.suguestStatus, 0);
        EXPECT_LE(row.suguestStatus, 3);
        EXPECT_GE(row.forbitRate, 0);
        EXPECT_LE(row.forbitRate, 100);
        // The first matching row wins, so a row behind one that begins its
        // name would never be used.
        for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(row.servrName.starts_with(rows[j].servrName));
    }
    for (const int status : {0, 1, 2, 3})
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const auto& row) { return row.suguestStatus == status; }))
            << "no row with suggestion " << status;
}

}  // namespace
