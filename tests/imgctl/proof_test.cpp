// Every file the library writes is proved: decoded again by a reader of its own and compared with
// the picture. A wrong first encoding is replaced by the plainest one; two wrong ones write
// nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "imgctl.h"
#include "png_encoder.h"
#include "png_proof.h"
#include "reduce.h"
#include "test_support.h"

using namespace imgctl_test;

namespace {

std::vector<uint8_t> fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ProvedWrite : public ::testing::Test {
protected:
    void TearDown() override { imgctl::testing::corruptNextEncodings(0); }

    const RgbImage photo = textAndPhotoBands(300, 200, 5);
    const DcPicture picture{photo, IMGCTL_FORMAT_RGB24};
    TempFolder folder;
    const std::filesystem::path path = folder.path() / "shot.png";
};

TEST_F(ProvedWrite, AWrongEncodingIsReplacedByThePlainestOne) {
    const intptr_t dib = DCtoDIB(picture.handle(), 0, 0, photo.width, photo.height);
    ASSERT_NE(dib, 0);
    imgctl::testing::corruptNextEncodings(1);
    ASSERT_NE(DIBtoPNG(path.c_str(), dib, 0), 0) << ImgctlError();
    const PngFile png = readPng(path);
    EXPECT_TRUE(png.pixels == photo) << "the file is not the picture";
    EXPECT_EQ(png.filterTypes, std::set<int>{0}) << "not the plainest encoding";

    // The same for a picture in fewer colours, reduced: the palette picture exactly.
    imgctl::testing::corruptNextEncodings(1);
    ASSERT_NE(DIBtoReducedPNG(path.c_str(), dib, 0), 0) << ImgctlError();
    EXPECT_EQ(readPng(path).colourType, 3);
    EXPECT_NE(DeleteDIB(dib), 0);
}

TEST_F(ProvedWrite, TwoWrongEncodingsWriteNothingAndLeaveTheOldFile) {
    const intptr_t dib = DCtoDIB(picture.handle(), 0, 0, photo.width, photo.height);
    ASSERT_NE(dib, 0);
    ASSERT_NE(DIBtoPNG(path.c_str(), dib, 0), 0);
    const std::vector<uint8_t> before = fileBytes(path);
    imgctl::testing::corruptNextEncodings(2);
    EXPECT_EQ(DIBtoPNG(path.c_str(), dib, IMGCTL_OPTION_STRONG), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_PROOF);
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(folder.entries().size(), 1u) << "a temporary file was left";
    EXPECT_NE(DeleteDIB(dib), 0);
}

// The reader itself: a proved file passes, any one bit flipped anywhere in it fails, and pixels
// that differ by one bit fail too. A palette picture and an RGB one.
TEST(PngProof, EveryFlippedBitIsCaught) {
    for (const RgbImage& image : {fewColours(20, 10, 5, 3), noise(12, 8, 4)}) {
        const imgctl::Dib dib{image.width, image.height, image.rgb};
        const std::vector<uint8_t> png = imgctl::encodePng(dib);
        ASSERT_TRUE(imgctl::decodesTo(png, image.width, image.height, image.rgb.data()));
        for (size_t at = 0; at < png.size(); ++at) {
            for (const uint8_t bit : {0x01, 0x80}) {
                std::vector<uint8_t> flipped = png;
                flipped[at] ^= bit;
                EXPECT_FALSE(
                    imgctl::decodesTo(flipped, image.width, image.height, image.rgb.data()))
                    << "byte " << at << " of " << png.size();
            }
        }
        std::vector<uint8_t> other = image.rgb;
        other.back() ^= 1;
        EXPECT_FALSE(imgctl::decodesTo(png, image.width, image.height, other.data()));
    }
    // Every filter type undone as PNG defines it.
    const RgbImage bands = filterBands(40, 9);
    EXPECT_TRUE(imgctl::decodesTo(imgctl::encodePng({bands.width, bands.height, bands.rgb}),
                                  bands.width, bands.height, bands.rgb.data()));
}

}  // namespace
