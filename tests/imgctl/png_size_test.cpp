// The encoder picks its filtering band by band and never writes a picture larger than libpng
// (level 6, its default filters) writes it; the stronger option writes no larger than the normal
// one. Every file still decodes to the source pixels.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "imgctl.h"
#include "test_support.h"

using namespace imgctl_test;

namespace {

// A rendered vector wallpaper: broad soft waves of colour without grain, as desktop themes draw
// them; long runs of slowly changing pixels that deflate matches across rows.
RgbImage softWaves(int width, int height) {
    RgbImage image = smooth(width, height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &image.rgb[(size_t(y) * width + x) * 3];
            const double wave = std::sin(x / 97.0 + y / 53.0) + std::sin(y / 71.0 - x / 151.0);
            p[0] = uint8_t(60 + 25 * wave);
            p[1] = uint8_t(110 + 40 * wave + y * 40 / height);
            p[2] = uint8_t(150 + 30 * wave);
        }
    }
    return image;
}

// The size libpng's simplified writer gives the picture: zlib level 6, every filter adaptively.
size_t libpngSize(const RgbImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = uint32_t(image.width);
    png.height = uint32_t(image.height);
    png.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&png, nullptr, &size, 0, image.rgb.data(), 0, nullptr));
    return size;
}

class PngSize : public testing::Test {
protected:
    // Writes the picture with the options; returns the file's size after checking its pixels.
    size_t write(const RgbImage& image, int32_t options, std::set<int>* filterTypes = nullptr) {
        const DcPicture picture(image, IMGCTL_FORMAT_BGRX32);
        const intptr_t dib = DCtoDIB(picture.handle(), 0, 0, image.width, image.height);
        EXPECT_NE(dib, 0);
        const auto path = folder_.path() / ("picture-" + std::to_string(options) + ".png");
        EXPECT_NE(DIBtoPNG(path.c_str(), dib, options), 0) << "error " << ImgctlError();
        EXPECT_NE(DeleteDIB(dib), 0);
        const PngFile png = readPng(path);
        EXPECT_EQ(png.pixels, image);
        if (filterTypes) *filterTypes = png.filterTypes;
        return std::filesystem::file_size(path);
    }

    TempFolder folder_;
};

TEST_F(PngSize, TextBandsStayUnfilteredAndPhotoBandsAreFiltered) {
    const RgbImage image = textAndPhotoBands(640, 480, 3);
    std::set<int> types;
    write(image, 0, &types);
    EXPECT_TRUE(types.count(0)) << "no band kept its rows unfiltered";
    EXPECT_GT(types.size(), 1u) << "no band was filtered";
}

// A full-HD screen is compressed in pieces on a machine of two processors or more: joined, they
// still decode to the picture, and the bands each thread chose still beat libpng.
TEST_F(PngSize, FullHdScreensInPiecesDecodeExactlyAndStaySmall) {
    for (const auto& [name, image] : {std::pair{"text and photo", textAndPhotoBands(1920, 1080, 4)},
                                      std::pair{"grainy clouds", grainyClouds(1920, 1080, 2)}}) {
        SCOPED_TRACE(name);
        EXPECT_LE(write(image, 0), libpngSize(image));
    }
}

TEST_F(PngSize, NeverLargerThanLibpngAndStrongNeverLargerThanNormal) {
    const std::pair<const char*, RgbImage> pictures[] = {
        {"text and photo", textAndPhotoBands(640, 480, 5)},
        {"photo", smooth(640, 480, 6)},
        {"grainy clouds", grainyClouds(640, 480, 1)},
        {"noise", noise(300, 200, 7)},
        {"few colours", fewColours(640, 480, 40, 8)},
        {"soft waves", softWaves(640, 360)},
        {"text over soft waves",
         [] {
             RgbImage image = softWaves(640, 360);
             const RgbImage text = textAndPhotoBands(640, 360, 9);
             for (size_t i = 0; i < image.rgb.size() / 2; ++i) image.rgb[i] = text.rgb[i];
             return image;
         }()},
    };
    for (const auto& [name, image] : pictures) {
        SCOPED_TRACE(name);
        const size_t normal = write(image, 0);
        const size_t strong = write(image, IMGCTL_OPTION_STRONG);
        EXPECT_LE(normal, libpngSize(image));
        EXPECT_LE(strong, normal);
    }
}

}  // namespace
