#include "suite/health_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(HealthScore, SubtractsTheWeightOfEachCategoryThatFoundSomething) {
    std::array<bool, 7> registry{};
    std::array<bool, junk::kJunkCategoryCount> junk{};
    EXPECT_EQ(suite::HealthScore(registry, junk), 100);
    junk[0] = junk[1] = true;
    EXPECT_EQ(suite::HealthScore(registry, junk), 93);
    junk[13] = true;  // a browser's cache
    EXPECT_EQ(suite::HealthScore(registry, junk), 91);
    registry.fill(true);
    junk.fill(true);
    // Every category found: the score still stays above zero.
    EXPECT_EQ(suite::HealthScore(registry, junk), 2);
}

TEST(HealthStatusClass, MapsTheStoredTextByQuarters) {
    struct Case {
        std::optional<std::wstring_view> stored;
        int expected;
    };
    const Case cases[] = {{L"0", 0},   {L"25", 0},  {L"26", 1},   {L"50", 1},   {L"75", 2},
                          {L"76", 3},  {L"100", 3}, {L"101", 255}, {L"1000", 6}, {L"-1", 255},
                          {L"93x", 3}, {L"", 0},    {std::nullopt, 255}, {L"99999999999999999999", 255}};
    for (const Case& c : cases)
        EXPECT_EQ(suite::HealthStatusClass(c.stored), c.expected) << (c.stored ? std::string(c.stored->begin(), c.stored->end()) : "missing");
}

TEST(OneClickTime, AcceptsOnlyInRangeFields) {
    const auto parsed = suite::ParseOneClickTime(L"2026-12-10 04:05:06");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->tm_year, 126);
    EXPECT_EQ(parsed->tm_mon, 11);
    EXPECT_EQ(parsed->tm_mday, 10);
    EXPECT_EQ(parsed->tm_sec, 6);
    for (const wchar_t* bad : {L"1969-12-10 04:05:06", L"2026-13-10 04:05:06", L"2026-12-00 04:05:06",
                               L"2026-12-10 24:05:06", L"2026-12-10 04:60:06", L"2026-12-10 04:05:60", L"garbage",
                               L"2026-12"})
        EXPECT_FALSE(suite::ParseOneClickTime(bad)) << std::wstring(bad).size();
}

TEST(ElapsedText, PicksMinutesHoursOrDays) {
    struct Case {
        std::int64_t seconds;
        const wchar_t* text;
    };
    const Case cases[] = {{30 * 60, L"30 1"},     {61 * 60, L"1 2"},    {3659, L"60 1"}, {3660, L"1 2"},
                          {25 * 3600, L"1 3"},    {23 * 3600 + 59, L"23 2"}, {-5 * 60, L"-5 1"}, {0, L"0 1"}};
    for (const Case& c : cases) EXPECT_EQ(suite::ElapsedText(c.seconds), c.text) << c.seconds;
}

}  // namespace
