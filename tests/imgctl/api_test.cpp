// The handle and error rules of the C API: what DCtoDIB, DIBtoPNG and DeleteDIB refuse, and
// how ImgctlError reports it.
#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <thread>

#include "imgctl.h"
#include "test_support.h"

using namespace imgctl_test;

namespace {

TEST(ImgctlVersion, IsOnePointThree) {
    EXPECT_EQ(ImgctlVersion(), 103);
}

// One 20x10 picture shared by the rectangle checks.
class DcToDib : public testing::Test {
protected:
    DcPicture picture_{noise(20, 10, 1), IMGCTL_FORMAT_BGRX32};
};

struct Rect {
    int32_t x, y, width, height;
};

std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << r.x << "," << r.y << " " << r.width << "x" << r.height;
}

class DcToDibRefusesRectangle : public DcToDib, public testing::WithParamInterface<Rect> {};

TEST_P(DcToDibRefusesRectangle, AsBadArgument) {
    const Rect r = GetParam();
    EXPECT_EQ(DCtoDIB(picture_.handle(), r.x, r.y, r.width, r.height), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_ARGUMENT);
}

INSTANTIATE_TEST_SUITE_P(OutsideOrEmpty, DcToDibRefusesRectangle,
                         testing::Values(Rect{1, 0, 20, 10}, Rect{0, 1, 20, 10}, Rect{-1, 0, 5, 5},
                                         Rect{0, -1, 5, 5}, Rect{20, 0, 1, 1}, Rect{0, 10, 1, 1},
                                         Rect{0, 0, 0, 5}, Rect{0, 0, 5, 0}, Rect{0, 0, -5, 5},
                                         Rect{0, 0, 5, -5}, Rect{INT32_MAX, 0, INT32_MAX, 1},
                                         Rect{5, 0, INT32_MAX, 1}, Rect{0, 5, 1, INT32_MAX}));

TEST_F(DcToDib, AcceptsRectanglesReachingTheEdges) {
    for (const Rect r : {Rect{0, 0, 20, 10}, Rect{19, 9, 1, 1}, Rect{0, 9, 20, 1}}) {
        const intptr_t dib = DCtoDIB(picture_.handle(), r.x, r.y, r.width, r.height);
        EXPECT_NE(dib, 0) << r;
        EXPECT_NE(DeleteDIB(dib), 0);
    }
}

TEST_F(DcToDib, RefusesANullDeviceContext) {
    EXPECT_EQ(DCtoDIB(0, 0, 0, 1, 1), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_HANDLE);

    ImgctlDC noPixels = picture_.dc();
    noPixels.pixels = nullptr;
    EXPECT_EQ(DCtoDIB(reinterpret_cast<intptr_t>(&noPixels), 0, 0, 1, 1), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_HANDLE);
}

TEST_F(DcToDib, RefusesAMalformedDeviceContext) {
    const ImgctlDC good = picture_.dc();
    ImgctlDC narrowStride = good;
    narrowStride.stride = good.width * 4 - 1;
    ImgctlDC rgbNarrowStride = good;
    rgbNarrowStride.format = IMGCTL_FORMAT_RGB24;
    rgbNarrowStride.stride = good.width * 3 - 1;
    ImgctlDC unknownFormat = good;
    unknownFormat.format = 3;
    ImgctlDC noWidth = good;
    noWidth.width = 0;
    ImgctlDC negativeHeight = good;
    negativeHeight.height = -10;
    for (const ImgctlDC& dc :
         {narrowStride, rgbNarrowStride, unknownFormat, noWidth, negativeHeight}) {
        EXPECT_EQ(DCtoDIB(reinterpret_cast<intptr_t>(&dc), 0, 0, 1, 1), 0);
        EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_ARGUMENT);
    }
}

TEST_F(DcToDib, GivesEachDibItsOwnHandleAndNeverReusesOne) {
    const intptr_t first = DCtoDIB(picture_.handle(), 0, 0, 4, 4);
    const intptr_t second = DCtoDIB(picture_.handle(), 0, 0, 4, 4);
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_NE(DeleteDIB(first), 0);
    const intptr_t third = DCtoDIB(picture_.handle(), 0, 0, 4, 4);
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
    EXPECT_NE(DeleteDIB(second), 0);
    EXPECT_NE(DeleteDIB(third), 0);
}

class DibHandles : public testing::Test {
protected:
    intptr_t deletedDib() {
        const intptr_t dib = DCtoDIB(picture_.handle(), 0, 0, 2, 2);
        EXPECT_NE(DeleteDIB(dib), 0);
        return dib;
    }

    DcPicture picture_{noise(4, 4, 2), IMGCTL_FORMAT_RGB24};
    TempFolder folder_;
};

TEST_F(DibHandles, DibToPngRefusesUnknownHandlesAndWritesNothing) {
    const auto path = folder_.path() / "never.png";
    for (const intptr_t dib : {intptr_t{0}, intptr_t{-1}, deletedDib()}) {
        EXPECT_EQ(DIBtoPNG(path.c_str(), dib, 0), 0) << dib;
        EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_HANDLE);
    }
    EXPECT_TRUE(folder_.entries().empty());
}

TEST_F(DibHandles, DeleteDibReleasesOnlyOnce) {
    const intptr_t dib = DCtoDIB(picture_.handle(), 0, 0, 2, 2);
    ASSERT_NE(dib, 0);
    EXPECT_NE(DeleteDIB(dib), 0);
    EXPECT_EQ(DeleteDIB(dib), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_HANDLE);
    EXPECT_EQ(DeleteDIB(0), 0);
}

TEST_F(DibHandles, DibToPngRefusesANullPathAndUnknownOptions) {
    const intptr_t dib = DCtoDIB(picture_.handle(), 0, 0, 2, 2);
    ASSERT_NE(dib, 0);
    EXPECT_EQ(DIBtoPNG(nullptr, dib, 0), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_ARGUMENT);
    const auto path = folder_.path() / "options.png";
    EXPECT_EQ(DIBtoPNG(path.c_str(), dib, 2), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_ARGUMENT);
    EXPECT_EQ(DIBtoPNG(path.c_str(), dib, IMGCTL_OPTION_STRONG | 4), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(folder_.entries().empty());
    EXPECT_NE(DeleteDIB(dib), 0);
}

// ImgctlError reports the last failed call of the calling thread: successful calls leave it
// alone, reading it does not clear it, and other threads neither see nor change it.
TEST(ImgctlErrorCode, StartsAsOkOnEveryThread) {
    int32_t code = -1;
    std::thread([&] { code = ImgctlError(); }).join();
    EXPECT_EQ(code, IMGCTL_OK);
}

TEST(ImgctlErrorCode, KeepsTheLastFailureThroughLaterSuccesses) {
    EXPECT_EQ(DeleteDIB(0), 0);
    const DcPicture picture(noise(2, 2, 3), IMGCTL_FORMAT_RGB24);
    const intptr_t dib = DCtoDIB(picture.handle(), 0, 0, 2, 2);
    ASSERT_NE(dib, 0);
    EXPECT_NE(DeleteDIB(dib), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_HANDLE);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_HANDLE);

    EXPECT_EQ(DCtoDIB(picture.handle(), 0, 0, 3, 3), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_ARGUMENT);
}

TEST(ImgctlErrorCode, BelongsToTheFailingThread) {
    EXPECT_EQ(DeleteDIB(0), 0);
    int32_t seenByOther = -1;
    int32_t afterOwnFailure = -1;
    std::thread([&] {
        seenByOther = ImgctlError();
        const DcPicture picture(noise(2, 2, 3), IMGCTL_FORMAT_RGB24);
        DCtoDIB(picture.handle(), 0, 0, 0, 0);
        afterOwnFailure = ImgctlError();
    }).join();
    EXPECT_EQ(seenByOther, IMGCTL_OK);
    EXPECT_EQ(afterOwnFailure, IMGCTL_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_BAD_HANDLE);
}

}  // namespace
