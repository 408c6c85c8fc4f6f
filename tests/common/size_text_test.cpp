#include "common/size_text.h"

#include <gtest/gtest.h>

#include "guarded_buffer.h"
#include "program_exports.h"

using testsupport::GuardedBuffer;

namespace {

TEST(MakeFileSize, PicksTheUnitAndTruncates) {
    const struct {
        std::uint64_t bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 B"},
        {1024, L"1024 B"},
        {1025, L"1 KB"},
        {2047, L"1 KB"},
        {1048576, L"1024 KB"},
        {1048577, L"1 MB"},
        {1073741824, L"1024 MB"},
        {1073741825, L"1 GB"},
        {1099511627776, L"1024 GB"},
        {1099511627777, L""},
        {UINT64_MAX, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(common::MakeFileSize(c.bytes), c.text) << c.bytes;
}

using MakeFileSizeExport = testsupport::ProgramExportsTest;

TEST_F(MakeFileSizeExport, AppendsWhatFitsToTheCallersText) {
    const std::wstring nearlyFull(MAX_PATH - 4, L'x');  // room for three units and the terminator
    const struct {
        std::wstring text;
        std::uint64_t bytes;
        std::wstring result;
    } cases[] = {
        {L"", 1073741825, L"1 GB"},
        {L"Size: ", 2048, L"Size: 2 KB"},
        {nearlyFull, 1, nearlyFull + L"1 B"},
        {nearlyFull, 999, nearlyFull},
        {L"Size: ", 1099511627777, L"Size: "},
    };
    for (const auto& c : cases) {
        GuardedBuffer buffer(c.text);
        exports().makeFileSize(c.bytes, buffer.data());
        EXPECT_EQ(buffer.Text(), c.result) << c.bytes;
        EXPECT_TRUE(buffer.GuardIntact()) << c.bytes;
    }
}

TEST_F(MakeFileSizeExport, IgnoresAnUnterminatedOrMissingBuffer) {
    // No terminator within MAX_PATH units: nothing may be appended after them.
    GuardedBuffer buffer(L"");
    std::fill(buffer.units.begin(), buffer.units.begin() + MAX_PATH, L'x');
    std::fill(buffer.units.begin() + MAX_PATH, buffer.units.end(), L'\0');
    exports().makeFileSize(1, buffer.data());
    EXPECT_TRUE(std::all_of(buffer.units.begin(), buffer.units.begin() + MAX_PATH, [](wchar_t c) { return c == L'x'; }));
    EXPECT_TRUE(std::all_of(buffer.units.begin() + MAX_PATH, buffer.units.end(), [](wchar_t c) { return c == 0; }));

    exports().makeFileSize(1, nullptr);
}

}  // namespace
