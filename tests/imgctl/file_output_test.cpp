// How DIBtoPNG treats the file system: it creates or replaces the file whole, and a failure
// leaves nothing behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imgctl.h"
#include "test_support.h"

namespace fs = std::filesystem;
using namespace imgctl_test;

namespace {

class PngFileOutput : public testing::Test {
protected:
    void SetUp() override {
        dib_ = DCtoDIB(picture_.handle(), 0, 0, image_.width, image_.height);
        ASSERT_NE(dib_, 0);
    }
    void TearDown() override { DeleteDIB(dib_); }

    int32_t write(const fs::path& path) { return DIBtoPNG(path.c_str(), dib_, 0); }

    const RgbImage image_ = smooth(64, 48, 4);
    const DcPicture picture_{image_, IMGCTL_FORMAT_BGRX32};
    intptr_t dib_ = 0;
    TempFolder folder_;
};

TEST_F(PngFileOutput, LeavesOnlyTheFinishedFile) {
    const fs::path path = folder_.path() / "shot.png";
    ASSERT_NE(write(path), 0);
    EXPECT_EQ(folder_.entries(), std::vector<fs::path>{path});
    EXPECT_EQ(readPng(path).pixels, image_);
}

TEST_F(PngFileOutput, ReplacesALongerExistingFileWhole) {
    const fs::path path = folder_.path() / "shot.png";
    std::ofstream(path, std::ios::binary) << std::string(1 << 20, 'x');
    ASSERT_NE(write(path), 0);
    EXPECT_LT(fs::file_size(path), 1u << 20);
    EXPECT_EQ(readPng(path).pixels, image_);
    EXPECT_EQ(folder_.entries().size(), 1u);
}

TEST_F(PngFileOutput, WritesTheSameDibAgainAndAgain) {
    const fs::path first = folder_.path() / "first.png";
    const fs::path second = folder_.path() / "second.png";
    ASSERT_NE(write(first), 0);
    ASSERT_NE(write(second), 0);
    EXPECT_EQ(readPng(first).pixels, image_);
    EXPECT_EQ(readPng(second).pixels, image_);
}

// The file is an ordinary new file for its owner's umask, not a private temporary one.
TEST_F(PngFileOutput, GetsPermissionsFromTheUmask) {
    const mode_t previous = ::umask(022);
    const fs::path path = folder_.path() / "shot.png";
    const int32_t written = write(path);
    ::umask(previous);
    ASSERT_NE(written, 0);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

// A bare file name lands in the current folder.
TEST_F(PngFileOutput, WritesARelativeNameIntoTheCurrentFolder) {
    const fs::path previous = fs::current_path();
    fs::current_path(folder_.path());
    const int32_t written = DIBtoPNG("bare.png", dib_, 0);
    fs::current_path(previous);
    ASSERT_NE(written, 0);
    EXPECT_EQ(folder_.entries(), std::vector<fs::path>{folder_.path() / "bare.png"});
    EXPECT_EQ(readPng(folder_.path() / "bare.png").pixels, image_);
}

TEST_F(PngFileOutput, FailsToOpenInAMissingFolder) {
    EXPECT_EQ(write(folder_.path() / "missing" / "shot.png"), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_OPEN_FILE);
    EXPECT_TRUE(folder_.entries().empty());
}

// Tests run as root, so an unwritable target is made of a folder in the file's place.
TEST_F(PngFileOutput, FailsToOpenWhereAFolderHasTheName) {
    const fs::path path = folder_.path() / "shot.png";
    fs::create_directory(path);
    EXPECT_EQ(write(path), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_OPEN_FILE);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(folder_.entries(), std::vector<fs::path>{path});
}

TEST_F(PngFileOutput, FailsToOpenAnEmptyOrFolderPath) {
    for (const std::string& path : {std::string(), folder_.path().string() + "/"}) {
        EXPECT_EQ(DIBtoPNG(path.c_str(), dib_, 0), 0) << path;
        EXPECT_EQ(ImgctlError(), IMGCTL_ERR_OPEN_FILE);
    }
    EXPECT_TRUE(folder_.entries().empty());
}

}  // namespace
