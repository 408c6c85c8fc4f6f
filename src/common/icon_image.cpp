#include "common/icon_image.h"

#include <algorithm>

#include "common/handles.h"

namespace common {

namespace {

constexpr std::uint32_t kColourBits = 0x00FFFFFF;

void PutPixel(std::vector<std::uint8_t>& out, std::uint32_t bgra, std::uint8_t alpha) {
    out.push_back(static_cast<std::uint8_t>(bgra >> 16));
    out.push_back(static_cast<std::uint8_t>(bgra >> 8));
    out.push_back(static_cast<std::uint8_t>(bgra));
    out.push_back(alpha);
}

// The bitmap's pixels as 32-bit BGRA, rows top first; nothing when it cannot
// be read.
std::optional<std::vector<std::uint32_t>> BitmapPixels(HDC screen, HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    if (GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) != height)
        return std::nullopt;
    return pixels;
}

}  // namespace

RgbaImage IconRgba(int width, int height, std::span<const std::uint32_t> color, std::span<const std::uint32_t> mask) {
    const std::size_t count = static_cast<std::size_t>(width) * height;
    RgbaImage image{width, height, {}};
    image.pixels.reserve(count * 4);
    if (color.empty()) {
        for (std::size_t i = 0; i < count; ++i) {
            const bool keep = (mask[i] & kColourBits) != 0;
            const bool flip = (mask[count + i] & kColourBits) != 0;
            if (keep && !flip) PutPixel(image.pixels, 0, 0);
            else PutPixel(image.pixels, !keep && flip ? kColourBits : 0, 0xFF);
        }
        return image;
    }
    const bool hasAlpha = std::any_of(color.begin(), color.begin() + static_cast<std::ptrdiff_t>(count),
                                      [](std::uint32_t pixel) { return (pixel >> 24) != 0; });
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t alpha = hasAlpha ? static_cast<std::uint8_t>(color[i] >> 24)
                                            : ((mask[i] & kColourBits) != 0 ? 0 : 0xFF);
        PutPixel(image.pixels, color[i] & kColourBits, alpha);
    }
    return image;
}

std::optional<RgbaImage> IconImage(HICON icon) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return std::nullopt;
    const UniqueGdiObject colorBitmap(info.hbmColor);
    const UniqueGdiObject maskBitmap(info.hbmMask);
    BITMAP maskShape{};
    if (!info.hbmMask || !GetObjectW(info.hbmMask, sizeof maskShape, &maskShape)) return std::nullopt;
    const int width = maskShape.bmWidth;
    const int height = info.hbmColor ? maskShape.bmHeight : maskShape.bmHeight / 2;
    if (width <= 0 || height <= 0) return std::nullopt;

    const HDC screen = GetDC(nullptr);
    if (!screen) return std::nullopt;
    std::optional<std::vector<std::uint32_t>> color;
    if (info.hbmColor) color = BitmapPixels(screen, info.hbmColor, width, height);
    const std::optional<std::vector<std::uint32_t>> mask = BitmapPixels(screen, info.hbmMask, width, maskShape.bmHeight);
    ReleaseDC(nullptr, screen);
    if (!mask || (info.hbmColor && !color)) return std::nullopt;
    return IconRgba(width, height, color ? *color : std::vector<std::uint32_t>(), *mask);
}

}  // namespace common
