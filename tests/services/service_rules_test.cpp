// The decisions of the service manager, on values.
#include <gtest/gtest.h>
#include <windows.h>

#include "services/recommendation.h"
#include "services/service_bridge.h"
#include "services/service_change.h"
#include "services/service_enumeration.h"
#include "services/start_type.h"

namespace {

TEST(ServiceRules, BinaryPathsLoseTheirArguments) {
    struct Case {
        const wchar_t* path;
        const wchar_t* trimmed;
    };
    const Case cases[] = {
        {L"C:\\Windows\\system32\\svchost.exe -k netsvcs -p", L"C:\\Windows\\system32\\svchost.exe"},
        {L"\"C:\\Program Files\\App\\app.exe\" -service", L"\"C:\\Program Files\\App\\app.exe\""},
        {L"C:\\Program Files\\Tool Kit\\tool.exe", L"C:\\Program Files\\Tool Kit\\tool.exe"},
        {L"C:\\App\\app.exe", L"C:\\App\\app.exe"},
        {L"C:\\App\\", L"C:\\App\\"},
        {L"\\app.exe -x", L"\\app.exe -x"},
        {L"app.exe -x", L"app.exe -x"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(services::TrimBinaryPath(c.path), c.trimmed) << c.path;
}

TEST(ServiceRules, TheFirstRowThatBeginsTheNameRecommends) {
    const std::vector<db::ServiceRecommendationRow> named = {{1, L"Foo", 3, 40, 0, 0}, {2, L"FooBar", 1, 0, 0, 0}};
    const std::vector<db::ServiceRecommendationRow> catchAll = {
        {1, L"Foo", 3, 40, 0, 0}, {2, L"", 2, 5, 0, 0}, {3, L"Bar", 1, 0, 0, 0}};
    struct Case {
        const std::vector<db::ServiceRecommendationRow>* rows;
        const wchar_t* service;
        int rowId;  // 0: none
    };
    const Case cases[] = {
        {&named, L"Foo", 1},     {&named, L"FooBar", 1}, {&named, L"Foo_3a7f1", 1}, {&named, L"Foobar", 1},
        {&named, L"foo", 0},     {&named, L"Fo", 0},     {&named, L"", 0},
        {&catchAll, L"Bar", 2},  {&catchAll, L"Qux", 2}, {&catchAll, L"Foo2", 1},
    };
    for (const Case& c : cases) {
        const db::ServiceRecommendationRow* row = services::FindRecommendation(*c.rows, c.service);
        EXPECT_EQ(row ? row->id : 0, c.rowId) << c.service;
    }

    std::vector<services::ServiceEntry> entries(2);
    entries[0].serviceName = L"FooBar";
    entries[1].serviceName = L"foo";
    const std::vector<db::ServiceRecommendationRow> rows = {{1, L"Foo", 3, 40, 7, 5}};
    services::ApplyRecommendations(entries, rows);
    EXPECT_EQ(std::vector<int>({entries[0].suguestStatus, entries[0].forbitRate, entries[0].startTime,
                                entries[0].categoty}),
              std::vector<int>({3, 40, 7, 5}));
    EXPECT_EQ(std::vector<int>({entries[1].suguestStatus, entries[1].forbitRate, entries[1].startTime,
                                entries[1].categoty}),
              std::vector<int>({0, 0, 0, 0}));
}

TEST(ServiceRules, ListValueNumbersTheEntries) {
    EXPECT_TRUE(services::ServiceListValue({}).IsUndefined());
    services::ServiceEntry entry;
    entry.serviceName = L"Svc";
    entry.displayName = L"Service";
    entry.currentState = SERVICE_RUNNING;
    entry.startType = SERVICE_DEMAND_START;
    entry.serviceType = SERVICE_WIN32_OWN_PROCESS;
    entry.description = L"Does things";
    entry.binaryPath = L"C:\\svc.exe";
    entry.suguestStatus = 3;
    entry.forbitRate = 40;
    entry.startTime = 7;
    entry.categoty = 5;
    using engine::Value;
    EXPECT_EQ(services::ServiceListValue({services::ServiceEntry{}, entry}).Items()[1],
              Value::Array({L"Service", L"Svc", L"C:\\svc.exe", 3, 1, L"Does things", 3, 40, 7, 5, 4}));
}

// Delayed automatic start is a start type of its own for the page; boot and
// system start belong to drivers and are never applied.
TEST(ServiceRules, StartTypesAsThePageSeesThem) {
    struct Case {
        DWORD startType;
        bool delayed;
        std::uint32_t shown;
    };
    const Case cases[] = {
        {SERVICE_AUTO_START, false, 2}, {SERVICE_AUTO_START, true, 10}, {SERVICE_DEMAND_START, true, 3},
        {SERVICE_DEMAND_START, false, 3}, {SERVICE_DISABLED, true, 4}, {SERVICE_BOOT_START, false, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(services::ShownStartType(c.startType, c.delayed), c.shown) << c.startType;
    for (int type = -1; type <= 11; ++type)
        EXPECT_EQ(services::IsApplicableStartType(type), type == 2 || type == 3 || type == 4 || type == 10) << type;
}

// A change is made only to a Win32 service whose present start type a
// restore could give back; drivers decide whether Windows boots.
TEST(ServiceRules, ChangesAreMadeOnlyWhereTheyCanBeUndone) {
    using services::ChangeOutcome;
    constexpr DWORD kOwn = SERVICE_WIN32_OWN_PROCESS, kShared = SERVICE_WIN32_SHARE_PROCESS;
    struct Case {
        DWORD serviceType;
        int present;
        int requested;
        ChangeOutcome outcome;
    };
    const Case cases[] = {
        {kOwn, SERVICE_AUTO_START, SERVICE_DISABLED, ChangeOutcome::Changed},
        {kShared, SERVICE_DEMAND_START, services::kDelayedAutoStart, ChangeOutcome::Changed},
        {kOwn | SERVICE_INTERACTIVE_PROCESS, services::kDelayedAutoStart, SERVICE_DEMAND_START, ChangeOutcome::Changed},
        {kOwn, SERVICE_DISABLED, SERVICE_AUTO_START, ChangeOutcome::Changed},
        // Start types a restore could not give back, whatever is asked for.
        {kOwn, SERVICE_BOOT_START, SERVICE_DISABLED, ChangeOutcome::Unrestorable},
        {kShared, SERVICE_SYSTEM_START, SERVICE_DEMAND_START, ChangeOutcome::Unrestorable},
        {kOwn, 7, SERVICE_DISABLED, ChangeOutcome::Unrestorable},
        {kOwn, -1, SERVICE_AUTO_START, ChangeOutcome::Unrestorable},
        // Drivers, whatever their start type.
        {SERVICE_KERNEL_DRIVER, SERVICE_BOOT_START, SERVICE_DISABLED, ChangeOutcome::Driver},
        {SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_DISABLED, ChangeOutcome::Driver},
        {SERVICE_FILE_SYSTEM_DRIVER, SERVICE_SYSTEM_START, SERVICE_DEMAND_START, ChangeOutcome::Driver},
        {SERVICE_RECOGNIZER_DRIVER, SERVICE_AUTO_START, SERVICE_DISABLED, ChangeOutcome::Driver},
        {SERVICE_ADAPTER, SERVICE_DEMAND_START, SERVICE_DISABLED, ChangeOutcome::Driver},
        {kOwn | SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_DISABLED, ChangeOutcome::Driver},
        {0, SERVICE_DEMAND_START, SERVICE_DISABLED, ChangeOutcome::Driver},
        // Types a change never gives.
        {kOwn, SERVICE_DEMAND_START, SERVICE_BOOT_START, ChangeOutcome::UnknownStartType},
        {kOwn, SERVICE_DEMAND_START, SERVICE_SYSTEM_START, ChangeOutcome::UnknownStartType},
        {kOwn, SERVICE_DEMAND_START, 5, ChangeOutcome::UnknownStartType},
    };
    for (const Case& c : cases)
        EXPECT_EQ(services::ChangeDecision(c.serviceType, c.present, c.requested), c.outcome)
            << c.serviceType << " " << c.present << " -> " << c.requested;
}

}  // namespace
