#include "app/worker_tasks.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "app/script_bridge.h"
#include "support/recording_host.h"

namespace {

using app::Task;
using engine::Value;
using testsupport::PublishedHost;
using testsupport::ScriptCall;

class WorkerTasks : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testsupport::WaitForWorkers());
        app::ZoneBits() = 0;
        app::StopFlag() = 0;
    }
    void TearDown() override { EXPECT_TRUE(testsupport::WaitForWorkers()); }
};

TEST_F(WorkerTasks, StartRuleFollowsEachTasksRefusalMask) {
    struct Case {
        Task task;
        std::uint32_t refusedBy;
        std::uint32_t bit;
        bool resetsStop;
    };
    const Case cases[] = {
        {Task::OneClickScan, 0x3F, 0x01, true},   {Task::RegistryScan, 0x1B, 0x02, true},
        {Task::JunkScan, 0x2D, 0x04, true},       {Task::Clean, 0xB8, 0x10, true},
        {Task::SystemDiskScan, 0x800, 0x800, false}, {Task::SystemDiskClean, 0x800, 0x800, true},
        {Task::DownloadMove, 0x1000, 0x1000, false},
    };
    const std::uint32_t busyBits[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x800, 0x1000};
    for (const Case& c : cases) {
        for (const std::uint32_t busy : busyBits) {
            SCOPED_TRACE(testing::Message() << "task " << static_cast<int>(c.task) << " busy " << busy);
            app::ZoneBits() = busy | 0x4000;  // an unrelated bit: the refusal answers the whole word
            app::StopFlag() = 1;
            bool prepared = false;
            const int answer = app::StartTask(c.task, [&] { prepared = true; }, [] {}, c.bit);
            if (busy & c.refusedBy) {
                EXPECT_EQ(answer, static_cast<int>(busy | 0x4000));
                EXPECT_FALSE(prepared);
                EXPECT_EQ(app::StopFlag().load(), 1);
            } else {
                EXPECT_EQ(answer, 0);
                EXPECT_TRUE(prepared);
                EXPECT_EQ(app::ZoneBits().load() & c.bit, c.bit);
                EXPECT_EQ(app::StopFlag().load(), c.resetsStop ? 0 : 1);
            }
            ASSERT_TRUE(testsupport::WaitForWorkers());
        }
    }
}

TEST_F(WorkerTasks, StoppedWorkerStillAliveRefusesATaskThatSharesItsData) {
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(app::StartTask(Task::JunkScan, {}, [release] { WaitForSingleObject(release, 10000); }), 0);
    EXPECT_EQ(*app::NativeFunctions().Call("StopWorking", {})->AsInt(), 0);
    EXPECT_EQ(app::ZoneBits().load(), 0u);
    EXPECT_EQ(app::StopFlag().load(), 1);
    // The busy word is clear, but the stopped scan has not ended yet.
    EXPECT_EQ(app::StartTask(Task::JunkScan, {}, [] {}), 0x04);
    EXPECT_EQ(app::StartTask(Task::OneClickScan, {}, [] {}), 0x04);
    // A task that shares nothing with it starts.
    EXPECT_EQ(app::StartTask(Task::RegistryScan, {}, [] {}), 0);
    SetEvent(release);
    ASSERT_TRUE(testsupport::WaitForWorkers());
    app::ZoneBits() = 0;
    EXPECT_EQ(app::StartTask(Task::JunkScan, {}, [] {}), 0);
    CloseHandle(release);
}

TEST_F(WorkerTasks, ProgressReachesEveryRunningPageInTheFixedOrder) {
    PublishedHost host;
    app::ZoneBits() = 0xFF | 0x800;
    app::BroadcastProgress(40);
    std::vector<int> bits;
    for (const ScriptCall& call : host.CallsOf("SetScanProcess")) {
        ASSERT_EQ(call.args.size(), 2u);
        EXPECT_EQ(call.args[0], Value(40));
        bits.push_back(*call.args[1].AsInt());
    }
    EXPECT_EQ(bits, (std::vector<int>{0x01, 0x02, 0x08, 0x10, 0x04, 0x40, 0x20, 0x80}));
}

TEST_F(WorkerTasks, ProgressSkipsAPageWhoseTaskEndedDuringTheBroadcast) {
    PublishedHost host;
    app::ZoneBits() = 0x02 | 0x08;
    host.onCall = [](std::string_view, const std::vector<Value>&) { app::ClearZoneBits(0x08); };
    app::BroadcastProgress(100);
    EXPECT_EQ(host.Calls(), (std::vector<ScriptCall>{{"SetScanProcess", {Value(100), Value(2)}}}));
}

TEST(ErrorReportPageBit, PrefersHomeThenJunkThenRegistry) {
    EXPECT_EQ(app::ErrorReportPageBit(0x07), 1);
    EXPECT_EQ(app::ErrorReportPageBit(0x06), 4);
    EXPECT_EQ(app::ErrorReportPageBit(0x02 | 0x800), 2);
    EXPECT_EQ(app::ErrorReportPageBit(0x38), 0);
}

TEST(CallScriptFunction, WithoutAPublishedWindowIsNotDelivered) {
    app::PublishMainWindow(nullptr);
    EXPECT_FALSE(app::CallScriptFunction("UpgradeTips", {Value(1)}));
}

}  // namespace
