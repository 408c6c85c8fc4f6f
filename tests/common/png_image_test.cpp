#include "common/png_image.h"

#include <gtest/gtest.h>

#include "support/png_reader.h"

namespace {

// Every pixel different, alpha included.
std::vector<std::uint8_t> Gradient(int width, int height) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rgba.insert(rgba.end(), {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                     static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(255 - (x + y) % 256)});
    return rgba;
}

TEST(PngImage, TheSystemsDecoderReadsBackEveryPixel) {
    struct Case {
        int width;
        int height;
    };
    // 200 x 100 needs more than one stored block.
    for (const Case c : {Case{1, 1}, Case{3, 2}, Case{32, 32}, Case{200, 100}}) {
        const std::vector<std::uint8_t> rgba = Gradient(c.width, c.height);
        const std::vector<std::uint8_t> png = common::PngOfRgba(c.width, c.height, rgba);
        const std::optional<common::RgbaImage> read = testsupport::ReadPng(png);
        ASSERT_TRUE(read) << c.width << " x " << c.height;
        EXPECT_EQ(*read, (common::RgbaImage{c.width, c.height, rgba})) << c.width << " x " << c.height;
    }
}

TEST(PngImage, PixelsThatDoNotMatchTheSizeGiveNoFile) {
    EXPECT_TRUE(common::PngOfRgba(2, 2, std::vector<std::uint8_t>(15)).empty());
    EXPECT_TRUE(common::PngOfRgba(0, 0, {}).empty());
    EXPECT_TRUE(common::PngOfRgba(-1, 4, std::vector<std::uint8_t>(16)).empty());
}

}  // namespace
