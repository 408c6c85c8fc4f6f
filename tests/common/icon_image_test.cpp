#include "common/icon_image.h"

#include <gtest/gtest.h>

#include "common/handles.h"

namespace {

using common::RgbaImage;

constexpr std::uint32_t kSet = 0x00FFFFFF;  // a mask pixel read as 32 bits

TEST(IconImage, TransparencyComesFromTheAlphaBytesElseFromTheMask) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> color;
        std::vector<std::uint32_t> mask;
        std::vector<std::uint8_t> rgba;
    };
    const Case cases[] = {
        {"alpha bytes, the mask ignored",
         {0x80102030, 0x00405060},
         {kSet, 0},
         {0x10, 0x20, 0x30, 0x80, 0x40, 0x50, 0x60, 0x00}},
        {"no alpha byte: the mask's set pixels are transparent",
         {0x00102030, 0x00405060},
         {kSet, 0},
         {0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0xFF}},
        // Monochrome: AND over XOR, two pixels a half.
        {"monochrome, painted black and white", {}, {0, 0, 0, kSet}, {0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"monochrome, screen and inverted screen", {}, {kSet, kSet, 0, kSet}, {0, 0, 0, 0, 0, 0, 0, 0xFF}},
    };
    for (const Case& c : cases) EXPECT_EQ(common::IconRgba(2, 1, c.color, c.mask), (RgbaImage{2, 1, c.rgba})) << c.what;
}

// An icon made from a 32-bit colour bitmap with alpha and an empty mask.
common::UniqueIcon MakeIcon(int width, int height, const std::vector<std::uint32_t>& bgra) {
    const common::UniqueGdiObject color(CreateBitmap(width, height, 1, 32, bgra.data()));
    const std::vector<std::uint8_t> maskBits(static_cast<std::size_t>((width + 15) / 16 * 2) * height, 0);
    const common::UniqueGdiObject mask(CreateBitmap(width, height, 1, 1, maskBits.data()));
    if (!color || !mask) return {};
    ICONINFO icon{TRUE, 0, 0, static_cast<HBITMAP>(mask.get()), static_cast<HBITMAP>(color.get())};
    return common::UniqueIcon(CreateIconIndirect(&icon));
}

TEST(IconImage, AnIconIsReadAtItsSizeWithItsColoursAndAlpha) {
    std::vector<std::uint32_t> bgra(32 * 32);
    for (std::size_t i = 0; i < bgra.size(); ++i) bgra[i] = i % 3 == 0 ? 0 : 0xFF000000u | static_cast<std::uint32_t>(i);
    const common::UniqueIcon icon = MakeIcon(32, 32, bgra);
    ASSERT_TRUE(icon);
    const std::optional<RgbaImage> image = common::IconImage(icon.get());
    ASSERT_TRUE(image);
    EXPECT_EQ(*image, common::IconRgba(32, 32, bgra, std::vector<std::uint32_t>(32 * 32, 0)));
    EXPECT_EQ(image->pixels[4 * 1 + 3], 0xFF);
    EXPECT_EQ(image->pixels[4 * 3 + 3], 0x00);
    EXPECT_FALSE(common::IconImage(nullptr));
}

}  // namespace
