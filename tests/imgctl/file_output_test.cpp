// How DIBtoPNG treats the file system: it creates or replaces the file whole, and a failure
// leaves nothing behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// A folder in the file's place is left alone and named as no file.
TEST_F(PngFileOutput, FailsWhereAFolderHasTheName) {
    const fs::path path = folder_.path() / "shot.png";
    fs::create_directory(path);
    EXPECT_EQ(write(path), 0);
    EXPECT_EQ(ImgctlError(), IMGCTL_ERR_NOT_A_FILE);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(folder_.entries(), std::vector<fs::path>{path});
}

// A link stays a link: the file it points at gets the picture, wherever it lies, and a link
// that points at nothing yet makes its file.
TEST_F(PngFileOutput, FollowsSymbolicLinksToTheirFile) {
    const TempFolder elsewhere;
    const fs::path file = elsewhere.path() / "real.png";
    std::ofstream(file, std::ios::binary) << "old";
    const fs::path direct = folder_.path() / "direct.png";
    const fs::path chained = folder_.path() / "chained.png";
    const fs::path dangling = folder_.path() / "dangling.png";
    fs::create_symlink(file, direct);
    fs::create_symlink("direct.png", chained);  // relative to the link's folder
    fs::create_symlink("made.png", dangling);

    ASSERT_NE(write(chained), 0) << ImgctlError();
    EXPECT_TRUE(fs::is_symlink(direct));
    EXPECT_TRUE(fs::is_symlink(chained));
    EXPECT_EQ(readPng(file).pixels, image_);
    EXPECT_EQ(elsewhere.entries(), std::vector<fs::path>{file});

    ASSERT_NE(write(dangling), 0) << ImgctlError();
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(readPng(folder_.path() / "made.png").pixels, image_);
    EXPECT_EQ(folder_.entries().size(), 4u) << "three links and the file made, nothing else";
}

TEST_F(PngFileOutput, KeepsTheModeAndOwnerOfAReplacedFile) {
    const fs::path path = folder_.path() / "private.png";
    std::ofstream(path, std::ios::binary) << "old";
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }

    const mode_t previous = ::umask(022);
    const int32_t written = write(path);
    ::umask(previous);

    ASSERT_NE(written, 0) << ImgctlError();
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
    }
    EXPECT_EQ(readPng(path).pixels, image_);
}

// A pipe, a device node, or a link to one is not a file to replace: it stays as it was.
TEST_F(PngFileOutput, RefusesTargetsThatAreNoRegularFile) {
    const fs::path pipe = folder_.path() / "pipe.png";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const fs::path linkToPipe = folder_.path() / "link.png";
    fs::create_symlink(pipe, linkToPipe);
    std::vector<fs::path> targets{pipe, linkToPipe};
    // A device node of its own (the null device's numbers), where the tests may make one.
    const fs::path device = folder_.path() / "device.png";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) targets.push_back(device);

    for (const fs::path& target : targets) {
        EXPECT_EQ(write(target), 0) << target;
        EXPECT_EQ(ImgctlError(), IMGCTL_ERR_NOT_A_FILE) << target;
    }
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(pipe)));
    EXPECT_TRUE(fs::is_symlink(linkToPipe));
    if (targets.size() == 3) {
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status(device)));
    }
    EXPECT_EQ(folder_.entries().size(), targets.size()) << "no temporary file left behind";
}

TEST_F(PngFileOutput, FailsToOpenAnEmptyOrFolderPath) {
    for (const std::string& path : {std::string(), folder_.path().string() + "/"}) {
        EXPECT_EQ(DIBtoPNG(path.c_str(), dib_, 0), 0) << path;
        EXPECT_EQ(ImgctlError(), IMGCTL_ERR_OPEN_FILE);
    }
    EXPECT_TRUE(folder_.entries().empty());
}

}  // namespace
