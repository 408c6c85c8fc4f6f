#include "core/worker_tasks.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "app/bridge_table.h"
#include "core/script_bridge.h"
#include "db/scratch_database.h"
#include "support/recording_host.h"

namespace {

using core::Task;
using engine::Value;
using testsupport::PublishedHost;
using testsupport::ScriptCall;

class WorkerTasks : public testing::Test {
protected:
    // The keep list that a task which deletes reads before it starts.
    testsupport::ScratchDatabase database;

    void SetUp() override {
        ASSERT_TRUE(testsupport::WaitForWorkers());
        core::ZoneBits() = 0;
    }
    void TearDown() override { EXPECT_TRUE(testsupport::WaitForWorkers()); }
};

// A manual-reset event that tests hold workers with.
class Gate {
public:
    Gate() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() {
        Open();
        CloseHandle(event_);
    }
    void Open() { SetEvent(event_); }
    void Wait() const { WaitForSingleObject(event_, 10000); }

private:
    HANDLE event_;
};

TEST_F(WorkerTasks, StartRuleFollowsEachTasksRefusalMask) {
    struct Case {
        Task task;
        std::uint32_t refusedBy;
        std::uint32_t bit;
    };
    const Case cases[] = {
        {Task::OneClickScan, 0x3F, 0x01},    {Task::RegistryScan, 0x1B, 0x02},     {Task::JunkScan, 0x2D, 0x04},
        {Task::Clean, 0xB8, 0x10},           {Task::SystemDiskScan, 0x800, 0x800}, {Task::SystemDiskClean, 0x800, 0x800},
        {Task::DownloadMove, 0x1000, 0x1000},
    };
    const std::uint32_t busyBits[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x800, 0x1000};
    for (const Case& c : cases) {
        for (const std::uint32_t busy : busyBits) {
            SCOPED_TRACE(testing::Message() << "task " << static_cast<int>(c.task) << " busy " << busy);
            core::ZoneBits() = busy | 0x4000;  // an unrelated bit: the refusal answers the whole word
            bool prepared = false;
            const int answer = core::StartTask(c.task, [&] { prepared = true; }, [] {}, c.bit);
            if (busy & c.refusedBy) {
                EXPECT_EQ(answer, static_cast<int>(busy | 0x4000));
                EXPECT_FALSE(prepared);
            } else {
                EXPECT_EQ(answer, 0);
                EXPECT_TRUE(prepared);
                EXPECT_EQ(core::ZoneBits().load() & c.bit, c.bit);
            }
            ASSERT_TRUE(testsupport::WaitForWorkers());
        }
    }
}

TEST_F(WorkerTasks, StoppedWorkerStillAliveRefusesATaskThatSharesItsData) {
    Gate release;
    ASSERT_EQ(core::StartTask(Task::JunkScan, {}, [&release] { release.Wait(); }), 0);
    EXPECT_EQ(*app::NativeFunctions().Call("StopWorking", {})->AsInt(), 0);
    EXPECT_EQ(core::ZoneBits().load(), 0u);
    // The busy word is clear, but the stopped scan has not ended yet: every
    // task that reads or empties the junk lists waits for it, the cleans too,
    // whose busy mask leaves the scan bits out.
    EXPECT_EQ(core::StartTask(Task::JunkScan, {}, [] {}), 0x04);
    EXPECT_EQ(core::StartTask(Task::OneClickScan, {}, [] {}), 0x04);
    EXPECT_EQ(core::StartTask(Task::Clean, {}, [] {}, core::POPUP_WINDOWS_CLEAN_WORKING), 0x04);
    // A task that shares nothing with it starts.
    EXPECT_EQ(core::StartTask(Task::RegistryScan, {}, [] {}), 0);
    release.Open();
    ASSERT_TRUE(testsupport::WaitForWorkers());
    core::ZoneBits() = 0;
    EXPECT_EQ(core::StartTask(Task::JunkScan, {}, [] {}), 0);
}

// Each task is stopped by the stops asked for while it runs, and by no
// other: a task started after a stop runs, and an earlier task that ends
// never takes back a stop meant for a later one.
TEST_F(WorkerTasks, AStopReachesTheTasksRunningWhenItWasAskedForAndNoOthers) {
    Gate registryRelease, junkRelease;
    std::atomic<int> registryStopped{-1}, junkStoppedBeforeItsStop{-1}, junkStopped{-1};
    ASSERT_EQ(core::StartTask(Task::RegistryScan, {}, [&] {
                  registryRelease.Wait();
                  registryStopped = core::StopRequested();
              }),
              0);
    core::RaiseStopFlag();
    Gate junkStarted;
    ASSERT_EQ(core::StartTask(Task::JunkScan, {}, [&] {
                  junkStoppedBeforeItsStop = core::StopRequested();
                  junkStarted.Open();
                  junkRelease.Wait();
                  junkStopped = core::StopRequested();
              }),
              0);
    junkStarted.Wait();
    core::RaiseStopFlag();
    registryRelease.Open();
    while (core::LiveWorkerBits() & core::REG_SCAN_WORKING) Sleep(1);
    junkRelease.Open();
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_EQ(registryStopped.load(), 1);
    EXPECT_EQ(junkStoppedBeforeItsStop.load(), 0);
    EXPECT_EQ(junkStopped.load(), 1);
    EXPECT_FALSE(core::StopRequested());  // this thread runs no task
}

TEST_F(WorkerTasks, AWorkerThatCannotBeStartedClearsItsBitAndAnswersNonZero) {
    const core::ThreadMaker real = core::ReplaceThreadMaker([](unsigned(__stdcall*)(void*), void*) -> HANDLE {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    });
    bool ran = false;
    EXPECT_EQ(core::StartTask(Task::SystemDiskScan, {}, [&ran] { ran = true; }), core::kThreadNotStarted);
    EXPECT_EQ(core::StartTask(Task::Clean, {}, [&ran] { ran = true; }, core::HOME_CLEAN_WORKING), core::kThreadNotStarted);
    EXPECT_FALSE(core::StartDetachedWorker([&ran] { ran = true; }));
    core::ReplaceThreadMaker(real);
    EXPECT_FALSE(ran);
    EXPECT_EQ(core::ZoneBits().load(), 0u);
    EXPECT_EQ(core::LiveWorkerBits(), 0u);
    EXPECT_TRUE(core::StopAllWorkers(0));  // nothing counts as running
    EXPECT_EQ(core::StartTask(Task::SystemDiskScan, {}, [] {}), 0);
}

TEST_F(WorkerTasks, ProgressReachesEveryRunningPageInTheFixedOrder) {
    PublishedHost host;
    core::ZoneBits() = 0xFF | 0x800;
    core::BroadcastProgress(40);
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
    core::ZoneBits() = 0x02 | 0x08;
    host.onCall = [](std::string_view, const std::vector<Value>&) { core::ClearZoneBits(0x08); };
    core::BroadcastProgress(100);
    EXPECT_EQ(host.Calls(), (std::vector<ScriptCall>{{"SetScanProcess", {Value(100), Value(2)}}}));
}

TEST(ErrorReportPageBit, PrefersHomeThenJunkThenRegistry) {
    EXPECT_EQ(core::ErrorReportPageBit(0x07), 1);
    EXPECT_EQ(core::ErrorReportPageBit(0x06), 4);
    EXPECT_EQ(core::ErrorReportPageBit(0x02 | 0x800), 2);
    EXPECT_EQ(core::ErrorReportPageBit(0x38), 0);
}

TEST(CallScriptFunction, WithoutAPublishedWindowIsNotDelivered) {
    core::PublishMainWindow(nullptr);
    EXPECT_FALSE(core::CallScriptFunction("UpgradeTips", {Value(1)}));
}

}  // namespace
