// Helpers for the imgctl tests: pictures behind a device context, and a PNG reader that checks
// the file's structure independently of libpng before decoding it with libpng.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "imgctl.h"

namespace imgctl_test {

// Expected pixels: packed R G B rows.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    bool operator==(const RgbImage&) const = default;
};

// Seeded pictures. fewColours uses exactly `colours` distinct colours (when there are enough
// pixels); smooth is photo-like: gradients with a little noise.
RgbImage noise(int width, int height, uint32_t seed);
RgbImage fewColours(int width, int height, int colours, uint32_t seed);
RgbImage smooth(int width, int height, uint32_t seed);

// Bands of 48 rows alternate between anti-aliased "text" (a few grey-edged glyphs repeated on a
// white page, which compresses best unfiltered) and a camera-like photograph (gradients and
// grain, which needs the filters): a screen with a window over a wallpaper, in miniature.
RgbImage textAndPhotoBands(int width, int height, uint32_t seed);

// A camera's photograph of the sky: clouds of several sizes under independent sensor grain in each
// channel. Deflate's short matches into the grain cost more than the literals they replace.
RgbImage grainyClouds(int width, int height, uint32_t seed);

// Five bands of six rows, each built so that one PNG filter predicts it best: Sub, Up, Average,
// Paeth, then None. Every filter's output is then needed to decode the picture.
RgbImage filterBands(int width, uint32_t seed);

// A picture laid out as a device context of the given format, with padding bytes after each
// row that hold garbage the library must not read into the DIB.
class DcPicture {
public:
    DcPicture(const RgbImage& image, int32_t format, int paddingBytes = 0);

    intptr_t handle() const { return reinterpret_cast<intptr_t>(&dc_); }
    const ImgctlDC& dc() const { return dc_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    ImgctlDC dc_{};
};

RgbImage crop(const RgbImage& image, int x, int y, int width, int height);

struct PngFile {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    std::vector<std::string> chunkTypes;
    std::set<int> filterTypes;  // the row filter types found in the image data
    RgbImage pixels;            // decoded by libpng
};

// Reads and checks a PNG file: signature, chunk CRCs, IHDR first and IEND last, the zlib
// stream; then decodes it with libpng. Records a test failure for any fault.
PngFile readPng(const std::filesystem::path& path);

// A fresh folder for one test's files, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::vector<std::filesystem::path> entries() const;

private:
    std::filesystem::path path_;
};

// Decodes a raw deflate stream with zlib, after the dictionary if one is given. Records a test
// failure unless the stream ends where it should, with no bytes after it.
std::vector<uint8_t> inflateRaw(const std::vector<uint8_t>& raw, size_t expected,
                                const std::vector<uint8_t>& dictionary = {});

}  // namespace imgctl_test
