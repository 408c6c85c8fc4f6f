#pragma once
// Byte layout of the UI archive ("SAr"), shared by the packer that writes it
// on the build machine and the reader inside the program. All integers are
// little-endian.
//
//   0        magic "SAr\0"
//   4        N, number of index nodes
//   8        N nodes of 8 bytes: code unit, lower, equal, higher (16-bit;
//            links are signed node indices, -1 for none; in a node whose code
//            unit is 0, equal holds the 1-based file number)
//   8+8N     M, number of files
//   12+8N    M entries of 12 bytes: data offset, stored size, expanded size
//            (0: stored as is; else LZF data expanding to that many bytes)
//   ...      file data in file order
//
// The nodes form a ternary search tree over the names: relative paths with
// '/' as separator, in lower case, numbered in ascending code-unit order.
#include <cstddef>
#include <cstdint>

namespace engine::archive {

inline constexpr std::uint8_t kMagic[4] = {0x53, 0x41, 0x72, 0x00};
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kNodeSize = 8;
inline constexpr std::size_t kEntrySize = 12;
// Node links and file numbers are 16-bit signed.
inline constexpr std::size_t kMaxNodes = 32767;
inline constexpr std::size_t kMaxFiles = 32767;
// No document of the program comes near this; a larger claim is corruption.
inline constexpr std::uint32_t kMaxExpandedSize = 64u << 20;

// Names are stored folded and looked up folded, so letter case never matters.
// Only ASCII letters fold: every name of the archive is ASCII but for letters
// that have no case.
constexpr char16_t FoldCase(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

}  // namespace engine::archive
