#include "common/text_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

// A six-unit buffer inside a larger array, so that a write past it shows.
struct SmallBuffer {
    std::array<wchar_t, 8> units{L'a', L'b', L'\0', L'#', L'#', L'#', L'!', L'!'};
    std::span<wchar_t> span() { return std::span(units).first(6); }
    std::wstring Text() const { return units.data(); }
};

TEST(TextBuffer, WritesOnlyWhatFitsWithItsTerminator) {
    const struct {
        bool append;
        std::wstring_view text;
        bool written;
        std::wstring result;
    } cases[] = {
        {false, L"12345", true, L"12345"},  {false, L"123456", false, L"ab"}, {false, L"", true, L""},
        {true, L"123", true, L"ab123"},     {true, L"1234", false, L"ab"},    {true, L"", true, L"ab"},
    };
    for (const auto& c : cases) {
        SmallBuffer buffer;
        const bool written = c.append ? common::AppendToBuffer(buffer.span(), c.text)
                                      : common::CopyToBuffer(buffer.span(), c.text);
        EXPECT_EQ(written, c.written) << c.append << " " << std::wstring(c.text);
        EXPECT_EQ(buffer.Text(), c.result) << c.append << " " << std::wstring(c.text);
        EXPECT_EQ(buffer.units[6], L'!');
    }
}

TEST(TextBuffer, AppendNeedsATerminatorInsideTheBuffer) {
    SmallBuffer buffer;
    std::fill(buffer.units.begin(), buffer.units.begin() + 6, L'x');
    buffer.units[6] = L'\0';
    EXPECT_FALSE(common::AppendToBuffer(buffer.span(), L""));
    EXPECT_EQ(buffer.units[6], L'\0');
    EXPECT_EQ(buffer.units[7], L'!');
    EXPECT_FALSE(common::CopyToBuffer(std::span<wchar_t>(), L""));
}

}  // namespace
