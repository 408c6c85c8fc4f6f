// The window's changes leave their event: a clean of the junk page through
// the native function table (and its scan none), and a keep-list change.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/worker_tasks.h"
#include "db/scratch_database.h"
#include "support/bridge_call.h"
#include "support/junk_fixtures.h"
#include "support/recorded_trail.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using testsupport::CallNative;

class WindowTrail : public junktest::JunkListsTest {};

TEST_F(WindowTrail, AJunkCleanWritesOneEventAndItsScanNone) {
    const testsupport::ScratchDatabase database;
    const testsupport::TempDir temp;
    const junktest::ScopedUserTemp userTemp(temp.Path());
    junktest::MakeFile(temp / L"a.tmp", 100);
    junktest::MakeFile(temp / L"b.tmp", 20);
    const testsupport::RecordedTrail trail;
    testsupport::PublishedHost page;

    ASSERT_EQ(CallNative("ScanJunkFile", {1}), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    EXPECT_TRUE(trail.Events().empty());

    ASSERT_EQ(CallNative("RepairChoose", {LR"([{"first":1,"second":0}])", 32}), Value(0));
    ASSERT_TRUE(testsupport::WaitForWorkers());
    const std::vector<core::TrailEvent> events = trail.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, static_cast<std::uint32_t>(core::TrailKind::Clean));
    EXPECT_EQ(events[0].type, EVENTLOG_INFORMATION_TYPE);
    ASSERT_EQ(events[0].strings.size(), 6u);
    EXPECT_EQ(events[0].strings[0], L"window, clean junk.temp");
    EXPECT_GE(std::stoull(events[0].strings[1]), 2u);
    EXPECT_GE(std::stoull(events[0].strings[2]), 120u);
    EXPECT_EQ(events[0].strings[5], L"0");
    EXPECT_FALSE(testsupport::Exists(temp / L"a.tmp"));
}

// Taking off the keep list what is not on it changed nothing: a warning.
TEST_F(WindowTrail, AKeepListChangeWritesItsOutcome) {
    const testsupport::ScratchDatabase database;
    const testsupport::RecordedTrail trail;
    EXPECT_EQ(CallNative("UnkeepItem", {L"C:\\never kept"}), Value(1));
    const std::vector<core::TrailEvent> events = trail.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, static_cast<std::uint32_t>(core::TrailKind::KeepList));
    EXPECT_EQ(events[0].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(events[0].strings.at(0), L"window, keep remove C:\\never kept");
    EXPECT_EQ(events[0].strings.at(1), L"0");
}

}  // namespace
