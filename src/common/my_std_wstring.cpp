#include "common/my_std_wstring.h"

#include <climits>
#include <cstring>

namespace common {

namespace {
constexpr std::uint8_t kMarker[] = {'W', 'S', 'T', 'R'};
// The length field, the 16-bit zero and the marker.
constexpr std::size_t kFrameBytes = 4 + 2 + sizeof(kMarker);
}  // namespace

std::vector<std::uint8_t> CMyStdWString::WriteBlock() const {
    const std::size_t textBytes = text_.size() * 2;
    const auto length = static_cast<std::uint32_t>(textBytes + kFrameBytes);
    std::vector<std::uint8_t> block(length);
    for (std::size_t i = 0; i < 4; ++i) block[i] = static_cast<std::uint8_t>(length >> (8 * i));
    for (std::size_t i = 0; i < text_.size(); ++i) {
        block[4 + 2 * i] = static_cast<std::uint8_t>(text_[i]);
        block[4 + 2 * i + 1] = static_cast<std::uint8_t>(text_[i] >> 8);
    }
    // The zero after the text is already in place.
    std::memcpy(block.data() + length - sizeof(kMarker), kMarker, sizeof(kMarker));
    return block;
}

int CMyStdWString::ReadBlock(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) return -1;
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) length |= std::uint32_t{bytes[i]} << (8 * i);
    // An odd length would leave half a character; the block must lie wholly
    // inside what was given.
    if (length < kFrameBytes || length % 2 != 0 || length > bytes.size() || length > INT_MAX) return -1;
    const std::span<const std::uint8_t> block = bytes.first(length);
    const std::span<const std::uint8_t> tail = block.last(2 + sizeof(kMarker));
    if (tail[0] != 0 || tail[1] != 0 || std::memcmp(tail.data() + 2, kMarker, sizeof(kMarker)) != 0) return -1;

    std::wstring text((length - kFrameBytes) / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(block[4 + 2 * i] | (block[4 + 2 * i + 1] << 8));
    text_ = std::move(text);
    return static_cast<int>(length);
}

}  // namespace common
