#pragma once
// Read access to the UI archive block compiled into the program.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace engine {

class UiArchive;

struct UiArchiveCloser {
    void operator()(UiArchive* archive) const;
};
using UiArchiveHandle = std::unique_ptr<UiArchive, UiArchiveCloser>;

// Checks the block's layout and answers a handle, or an empty one when the
// block is not a well-formed archive. The block is not copied: it must
// outlive the handle.
UiArchiveHandle OpenArchive(std::span<const std::uint8_t> block);

// The content of the file at `path` (relative to the archive root, any letter
// case), expanded when it is stored compressed. Empty when there is no such
// file or its entry is damaged.
std::vector<std::uint8_t> GetArchiveItem(const UiArchive& archive, std::u16string_view path);

inline void CloseArchive(UiArchiveHandle& archive) { archive.reset(); }

}  // namespace engine
