// The native functions of the shell: the download-move counters, the last
// clean's amount and the power request, called through the table as the
// documents call them.
#include <gtest/gtest.h>

#include "support/bridge_call.h"
#include <windows.h>

#include "app/bridge_table.h"
#include "app/power_request.h"
#include "core/script_bridge.h"
#include "disk/move_counters.h"

namespace {

using engine::Value;

using testsupport::CallNative;

void SetMoveCounters(int copyFailed, int copied, int deleteFailed, int deleted, int total, std::int64_t bytes) {
    disk::MoveCounters& counters = disk::DownloadMoveCounters();
    counters.copyFailed = copyFailed;
    counters.copied = copied;
    counters.deleteFailed = deleteFailed;
    counters.deleted = deleted;
    counters.total = total;
    counters.bytesCopied = bytes;
}

TEST(GetCopyNumber, ReportsTheMoveCountersAndItsProgress) {
    EXPECT_EQ(CallNative("GetCopyNumber", {Value(0)}),
              Value::Array({Value(0), Value(0), Value(0), Value(0), Value(0), Value(L"0"), Value(100)}));
    SetMoveCounters(1, 2, 1, 1, 7, 5000000000);
    EXPECT_EQ(CallNative("GetCopyNumber", {Value(L"any")}),
              Value::Array({Value(1), Value(2), Value(1), Value(1), Value(7), Value(L"5000000000"), Value(42)}));
    SetMoveCounters(0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(app::NativeFunctions().Call("GetCopyNumber", {}));
}

TEST(GetCopyNumber, Percentage) {
    struct Case {
        int copied, failed, total;
        bool finished;
        int percent;
    };
    // A running move stays below 100: the settings and the sources follow the copies.
    const Case cases[] = {{0, 0, -1, true, -1},  {5, 0, -1, true, -1},   {0, 0, 0, true, 100},
                          {3, 0, 0, true, 100},  {1, 1, 3, true, 66},    {3, 0, 3, true, 100},
                          {2000000000, 0, 2000000000, true, 100},        {0, -1, 4, true, -1},
                          {3, 0, 3, false, 99},  {1, 2, 3, false, 99},   {1, 1, 3, false, 66},
                          {0, 0, 0, false, 99},  {0, 0, -1, false, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(disk::MovePercent(c.copied, c.failed, c.total, c.finished), c.percent)
            << c.copied << " " << c.failed << " " << c.total << " " << c.finished;
}

class CleanAmount : public testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"Software\\Quillmark\\Quillmark Orvane\\OneClick Cleaner";
    void SetUp() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"DiskCleanRubbishSize"); }
    void TearDown() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"DiskCleanRubbishSize"); }
    void Store(DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"DiskCleanRubbishSize", type, data, size), ERROR_SUCCESS);
    }
};

TEST_F(CleanAmount, IsTheStoredCountOrZero) {
    EXPECT_EQ(CallNative("GetDeleteDiskSize"), Value(L"0"));
    const std::uint64_t large = 5242880ull * 1024 * 1024;
    Store(REG_QWORD, &large, sizeof large);
    EXPECT_EQ(CallNative("GetDeleteDiskSize"), Value(L"5497558138880"));
    // The placeholder written before the first clean.
    Store(REG_SZ, L"", 0);
    EXPECT_EQ(CallNative("GetDeleteDiskSize"), Value(L"0"));
    Store(REG_SZ, L"12345", 12);
    EXPECT_EQ(CallNative("GetDeleteDiskSize"), Value(L"0"));
}

class RecordingPower : public app::PowerControl {
public:
    void Shutdown(bool restart) override { requests.push_back(restart ? L"restart" : L"shutdown"); }
    void SetPowerState(bool suspend) override { requests.push_back(suspend ? L"sleep" : L"hibernate"); }
    std::vector<std::wstring> requests;
};

TEST(FinishOtherOperate, RequestsTheModesPowerActionOnly) {
    RecordingPower power;
    app::UsePowerControl(&power);
    struct Case {
        Value mode;
        int answer;
        std::vector<std::wstring> requests;
    };
    const Case cases[] = {
        {Value(1), 0, {L"shutdown"}}, {Value(2), 0, {L"restart"}}, {Value(3), 0, {L"hibernate"}},
        {Value(4), 0, {L"sleep"}},    {Value(0), 4, {}},           {Value(5), 4, {}},
        {Value(L"2"), 4, {}},         {Value(2.0), 4, {}},         {Value(), 4, {}},
    };
    for (const Case& c : cases) {
        power.requests.clear();
        EXPECT_EQ(CallNative("FinishOtherOperate", {c.mode}), Value(c.answer)) << c.mode.ToText();
        EXPECT_EQ(power.requests, c.requests) << c.mode.ToText();
    }
    app::UsePowerControl(nullptr);
}

}  // namespace
