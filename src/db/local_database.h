#pragma once
// LocalDatabase: the program's one SQLite connection, to "mydatabase.db" in
// the current directory, seeded with service recommendations from
// "newupdate.db" when the program starts. Used from the UI thread only.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "startup/startup_item.h"

struct sqlite3;

namespace db {

struct ServiceRecommendationRow {
    std::int32_t id = 0;
    std::wstring servrName;
    std::int32_t suguestStatus = 0;  // 0 maintain, 1 must open, 2 suggest opening, 3 suggest disabling
    std::int32_t forbitRate = 0;     // disable rate in percent; 0 shows no figure
    std::int32_t startTime = 0;
    std::int32_t categoty = 0;
    bool operator==(const ServiceRecommendationRow&) const = default;
};

// Name, date and time stay in the 8-bit form they are stored in.
struct ServiceOperationRow {
    std::int32_t id = 0;
    std::string servrName;
    std::int32_t oldStatus = 0;
    std::int32_t newStatus = 0;
    std::string data;  // DD/MM/YYYY
    std::string time;  // hh:mm:ss
    bool operator==(const ServiceOperationRow&) const = default;
};

struct OperationTimeTexts {
    std::string date;
    std::string time;
    bool operator==(const OperationTimeTexts&) const = default;
};
// The date and time texts of an operation log row for a local calendar time;
// null (time unknown) gives 00/00/0000 and -1:-1:-1.
OperationTimeTexts FormatOperationTime(const std::tm* local);

class LocalDatabase {
public:
    LocalDatabase() = default;
    ~LocalDatabase();
    LocalDatabase(const LocalDatabase&) = delete;
    LocalDatabase& operator=(const LocalDatabase&) = delete;

    // The start sequence: opens "mydatabase.db", creates its tables and
    // imports the rows of "newupdate.db", deleting the seed once all of them
    // are in. Closes an earlier connection first.
    void Open();
    void Close();
    bool IsOpen() const { return connection_ != nullptr; }

    // Each answers whether its statement ran.
    bool ReadServiceRecommendations(std::vector<ServiceRecommendationRow>& rows) const;
    bool AddServiceOperation(std::wstring_view serviceName, int oldStatus, int newStatus);
    bool ReadServiceOperations(std::vector<ServiceOperationRow>& rows) const;
    bool DeleteServiceOperation(int id);
    bool ReadDisabledStartupItems(std::vector<startup::StartupItem>& items) const;
    // False, storing nothing, when a text has no exact form in the code page:
    // such a row could not give back the shortcut it stands for.
    bool AddDisabledStartupItem(const startup::StartupItem& item);
    bool RemoveDisabledStartupItem(const startup::StartupItem& item);

private:
    void Import(const std::vector<ServiceRecommendationRow>& rows);

    sqlite3* connection_ = nullptr;
};

// The process's database, opened by the program's entry file during static
// initialisation.
LocalDatabase& Database();

}  // namespace db
