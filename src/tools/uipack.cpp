// Packs the UI documents folder into the program's archive block.
// usage: uipack UI_FOLDER OUTPUT_FILE
//
// Names are relative paths with '/', folded to lower case; files are numbered
// in ascending UTF-16 code-unit order. Text files and icons are LZF-compressed
// (unless that would not make them smaller); images are stored as they are.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ui_archive_format.h"

extern "C" {
#include <lzf.h>
}

namespace fs = std::filesystem;
using namespace engine::archive;

namespace {

struct Item {
    std::u16string name;
    std::vector<std::uint8_t> stored;
    std::uint32_t expandedSize = 0;
};

struct Node {
    char16_t unit;
    std::int16_t lower = -1;
    std::int16_t equal = -1;
    std::int16_t higher = -1;
};

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) throw std::runtime_error("file name is not UTF-8: " + text);
        char32_t cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += length;
    }
    return out;
}

bool IsStoredAsIs(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".png" || ext == ".gif" || ext == ".jpg" || ext == ".jpeg";
}

std::vector<std::uint8_t> ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Item MakeItem(const fs::path& root, const fs::path& file) {
    Item item;
    item.name = Utf8ToUtf16(fs::relative(file, root).generic_string());
    std::transform(item.name.begin(), item.name.end(), item.name.begin(), FoldCase);
    std::vector<std::uint8_t> content = ReadWhole(file);
    if (content.size() > kMaxExpandedSize) throw std::runtime_error("file too large: " + file.string());
    if (!IsStoredAsIs(file) && !content.empty()) {
        std::vector<std::uint8_t> packed(content.size());
        const unsigned int size = lzf_compress(content.data(), static_cast<unsigned int>(content.size()),
                                               packed.data(), static_cast<unsigned int>(packed.size() - 1));
        if (size != 0) {
            packed.resize(size);
            item.stored = std::move(packed);
            item.expandedSize = static_cast<std::uint32_t>(content.size());
            return item;
        }
    }
    item.stored = std::move(content);
    return item;
}

class TreeBuilder {
public:
    const std::vector<Node>& Nodes() const { return nodes_; }

    // Inserting the middle name of each range first keeps the tree shallow.
    void InsertBalanced(const std::vector<Item>& items, std::size_t first, std::size_t last) {
        if (first >= last) return;
        const std::size_t middle = first + (last - first) / 2;
        Insert(items[middle].name, middle + 1);
        InsertBalanced(items, first, middle);
        InsertBalanced(items, middle + 1, last);
    }

private:
    std::int16_t NewNode(char16_t unit) {
        if (nodes_.size() >= kMaxNodes) {
            throw std::runtime_error("the UI folder needs more than " + std::to_string(kMaxNodes) +
                                     " index nodes, more than 16-bit links can address");
        }
        nodes_.push_back({unit});
        return static_cast<std::int16_t>(nodes_.size() - 1);
    }

    static char16_t UnitAt(const std::u16string& name, std::size_t position) {
        return position < name.size() ? name[position] : u'\0';
    }

    void Insert(const std::u16string& name, std::size_t fileNumber) {
        if (nodes_.empty()) NewNode(UnitAt(name, 0));
        std::size_t position = 0;
        std::size_t index = 0;
        for (;;) {
            const char16_t unit = UnitAt(name, position);
            std::int16_t Node::*link;
            if (unit < nodes_[index].unit) {
                link = &Node::lower;
            } else if (unit > nodes_[index].unit) {
                link = &Node::higher;
            } else if (unit == u'\0') {
                nodes_[index].equal = static_cast<std::int16_t>(fileNumber);
                return;
            } else {
                link = &Node::equal;
                ++position;
            }
            if (nodes_[index].*link < 0) {
                const std::int16_t created = NewNode(UnitAt(name, position));
                nodes_[index].*link = created;
            }
            index = static_cast<std::size_t>(nodes_[index].*link);
        }
    }

    std::vector<Node> nodes_;
};

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::vector<std::uint8_t> Pack(const fs::path& root) {
    std::vector<Item> items;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) items.push_back(MakeItem(root, entry.path()));
    }
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.name < b.name; });
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (items[i].name == items[i - 1].name) throw std::runtime_error("two files differ only in letter case");
    }
    if (items.size() > kMaxFiles) throw std::runtime_error("too many files for 16-bit file numbers");

    TreeBuilder tree;
    tree.InsertBalanced(items, 0, items.size());

    std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
    PutU32(out, static_cast<std::uint32_t>(tree.Nodes().size()));
    for (const Node& node : tree.Nodes()) {
        PutU16(out, node.unit);
        PutU16(out, static_cast<std::uint16_t>(node.lower));
        PutU16(out, static_cast<std::uint16_t>(node.equal));
        PutU16(out, static_cast<std::uint16_t>(node.higher));
    }
    PutU32(out, static_cast<std::uint32_t>(items.size()));
    std::uint64_t offset = out.size() + items.size() * kEntrySize;
    for (const Item& item : items) {
        PutU32(out, static_cast<std::uint32_t>(offset));
        PutU32(out, static_cast<std::uint32_t>(item.stored.size()));
        PutU32(out, item.expandedSize);
        offset += item.stored.size();
    }
    if (offset > UINT32_MAX) throw std::runtime_error("archive larger than 4 GiB");
    for (const Item& item : items) out.insert(out.end(), item.stored.begin(), item.stored.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: uipack UI_FOLDER OUTPUT_FILE\n");
        return 2;
    }
    try {
        const std::vector<std::uint8_t> block = Pack(argv[1]);
        const fs::path output = argv[2];
        const fs::path temporary = output.string() + ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
            if (!out) throw std::runtime_error("cannot write " + temporary.string());
        }
        fs::rename(temporary, output);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "uipack: %s\n", error.what());
        return 1;
    }
    return 0;
}
