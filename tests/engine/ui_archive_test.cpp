#include "engine/ui_archive.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/temp_dir.h"

extern "C" {
#include <lzf.h>
}

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const std::wstring& path) {
    const std::string text = testsupport::ReadFile(path);
    return {text.begin(), text.end()};
}

Bytes BuiltArchive() { return ReadBytes(testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_ARCHIVE"))); }

std::wstring UiSource() { return testsupport::FromUnixPath(testsupport::Environment(L"QO_UI_SOURCE")); }

void PutU16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32(Bytes& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
std::uint32_t GetU32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
void SetU16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void SetU32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A hand-made archive with the files "a" (stored) and "ab" (LZF): the tree
// a -eq-> [end: file 1] -hi-> b -eq-> [end: file 2].
struct SmallArchive {
    Bytes block;
    Bytes fileA{'s', 't', 'o', 'r', 'e', 'd'};
    Bytes fileAb;

    SmallArchive() {
        fileAb.assign(300, 'x');
        Bytes packed(fileAb.size());
        packed.resize(lzf_compress(fileAb.data(), static_cast<unsigned>(fileAb.size()), packed.data(),
                                   static_cast<unsigned>(packed.size())));
        block = {0x53, 0x41, 0x72, 0x00};
        PutU32(block, 4);
        const std::int16_t nodes[4][4] = {{'a', -1, 1, -1}, {0, -1, 1, 2}, {'b', -1, 3, -1}, {0, -1, 2, -1}};
        for (const auto& node : nodes)
            for (const std::int16_t field : node) PutU16(block, static_cast<std::uint16_t>(field));
        PutU32(block, 2);
        const std::uint32_t dataStart = static_cast<std::uint32_t>(block.size() + 24);
        PutU32(block, dataStart);
        PutU32(block, static_cast<std::uint32_t>(fileA.size()));
        PutU32(block, 0);
        PutU32(block, dataStart + static_cast<std::uint32_t>(fileA.size()));
        PutU32(block, static_cast<std::uint32_t>(packed.size()));
        PutU32(block, static_cast<std::uint32_t>(fileAb.size()));
        block.insert(block.end(), fileA.begin(), fileA.end());
        block.insert(block.end(), packed.begin(), packed.end());
    }
    static constexpr std::size_t kNodes = 8;
    static constexpr std::size_t kEntries = 8 + 4 * 8 + 4;
};

TEST(UiArchive, ServesEveryDocumentOfTheBuildByteForByte) {
    const Bytes block = BuiltArchive();
    const engine::UiArchiveHandle archive = engine::OpenArchive(block);
    ASSERT_TRUE(archive);
    EXPECT_EQ(engine::GetArchiveItem(*archive, u"index.html"), ReadBytes(UiSource() + L"\\index.html"));
    EXPECT_TRUE(engine::GetArchiveItem(*archive, u"no-such-file.html").empty());
}

TEST(UiArchive, LooksUpNamesWithoutRegardToLetterCase) {
    const SmallArchive small;
    const engine::UiArchiveHandle archive = engine::OpenArchive(small.block);
    ASSERT_TRUE(archive);
    struct Case {
        std::u16string path;
        Bytes expected;
    };
    const Case cases[] = {
        {u"a", small.fileA}, {u"A", small.fileA}, {u"ab", small.fileAb}, {u"aB", small.fileAb},
        {u"", {}},           {u"b", {}},          {u"abc", {}},          {std::u16string(u"a\0b", 3), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(engine::GetArchiveItem(*archive, c.path), c.expected) << std::string(c.path.begin(), c.path.end());
}

// Each damaged block either fails to open or answers "no such file" for the
// damaged entries; nothing reads outside the block.
TEST(UiArchive, DamagedBlocksYieldNoFile) {
    using Damage = std::function<void(Bytes&)>;
    struct Case {
        const char* what;
        Damage damage;
        bool opens;
        Bytes expectA;
        Bytes expectAb;
    };
    const SmallArchive small;
    const Bytes& a = small.fileA;
    const Bytes& ab = small.fileAb;
    const std::size_t entryA = SmallArchive::kEntries, entryAb = SmallArchive::kEntries + 12;
    const Case cases[] = {
        {"bad magic", [](Bytes& b) { b[2] = 'X'; }, false, {}, {}},
        {"shorter than a header", [](Bytes& b) { b.resize(7); }, false, {}, {}},
        {"node count past the end", [](Bytes& b) { SetU32(b, 4, 1000); }, false, {}, {}},
        {"node count that wraps", [](Bytes& b) { SetU32(b, 4, 0x20000000); }, false, {}, {}},
        {"file count past the end", [](Bytes& b) { SetU32(b, 8 + 32, 1000); }, false, {}, {}},
        {"cut inside the file table", [](Bytes& b) { b.resize(SmallArchive::kEntries + 6); }, false, {}, {}},
        {"cut inside the data", [&](Bytes& b) { b.resize(b.size() - 3); }, true, a, {}},
        {"offset past the end", [&](Bytes& b) { SetU32(b, entryA, 0xFFFFFFF0u); }, true, {}, ab},
        {"stored size past the end", [&](Bytes& b) { SetU32(b, entryA + 4, 0xFFFFFFFFu); }, true, {}, ab},
        {"link past the last node", [](Bytes& b) { SetU16(b, SmallArchive::kNodes + 4, 0x7FFF); }, true, {}, {}},
        {"negative link", [](Bytes& b) { SetU16(b, SmallArchive::kNodes + 8 + 6, 0x8000); }, true, a, {}},
        {"a link cycle", [](Bytes& b) { SetU16(b, SmallArchive::kNodes + 2, 0); SetU16(b, SmallArchive::kNodes + 6, 0); },
         true, a, ab},
        {"file number past the table", [](Bytes& b) { SetU16(b, SmallArchive::kNodes + 8 + 4, 9); }, true, {}, ab},
        {"file number zero", [](Bytes& b) { SetU16(b, SmallArchive::kNodes + 8 + 4, 0); }, true, {}, ab},
        {"expanded size off by one", [&](Bytes& b) { SetU32(b, entryAb + 8, static_cast<std::uint32_t>(ab.size() + 1)); },
         true, a, {}},
        {"expanded size absurd", [&](Bytes& b) { SetU32(b, entryAb + 8, 0xFFFFFFFFu); }, true, a, {}},
        {"LZF back reference before the start",
         [&](Bytes& b) { std::fill(b.end() - static_cast<std::ptrdiff_t>(GetU32(b, entryAb + 4)), b.end(), 0xFF); },
         true, a, {}},
        {"empty LZF stream", [&](Bytes& b) { SetU32(b, entryAb + 4, 0); }, true, a, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes block = small.block;
        c.damage(block);
        const engine::UiArchiveHandle archive = engine::OpenArchive(block);
        ASSERT_EQ(static_cast<bool>(archive), c.opens);
        if (!archive) continue;
        EXPECT_EQ(engine::GetArchiveItem(*archive, u"a"), c.expectA);
        EXPECT_EQ(engine::GetArchiveItem(*archive, u"ab"), c.expectAb);
        EXPECT_TRUE(engine::GetArchiveItem(*archive, u"zz").empty());
    }
}

TEST(UiArchive, EveryTruncationOfTheBuiltArchiveIsSafe) {
    const Bytes full = BuiltArchive();
    const Bytes index = ReadBytes(UiSource() + L"\\index.html");
    // Cuts inside the files' data still open: a file whose data was cut off
    // is not found, one before the cut is found whole (index.html is neither
    // the first nor the last file, so some cuts do each).
    std::size_t cutOff = 0, whole = 0;
    for (std::size_t length = 0; length < full.size(); length += 1 + length / 64) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        const engine::UiArchiveHandle archive = engine::OpenArchive(cut);
        if (!archive) continue;
        const Bytes found = engine::GetArchiveItem(*archive, u"index.html");
        EXPECT_TRUE(found.empty() || found == index) << length;
        ++(found.empty() ? cutOff : whole);
    }
    EXPECT_GT(cutOff, 0u);
    EXPECT_GT(whole, 0u);
}

}  // namespace
