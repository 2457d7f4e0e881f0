// Every PNG written must decode to exactly the pixels of the rectangle it was made from.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "imgctl.h"
#include "test_support.h"

using namespace imgctl_test;

namespace {

constexpr int kRgb = 2;
constexpr int kIndexed = 3;

class PngRoundTrip : public testing::Test {
protected:
    // Copies the rectangle out of the picture, writes it and reads the file back.
    PngFile write(const DcPicture& picture, int x, int y, int width, int height) {
        const intptr_t dib = DCtoDIB(picture.handle(), x, y, width, height);
        EXPECT_NE(dib, 0) << "DCtoDIB error " << ImgctlError();
        const auto path = folder_.path() / "picture.png";
        EXPECT_NE(DIBtoPNG(path.c_str(), dib, 0), 0) << "DIBtoPNG error " << ImgctlError();
        EXPECT_NE(DeleteDIB(dib), 0);
        return readPng(path);
    }

    PngFile write(const RgbImage& image, int32_t format = IMGCTL_FORMAT_BGRX32) {
        return write(DcPicture(image, format), 0, 0, image.width, image.height);
    }

    TempFolder folder_;
};

// Odd sizes, single rows and columns, with content for each encoding path.
using Size = std::pair<int, int>;
using SizeCase = std::tuple<Size, std::string>;
class PngRoundTripSizes : public PngRoundTrip, public testing::WithParamInterface<SizeCase> {};

RgbImage contentFor(const std::string& kind, int width, int height) {
    if (kind == "noise") return noise(width, height, 7);
    if (kind == "smooth") return smooth(width, height, 7);
    return fewColours(width, height, 5, 7);
}

TEST_P(PngRoundTripSizes, DecodesToTheSourcePixels) {
    const auto& [size, kind] = GetParam();
    const auto [width, height] = size;
    const RgbImage image = contentFor(kind, width, height);
    const PngFile png = write(image);
    EXPECT_EQ(png.width, uint32_t(width));
    EXPECT_EQ(png.height, uint32_t(height));
    EXPECT_EQ(png.pixels, image);
}

INSTANTIATE_TEST_SUITE_P(OddSizes, PngRoundTripSizes,
                         testing::Combine(testing::Values(Size{1, 1}, Size{3, 5}, Size{257, 131},
                                                          Size{1, 1000}, Size{1000, 1}, Size{2, 2}),
                                          testing::Values("noise", "smooth", "few")),
                         [](const auto& sizeAndKind) {
                             const Size size = std::get<0>(sizeAndKind.param);
                             return std::to_string(size.first) + "x" + std::to_string(size.second) +
                                    "_" + std::get<1>(sizeAndKind.param);
                         });

// Up to 256 colours go into a palette with the fewest bits per pixel that hold it; width 13
// leaves a partly filled last byte in every row at 1, 2 and 4 bits.
struct PaletteCase {
    int colours;
    int colourType;
    int bitDepth;
};
std::ostream& operator<<(std::ostream& out, const PaletteCase& c) {
    return out << c.colours << " colours";
}
class PngPalette : public PngRoundTrip, public testing::WithParamInterface<PaletteCase> {};

TEST_P(PngPalette, UsesTheSmallestLosslessLayout) {
    const PaletteCase c = GetParam();
    const RgbImage image = fewColours(13, 41, c.colours, 3);
    const PngFile png = write(image);
    EXPECT_EQ(png.colourType, c.colourType);
    EXPECT_EQ(png.bitDepth, c.bitDepth);
    EXPECT_EQ(png.pixels, image);
}

INSTANTIATE_TEST_SUITE_P(ColourCounts, PngPalette,
                         testing::Values(PaletteCase{1, kIndexed, 1}, PaletteCase{2, kIndexed, 1},
                                         PaletteCase{3, kIndexed, 2}, PaletteCase{4, kIndexed, 2},
                                         PaletteCase{5, kIndexed, 4}, PaletteCase{16, kIndexed, 4},
                                         PaletteCase{17, kIndexed, 8},
                                         PaletteCase{256, kIndexed, 8}, PaletteCase{257, kRgb, 8}),
                         [](const auto& palette) {
                             return std::to_string(palette.param.colours) + "colours";
                         });

TEST_F(PngRoundTrip, NoisePictureIsStoredAsRgb) {
    const RgbImage image = noise(257, 131, 11);
    const PngFile png = write(image);
    EXPECT_EQ(png.colourType, kRgb);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.pixels, image);
}

// Incompressible pictures of more than a megabyte need several IDAT chunks.
TEST_F(PngRoundTrip, LargeNoisePictureSpansSeveralDataChunks) {
    const RgbImage image = noise(700, 600, 13);
    const PngFile png = write(image);
    EXPECT_GT(std::count(png.chunkTypes.begin(), png.chunkTypes.end(), "IDAT"), 1);
    EXPECT_EQ(png.pixels, image);
}

// The check on the filter types makes sure the picture really exercises all five filters.
TEST_F(PngRoundTrip, EveryRowFilterDecodesExactly) {
    const RgbImage image = filterBands(64, 5);
    const PngFile png = write(image);
    EXPECT_EQ(png.colourType, kRgb);
    EXPECT_EQ(png.filterTypes, (std::set<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(png.pixels, image);
}

// A rectangle inside a larger picture whose rows carry padding, in both pixel formats.
class PngSubRectangle : public PngRoundTrip, public testing::WithParamInterface<int32_t> {};

TEST_P(PngSubRectangle, HoldsExactlyTheRectangle) {
    for (const RgbImage& image : {noise(50, 40, 21), smooth(50, 40, 21)}) {
        const DcPicture picture(image, GetParam(), 12);
        const PngFile png = write(picture, 7, 5, 31, 23);
        EXPECT_EQ(png.width, 31u);
        EXPECT_EQ(png.height, 23u);
        EXPECT_EQ(png.pixels, crop(image, 7, 5, 31, 23));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PngSubRectangle,
                         testing::Values(IMGCTL_FORMAT_BGRX32, IMGCTL_FORMAT_RGB24),
                         [](const auto& format) {
                             return format.param == IMGCTL_FORMAT_BGRX32 ? "BGRX32" : "RGB24";
                         });

TEST_F(PngRoundTrip, DibKeepsItsOwnCopyOfThePixels) {
    const RgbImage image = smooth(40, 30, 9);
    DcPicture picture(image, IMGCTL_FORMAT_RGB24);
    const intptr_t dib = DCtoDIB(picture.handle(), 0, 0, 40, 30);
    ASSERT_NE(dib, 0);
    std::fill(picture.bytes().begin(), picture.bytes().end(), 0);  // the screen changes
    const auto path = folder_.path() / "copy.png";
    ASSERT_NE(DIBtoPNG(path.c_str(), dib, 0), 0);
    EXPECT_NE(DeleteDIB(dib), 0);
    EXPECT_EQ(readPng(path).pixels, image);
}

}  // namespace
