#pragma once
// The pixels of an icon, for showing it outside the system (as a PNG in a
// page): the colour and transparency of each pixel as the icon draws it.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace common {

struct RgbaImage {
    int width = 0;
    int height = 0;
    // Four bytes a pixel: red, green, blue, alpha (straight), rows top first.
    std::vector<std::uint8_t> pixels;
    bool operator==(const RgbaImage&) const = default;
};

// The image of an icon from its bitmaps, read as 32-bit BGRA pixels, rows top
// first: `color`, width x height, whose alpha bytes are its transparency when
// any is non-zero (else the mask's set pixels are transparent); `mask`,
// width x height. A monochrome icon has no colour bitmap and a mask twice as
// high: the AND half (set: not painted) over the XOR half (set: white, or,
// where the AND half is set too, the inverted screen, shown black).
RgbaImage IconRgba(int width, int height, std::span<const std::uint32_t> color, std::span<const std::uint32_t> mask);

// The image of `icon` at its own size; nothing when its bitmaps cannot be read.
std::optional<RgbaImage> IconImage(HICON icon);

}  // namespace common
