#include "common/my_std_wstring.h"

#include <gtest/gtest.h>

using common::CMyStdWString;
using Bytes = std::vector<std::uint8_t>;

namespace {

TEST(MyStdWString, BlockLayout) {
    EXPECT_EQ(CMyStdWString(L"ab").WriteBlock(),
              (Bytes{14, 0, 0, 0, 'a', 0, 'b', 0, 0, 0, 'W', 'S', 'T', 'R'}));
    EXPECT_EQ(CMyStdWString(L"\u20AC").WriteBlock(), (Bytes{12, 0, 0, 0, 0xAC, 0x20, 0, 0, 'W', 'S', 'T', 'R'}));
    EXPECT_EQ(CMyStdWString().WriteBlock(), (Bytes{10, 0, 0, 0, 0, 0, 'W', 'S', 'T', 'R'}));
}

TEST(MyStdWString, ReadsBackWhatItWrote) {
    for (const std::wstring text : {L"", L"C:\\Program Files\\Quillmark\\", L"\u00D6laf \u2603 \U0001F600"}) {
        Bytes block = CMyStdWString(text).WriteBlock();
        const int length = static_cast<int>(block.size());
        // Bytes after the block belong to whatever follows it.
        block.insert(block.end(), {'n', 'e', 'x', 't'});
        CMyStdWString read(L"before");
        EXPECT_EQ(read.ReadBlock(block), length);
        EXPECT_EQ(read.Text(), text);
    }
}

TEST(MyStdWString, RefusesTruncatedAndCorruptBlocks) {
    const Bytes good = CMyStdWString(L"abc").WriteBlock();  // 16 bytes
    const auto changed = [&good](std::size_t at, std::uint8_t value) {
        Bytes block = good;
        block[at] = value;
        return block;
    };
    std::vector<std::pair<const char*, Bytes>> cases = {
        {"length below the frame", changed(0, 8)},
        {"odd length", changed(0, 15)},
        {"length past the bytes", changed(0, 18)},
        {"huge length", changed(3, 0x80)},
        {"no zero before the marker", changed(10, 'x')},
        {"wrong marker", changed(15, 'X')},
        {"length that cuts the marker", changed(0, 14)},
    };
    for (std::size_t size = 0; size < good.size(); ++size)
        cases.emplace_back("truncated", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)));
    for (const auto& [what, block] : cases) {
        CMyStdWString read(L"before");
        EXPECT_EQ(read.ReadBlock(block), -1) << what << " " << block.size();
        EXPECT_EQ(read.Text(), L"before") << what;
    }
}

}  // namespace
