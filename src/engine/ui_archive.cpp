#include "engine/ui_archive.h"

#include <algorithm>

#include "engine/ui_archive_format.h"

extern "C" {
#include <lzf.h>
}

namespace engine {

namespace {

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct Node {
    char16_t unit;
    std::int16_t lower;
    std::int16_t equal;
    std::int16_t higher;
};

struct Entry {
    std::uint32_t offset;
    std::uint32_t storedSize;
    std::uint32_t expandedSize;
};

}  // namespace

class UiArchive {
public:
    UiArchive(std::span<const std::uint8_t> block, std::span<const std::uint8_t> nodes,
              std::span<const std::uint8_t> entries)
        : block_(block), nodes_(nodes), entries_(entries) {}

    std::size_t NodeCount() const { return nodes_.size() / archive::kNodeSize; }
    std::size_t FileCount() const { return entries_.size() / archive::kEntrySize; }

    Node NodeAt(std::size_t index) const {
        const std::uint8_t* p = nodes_.data() + index * archive::kNodeSize;
        return {static_cast<char16_t>(ReadU16(p)), static_cast<std::int16_t>(ReadU16(p + 2)),
                static_cast<std::int16_t>(ReadU16(p + 4)), static_cast<std::int16_t>(ReadU16(p + 6))};
    }

    Entry EntryAt(std::size_t index) const {
        const std::uint8_t* p = entries_.data() + index * archive::kEntrySize;
        return {ReadU32(p), ReadU32(p + 4), ReadU32(p + 8)};
    }

    std::span<const std::uint8_t> Block() const { return block_; }

private:
    std::span<const std::uint8_t> block_;
    std::span<const std::uint8_t> nodes_;
    std::span<const std::uint8_t> entries_;
};

void UiArchiveCloser::operator()(UiArchive* archive) const { delete archive; }

UiArchiveHandle OpenArchive(std::span<const std::uint8_t> block) {
    if (block.size() < archive::kHeaderSize ||
        !std::equal(std::begin(archive::kMagic), std::end(archive::kMagic), block.begin())) {
        return {};
    }
    // Sizes are checked in 64-bit arithmetic so no count can wrap around.
    const std::uint64_t nodeCount = ReadU32(block.data() + 4);
    const std::uint64_t nodesEnd = archive::kHeaderSize + nodeCount * archive::kNodeSize;
    if (nodeCount > archive::kMaxNodes || nodesEnd + 4 > block.size()) return {};
    const std::uint64_t fileCount = ReadU32(block.data() + nodesEnd);
    const std::uint64_t entriesEnd = nodesEnd + 4 + fileCount * archive::kEntrySize;
    if (fileCount > archive::kMaxFiles || entriesEnd > block.size()) return {};
    return UiArchiveHandle(new UiArchive(block, block.subspan(archive::kHeaderSize, nodesEnd - archive::kHeaderSize),
                                         block.subspan(nodesEnd + 4, entriesEnd - nodesEnd - 4)));
}

namespace {

// 1-based file number of `path`, or 0. A damaged tree (links out of range or
// in a cycle) ends the walk: every step visits a node, and a sound walk never
// needs more steps than there are nodes.
std::size_t FindFileNumber(const UiArchive& archive, std::u16string_view path) {
    const std::size_t nodeCount = archive.NodeCount();
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return 0;
    std::size_t position = 0;
    std::int32_t index = 0;
    for (std::size_t steps = 0; steps < nodeCount && index >= 0 && static_cast<std::size_t>(index) < nodeCount;
         ++steps) {
        const Node node = archive.NodeAt(static_cast<std::size_t>(index));
        const char16_t unit = position < path.size() ? archive::FoldCase(path[position]) : u'\0';
        if (unit < node.unit) {
            index = node.lower;
        } else if (unit > node.unit) {
            index = node.higher;
        } else if (unit == u'\0') {
            return node.equal > 0 && static_cast<std::size_t>(node.equal) <= archive.FileCount()
                       ? static_cast<std::size_t>(node.equal)
                       : 0;
        } else {
            index = node.equal;
            ++position;
        }
    }
    return 0;
}

}  // namespace

std::vector<std::uint8_t> GetArchiveItem(const UiArchive& archive, std::u16string_view path) {
    const std::size_t number = FindFileNumber(archive, path);
    if (number == 0) return {};
    const Entry entry = archive.EntryAt(number - 1);
    const std::span<const std::uint8_t> block = archive.Block();
    if (static_cast<std::uint64_t>(entry.offset) + entry.storedSize > block.size()) return {};
    const std::span<const std::uint8_t> stored = block.subspan(entry.offset, entry.storedSize);
    if (entry.expandedSize == 0) return {stored.begin(), stored.end()};
    if (entry.expandedSize > archive::kMaxExpandedSize || stored.empty()) return {};
    std::vector<std::uint8_t> expanded(entry.expandedSize);
    const unsigned int produced =
        lzf_decompress(stored.data(), static_cast<unsigned int>(stored.size()), expanded.data(),
                       static_cast<unsigned int>(expanded.size()));
    if (produced != entry.expandedSize) return {};
    return expanded;
}

}  // namespace engine
