// The reduced picture: 256 dithered colours that decode to exactly the palette picture made,
// close to the source, and the halving that comes before it when asked.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "failure.h"
#include "imgctl.h"
#include "png_encoder.h"
#include "reduce.h"
#include "test_support.h"

using namespace imgctl_test;

namespace {

imgctl::Dib dibOf(const RgbImage& image) {
    return imgctl::Dib{image.width, image.height, image.rgb};
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double squares = 0;
    for (size_t i = 0; i < a.size(); ++i) squares += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return 10 * std::log10(255.0 * 255.0 * double(a.size()) / squares);
}

PngFile written(const TempFolder& folder, const std::vector<uint8_t>& bytes) {
    const auto path = folder.path() / "reduced.png";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return readPng(path);
}

TEST(ReducedPicture, DecodesToExactlyThePalettePictureMadeAndStaysCloseToTheSource) {
    const RgbImage photo = smooth(320, 200, 7);
    const imgctl::IndexedImage made = imgctl::quantized(dibOf(photo));
    ASSERT_LE(made.palette.size(), 256u);
    ASSERT_GT(made.palette.size(), 16u) << "a photograph keeps many colours";

    RgbImage expected{photo.width, photo.height, {}};
    for (const uint8_t index : made.indices) {
        ASSERT_LT(index, made.palette.size());
        const uint32_t c = made.palette[index];
        expected.rgb.insert(expected.rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
    TempFolder folder;
    const PngFile png = written(folder, imgctl::encodeIndexedPng(photo.width, photo.height, made));
    EXPECT_EQ(png.colourType, 3);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.chunkTypes, (std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}))
        << "an opaque picture has no transparency to write";
    EXPECT_TRUE(png.pixels == expected) << "the file is not the palette picture that was made";
    EXPECT_GE(psnr(expected.rgb, photo.rgb), 30.0) << "dithered, the colours stay close";
}

TEST(ReducedPicture, HalvingAveragesEachTwoByTwoAndDropsAnOddEdge) {
    // 5x3: the last column and row have no partner and go.
    RgbImage image{5, 3, {}};
    for (int i = 0; i < 15; ++i) image.rgb.insert(image.rgb.end(), {uint8_t(i * 10), 0, 255});
    const imgctl::Dib half = imgctl::halved(dibOf(image));
    ASSERT_EQ(half.width, 2);
    ASSERT_EQ(half.height, 1);
    // Pixels 0, 1, 5, 6 -> (0 + 10 + 50 + 60) / 4 = 30; pixels 2, 3, 7, 8 -> 50.
    EXPECT_EQ(half.rgb, (std::vector<uint8_t>{30, 0, 255, 50, 0, 255}));
    EXPECT_THROW(imgctl::halved(dibOf(RgbImage{1, 5, std::vector<uint8_t>(15)})), imgctl::Failure);
}

// Through the C entry point: the halved file's size, and a failing quantiser's own error code
// with nothing left at the path.
TEST(ReducedPicture, WrittenByTheLibraryHalvedOrNotAndAFailedQuantiserLeavesNothing) {
    const RgbImage photo = smooth(301, 201, 3);
    const DcPicture picture(photo, IMGCTL_FORMAT_RGB24);
    const intptr_t dib = DCtoDIB(picture.handle(), 0, 0, photo.width, photo.height);
    ASSERT_NE(dib, 0);
    TempFolder folder;
    const auto path = folder.path() / "reduced.png";
    ASSERT_NE(DIBtoReducedPNG(path.c_str(), dib, IMGCTL_OPTION_HALF), 0);
    const PngFile half = readPng(path);
    EXPECT_EQ(half.width, 150u);
    EXPECT_EQ(half.height, 100u);
    EXPECT_EQ(half.colourType, 3);
    EXPECT_EQ(DIBtoReducedPNG(path.c_str(), dib, 4), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_ARGUMENT);

    std::filesystem::remove(path);
    imgctl::testing::failQuantizer(true);
    EXPECT_EQ(DIBtoReducedPNG(path.c_str(), dib, 0), 0);
    imgctl::testing::failQuantizer(false);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_QUANTIZE);
    EXPECT_TRUE(folder.entries().empty());
    EXPECT_NE(DIBtoReducedPNG(path.c_str(), dib, 0), 0) << "the quantiser works again";
    EXPECT_NE(DeleteDIB(dib), 0);
}

}  // namespace
