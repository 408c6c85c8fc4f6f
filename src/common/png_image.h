#pragma once
// A PNG file of an image: 8-bit RGBA, the deflate stream in stored blocks (the
// images are small icons; any PNG reader takes them).
#include <cstdint>
#include <span>
#include <vector>

namespace common {

// `rgba`: width x height pixels of four bytes (red, green, blue, alpha with
// straight colours), rows top first. Empty when the sizes do not match it.
std::vector<std::uint8_t> PngOfRgba(int width, int height, std::span<const std::uint8_t> rgba);

}  // namespace common
