#pragma once
// PNG files read back through the system's image decoder (WIC), so that what
// the program writes is checked by a reader other than its own.
#include <cstdint>
#include <optional>
#include <span>

#include "common/icon_image.h"

namespace testsupport {

// The image, as straight RGBA rows top first; nothing when it does not decode.
std::optional<common::RgbaImage> ReadPng(std::span<const std::uint8_t> png);

}  // namespace testsupport
