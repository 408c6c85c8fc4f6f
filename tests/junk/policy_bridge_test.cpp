// The organisation's policy in the window, through the native function table
// as the pages call it: a policy that cannot be read refuses every scan and
// clean; a category it turns off is listed as such, refused by a clean that
// names it and left out of the scans; and the clean's trail names categories
// by their ids.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/worker_tasks.h"
#include "junk/category_policy.h"
#include "junk/junk_clean.h"
#include "junk/junk_lists.h"
#include "support/bridge_call.h"
#include "support/junk_fixtures.h"
#include "support/recording_host.h"
#include "support/scoped_state.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using testsupport::CallNative;

class WindowPolicy : public junktest::JunkListsTest {};

struct Start {
    const char* name;
    std::vector<Value> args;
};

// Every native function that starts a scan or clean of categories.
std::vector<Start> Starts() {
    return {{"ScanJunkFile", {1}},
            {"ScanRegistry", {1}},
            {"HomeScan", {}},
            {"SetScandiskEntry", {}},
            {"RepairChoose", {LR"([{"first":1,"second":10}])", 32}},
            {"RepairChoose", {LR"([{"first":0,"second":1}])", 16}},
            {"CleanSystemFile", {LR"([{"first":3,"second":0}])", 11}}};
}

TEST_F(WindowPolicy, AnUnreadablePolicyRefusesEveryScanAndCleanAndSaysWhy) {
    const testsupport::UnreadablePolicy unreadable;
    for (const Start& start : Starts()) {
        EXPECT_EQ(CallNative(start.name, start.args), Value(core::kPolicyUnreadable)) << start.name;
        EXPECT_EQ(core::ZoneBits().load(), 0u) << start.name;
    }
    EXPECT_EQ(CallNative("GetTurnedOffCategories"),
              Value::Map({{L"unreadable", L"the organisation's policy (its key) cannot be read: error 5"}}));
}

TEST_F(WindowPolicy, ACleanNamingATurnedOffCategoryIsRefused) {
    const testsupport::ScopedPolicy policy;
    policy.Disable({L"JUNK.temp", L"registry.software", L"Disk"});
    EXPECT_EQ(CallNative("GetTurnedOffCategories"),
              Value::Map({{L"registry", Value::Array({2})}, {L"junk", Value::Array({0})}, {L"disk", true}}));
    const struct {
        const char* name;
        std::vector<Value> args;
    } refused[] = {
        {"RepairChoose", {LR"([{"first":1,"second":0}])", 32}},
        {"RepairChoose", {LR"([{"first":1,"second":10},{"first":1,"second":0}])", 8}},
        {"RepairChoose", {LR"([{"first":0,"second":2}])", 16}},
        {"RepairChoose", {LR"([{"first":0,"second":2}])", 128}},
        {"CleanSystemFile", {LR"([{"first":3,"second":0},{"first":3,"second":3}])", 11}},
        {"SetScandiskEntry", {}},
    };
    for (const auto& call : refused) {
        EXPECT_EQ(CallNative(call.name, call.args), Value(core::kPolicyTurnsOff)) << call.name;
        EXPECT_EQ(core::ZoneBits().load(), 0u) << call.name;
    }
}

// What the checks decide, as values: the elements of each kind a policy
// turns off, and no other kind of row.
TEST(WindowPolicyRules, ASelectionIsTurnedOffByAnyCategoryItNames) {
    core::Policy policy;
    policy.disabled = {"junk.recycle_bin", "registry"};
    const struct {
        std::vector<junk::SelectionElement> selection;
        bool turnedOff;
    } cases[] = {
        {{}, false},
        {{{1, 0}, {1, 11}}, false},
        {{{1, 0}, {1, 10}}, true},
        {{{0, 6}}, true},
        {{{2, 0}}, false},    // the files that failed to delete: no category
        {{{3, 0}}, false},    // a system-disk group: the disk page asks for its own word
        {{{1, 99}, {-1, -1}}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(junk::SelectsTurnedOff(c.selection, policy), c.turnedOff) << c.selection.size();
}

TEST(WindowPolicyRules, TheCleansTrailNamesCategoriesByTheirIds) {
    const struct {
        std::vector<junk::SelectionElement> selection;
        const wchar_t* text;
    } cases[] = {
        {{{1, 0}}, L"window, clean junk.temp"},
        {{{0, 2}, {1, 10}, {1, 12}}, L"window, clean registry.software junk.recycle_bin junk.error_reports"},
        {{{2, 0}, {1, 99}, {-1, -1}}, L"window, clean undeletable"},
        {{}, L"window, clean"},
    };
    for (const auto& c : cases) EXPECT_EQ(junk::CleanTrailText(c.selection), c.text);
}

// The junk page's scan with the temporary files turned off: that category is
// reported empty and nothing of it is listed, the others are scanned; without
// the policy the same scan lists the file.
TEST_F(WindowPolicy, AScanLeavesOutATurnedOffCategory) {
    const testsupport::TempDir temp;
    const junktest::ScopedUserTemp userTemp(temp.Path());
    junktest::MakeFile(temp / L"a.tmp", 100);
    testsupport::PublishedHost page;
    const auto scan = [&] {
        EXPECT_EQ(CallNative("ScanJunkFile", {1}), Value(0));
        EXPECT_TRUE(testsupport::WaitForWorkers());
        return junktest::PathsOf(junk::JunkList(0));
    };
    {
        const testsupport::ScopedPolicy policy;
        policy.Disable({L"junk.temp"});
        EXPECT_TRUE(scan().empty());
        const std::vector<testsupport::ScriptCall> reports = page.CallsOf("SetErrorNumAndSize");
        ASSERT_EQ(reports.size(), static_cast<std::size_t>(junk::kJunkCategoryCount));
        EXPECT_EQ(reports[0].args.at(0), Value::Array({0, L"0", 1, 0, 4, 0}));
    }
    const std::vector<std::wstring> listed = scan();
    EXPECT_NE(std::find(listed.begin(), listed.end(), temp / L"a.tmp"), listed.end());
}

}  // namespace
