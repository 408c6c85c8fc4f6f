#include "junk/result_rows.h"

#include <gtest/gtest.h>

#include "core/script_bridge.h"
#include "support/bridge_call.h"
#include "support/junk_fixtures.h"

namespace {

using engine::Value;

std::wstring Call(const char* name, std::vector<Value> args) { return testsupport::CallNative(name, std::move(args)).Text(); }

std::wstring Details(Value kind, Value category, Value start, Value end) {
    return Call("GetErrorDetails", {kind, category, start, end});
}

class ResultRows : public junktest::JunkListsTest {
protected:
    void SetUp() override {
        JunkListsTest::SetUp();
        junk::JunkFileList& temp = junk::JunkList(0);
        const std::uint32_t folder = temp.AddFolder(L"C:\\Temp\\", 8);
        temp.Add(L"a.tmp", folder, 1500);
        temp.Add(L"b.tmp", folder, 1024);
        temp.Add(L"c.tmp", folder, 0);
        junk::Undeletables().Add(L"locked.log", {L"C:\\Logs\\", 8}, 2048);
    }
};

TEST_F(ResultRows, DetailPagesStopAtTheEndOfTheList) {
    const std::wstring all =
        LR"([{"first":"a.tmp","second":"C:\\Temp\\","three":"1 KB"},)"
        LR"({"first":"b.tmp","second":"C:\\Temp\\","three":"1024 B"},)"
        LR"({"first":"c.tmp","second":"C:\\Temp\\","three":"0 B"}])";
    struct Case {
        Value kind, category, start, end;
        std::wstring rows;
    };
    const Case cases[] = {
        {1, 0, 0, 8, all},
        {1, 0, 2, 3, LR"([{"first":"c.tmp","second":"C:\\Temp\\","three":"0 B"}])"},
        {1, 0, 3, 50, L"[]"},
        {1, 0, 2, 2, L"[]"},
        {1, 0, 2, 1, L"[]"},
        {1, 0, -5, 1, LR"([{"first":"a.tmp","second":"C:\\Temp\\","three":"1 KB"}])"},
        {1, 0, 0x7FFFFFFF, 0x7FFFFFFF, L"[]"},
        {1, 1, 0, 8, L"[]"},   // an empty category
        {1, 21, 0, 8, L"[]"},  // no such category
        {1, -1, 0, 8, L"[]"},
        {0, 0, 0, 8, L"[]"},  // no registry lists in this program yet
        {3, 0, 0, 8, L"[]"},
        {-1, 0, 0, 8, L"[]"},
        {2, 5, 0, 100, LR"([{"first":"locked.log","second":"C:\\Logs\\","three":"2 KB"}])"},  // category ignored
        {L"1", 0, 0, 8, L"[]"},  // not an integer: kind 0
        {1, 0, L"0", 1, LR"([{"first":"a.tmp","second":"C:\\Temp\\","three":"1 KB"}])"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Details(c.kind, c.category, c.start, c.end), c.rows)
            << c.kind.ToText() << " " << c.category.ToText() << " " << c.start.ToText() << " " << c.end.ToText();
}

TEST_F(ResultRows, StatisticsAddCountAndTotalToEveryElementThatNamesAList) {
    struct Case {
        std::wstring selection, answer;
    };
    const Case cases[] = {
        {LR"([{"FIRST":1,"Second":0}])", LR"([{"FIRST":1,"Second":0,"three":3,"four":"2524"}])"},
        {LR"([{"first":1,"second":2},{"first":2,"second":9}])",
         LR"([{"first":1,"second":2,"three":0,"four":"0"},{"first":2,"second":9,"three":1,"four":"2048"}])"},
        {LR"([{"first":1,"second":21},{"first":7,"second":0},{"first":1},{"second":1},3,"x"])",
         LR"([{"first":1,"second":21},{"first":7,"second":0},{"first":1},{"second":1},3,"x"])"},
        {LR"([{"first":"1","second":0}])", LR"([{"first":"1","second":0}])"},
        {L"[]", L"[]"},
        {L"not json", L"[]"},
        {LR"({"first":1,"second":0})", L"[]"},
    };
    for (const Case& c : cases) EXPECT_EQ(Call("GetChooseStatistics", {c.selection, 1}), c.answer) << c.selection;
}

TEST(Selection, KeepsAPlaceForEveryElementAndNamesOnlyUsableOnes) {
    const auto selection = junk::ParseSelection(LR"([{"First":1,"SECOND":3},{"first":0},7,{"first":2,"second":0}] )");
    ASSERT_EQ(selection.size(), 4u);
    EXPECT_EQ(selection[0].kind, 1);
    EXPECT_EQ(selection[0].category, 3);
    EXPECT_EQ(selection[1].kind, -1);
    EXPECT_EQ(selection[2].kind, -1);
    EXPECT_EQ(selection[3].kind, 2);
    EXPECT_TRUE(junk::ParseSelection(L"[").empty());
    EXPECT_TRUE(junk::ParseSelection(L"").empty());
}

TEST_F(ResultRows, AllItemInfoHas29SummariesInTheFixedOrder) {
    junk::StateOf(junk::kFirstAppCategory) = junk::CategoryState::Absent;
    junk::StateOf(junk::kFirstAppCategory + 1) = junk::CategoryState::Held;
    std::wstring expected = L"[";
    for (int c = 0; c < 7; ++c) expected += LR"({"first":0,"second":)" + std::to_wstring(c) + LR"(,"three":0,"four":"0"},)";
    expected += LR"({"first":1,"second":0,"three":3,"four":"2524","five":0},)";
    for (int c = 1; c < 21; ++c)
        expected += LR"({"first":1,"second":)" + std::to_wstring(c) + LR"(,"three":0,"four":"0","five":)" +
                    std::to_wstring(c == 13 ? 1 : c == 14 ? 2 : 0) + L"},";
    expected += LR"({"first":2,"second":0,"three":1,"four":"2048"}])";
    EXPECT_EQ(junk::AllItemInfoText(), expected);
}

// Names travel in the thread's ANSI code page: a character it lacks is
// replaced, never dropped with the rest of the row.
TEST_F(ResultRows, NamesAreConvertedThroughTheAnsiCodePage) {
    junk::JunkFileList& list = junk::JunkList(4);
    list.Add(L"caf\u00e9 \u4e2d.tmp", list.AddFolder(L"C:\\x\\", 5), 1);
    const std::wstring rows = Details(1, 4, 0, 1);
    EXPECT_EQ(rows.find(L"caf"), 11u) << rows;
    EXPECT_NE(rows.find(L".tmp\",\"second\":\"C:\\\\x\\\\\""), std::wstring::npos) << rows;
}

}  // namespace
