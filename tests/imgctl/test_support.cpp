#include "test_support.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace imgctl_test {
namespace {

RgbImage blank(int width, int height) {
    return {width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
}

// Distinct colours for distinct k below 65536.
void colourNumber(int k, uint8_t* out) {
    out[0] = uint8_t(k);
    out[1] = uint8_t(k >> 8);
    out[2] = uint8_t(k * 53 + 7);
}

uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

std::vector<uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Chunks {
    std::vector<std::string> types;
    std::vector<uint8_t> ihdr;
    std::vector<uint8_t> idat;
};

// Splits the file into chunks, checking the signature and each CRC with zlib.
Chunks walkChunks(const std::vector<uint8_t>& file) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_TRUE(file.size() >= 8 && std::equal(kSignature, kSignature + 8, file.begin()));
    Chunks chunks;
    size_t at = 8;
    while (file.size() >= at + 12 && file.size() - at - 12 >= readU32(&file[at])) {
        const uint32_t length = readU32(&file[at]);
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        const uint8_t* data = &file[at + 8];
        EXPECT_EQ(crc32(0, &file[at + 4], length + 4), readU32(data + length)) << type;
        if (type == "IHDR") chunks.ihdr.assign(data, data + length);
        if (type == "IDAT") chunks.idat.insert(chunks.idat.end(), data, data + length);
        chunks.types.push_back(type);
        at += 12 + length;
    }
    EXPECT_EQ(at, file.size()) << "truncated chunk";
    return chunks;
}

size_t rowBytes(const PngFile& png) {
    const int channels = png.colourType == 2 ? 3 : 1;
    return (size_t(png.width) * channels * png.bitDepth + 7) / 8;
}

// Inflates the image data with zlib and collects the filter type byte of every row.
void readFilterTypes(const std::vector<uint8_t>& idat, PngFile& png) {
    const size_t stride = rowBytes(png) + 1;
    std::vector<uint8_t> raw(stride * png.height);
    uLongf size = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &size, idat.data(), idat.size()), Z_OK) << "zlib stream";
    ASSERT_EQ(size, raw.size()) << "image data size";
    for (size_t y = 0; y < png.height; ++y) png.filterTypes.insert(raw[y * stride]);
}

RgbImage decodeWithLibpng(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "libpng: " << image.message;
        return {};
    }
    image.format = PNG_FORMAT_RGB;
    RgbImage out = blank(int(image.width), int(image.height));
    if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) {
        ADD_FAILURE() << "libpng: " << image.message;
        return {};
    }
    return out;
}

int paethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

}  // namespace

RgbImage noise(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    RgbImage image = blank(width, height);
    for (uint8_t& byte : image.rgb) byte = uint8_t(random());
    return image;
}

RgbImage fewColours(int width, int height, int colours, uint32_t seed) {
    std::mt19937 random(seed);
    RgbImage image = blank(width, height);
    for (size_t i = 0, n = size_t(width) * height; i < n; ++i) {
        const int k = i < size_t(colours) ? int(i) : int(random() % colours);
        colourNumber(k, &image.rgb[i * 3]);
    }
    return image;
}

RgbImage smooth(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    RgbImage image = blank(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &image.rgb[(size_t(y) * width + x) * 3];
            const int grain = int(random() % 5);
            p[0] = uint8_t(x * 255 / width + grain);
            p[1] = uint8_t(y * 255 / height + grain);
            p[2] = uint8_t((x + y) * 127 / (width + height) + 64 + grain);
        }
    }
    return image;
}

RgbImage textAndPhotoBands(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    const RgbImage photo = smooth(width, height, seed);
    RgbImage image = photo;
    constexpr int kGlyphW = 7, kGlyphH = 12, kGlyphs = 12;
    std::vector<uint8_t> glyphs(kGlyphs * kGlyphW * kGlyphH);
    for (uint8_t& g : glyphs) g = random() % 3 == 0 ? uint8_t(random() % 256) : 255;
    for (int y0 = 0; y0 < height; y0 += 96) {
        for (int line = y0; line + kGlyphH <= std::min(height, y0 + 48); line += kGlyphH + 2) {
            for (int x0 = 0; x0 + kGlyphW <= width; x0 += kGlyphW) {
                const int glyph = int(random() % kGlyphs);
                for (int y = 0; y < kGlyphH; ++y)
                    for (int x = 0; x < kGlyphW; ++x) {
                        uint8_t* p = &image.rgb[(size_t(line + y) * width + x0 + x) * 3];
                        const uint8_t v = glyphs[(glyph * kGlyphH + y) * kGlyphW + x];
                        p[0] = p[1] = p[2] = v;
                    }
            }
        }
    }
    return image;
}

RgbImage grainyClouds(int width, int height, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<float> grid(64 * 64);
    for (float& v : grid) v = float(random() % 1000) / 1000.f;
    const auto at = [&](int x, int y) { return grid[size_t(y & 63) * 64 + size_t(x & 63)]; };
    const auto smoothNoise = [&](float x, float y) {
        const int xi = int(x), yi = int(y);
        const float fx = x - float(xi), fy = y - float(yi);
        const float top = at(xi, yi) + (at(xi + 1, yi) - at(xi, yi)) * fx;
        const float bottom = at(xi, yi + 1) + (at(xi + 1, yi + 1) - at(xi, yi + 1)) * fx;
        return top + (bottom - top) * fy;
    };
    std::normal_distribution<float> grain(0, 1.2f);
    const auto byte = [](float v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
    RgbImage image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float cloud = 0, weight = 0.5f, scale = 1 / 64.f;
            for (int octave = 0; octave < 5; ++octave, weight /= 2, scale *= 2)
                cloud += weight * smoothNoise(float(x) * scale + float(octave * 7),
                                              float(y) * scale + float(octave * 3));
            uint8_t* p = &image.rgb[(size_t(y) * width + x) * 3];
            p[0] = byte(90 + cloud * 120 + grain(random));
            p[1] = byte(120 + cloud * 100 + grain(random));
            p[2] = byte(200 + cloud * 50 + grain(random));
        }
    }
    return image;
}

RgbImage filterBands(int width, uint32_t seed) {
    constexpr int kBandRows = 6;
    std::mt19937 random(seed);
    RgbImage image = blank(width, kBandRows * 5);
    auto at = [&](int x, int y, int channel) -> uint8_t& {
        return image.rgb[(size_t(y) * width + x) * 3 + channel];
    };
    for (int y = 0; y < image.height; ++y) {
        const int band = y / kBandRows;
        const bool top = y % kBandRows == 0;
        for (int x = 0; x < width; ++x) {
            for (int ch = 0; ch < 3; ++ch) {
                const int a = x > 0 ? at(x - 1, y, ch) : 0;
                const int b = y > 0 ? at(x, y - 1, ch) : 0;
                const int c = x > 0 && y > 0 ? at(x - 1, y - 1, ch) : 0;
                const int small = int(random() % 5) - 2;
                const int any = int(random() % 256);
                int value = small;  // None: bytes near 0 and 255
                if (band == 0) value = x == 0 ? any : a + small;
                if (band == 1) value = top ? any : b + small;
                if (band == 2) value = top || x == 0 ? any : (a + b) / 2 + small;
                if (band == 3) value = top || x == 0 ? any : paethPredictor(a, b, c) + small;
                at(x, y, ch) = uint8_t(value);
            }
        }
    }
    return image;
}

DcPicture::DcPicture(const RgbImage& image, int32_t format, int paddingBytes) {
    const int bpp = format == IMGCTL_FORMAT_BGRX32 ? 4 : 3;
    const int stride = image.width * bpp + paddingBytes;
    bytes_.assign(size_t(stride) * image.height, 0xa5);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* src = &image.rgb[(size_t(y) * image.width + x) * 3];
            uint8_t* dst = &bytes_[size_t(y) * stride + size_t(x) * bpp];
            if (format == IMGCTL_FORMAT_BGRX32) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
                dst[3] = 0x5a;  // X: must be ignored
            } else {
                std::memcpy(dst, src, 3);
            }
        }
    }
    dc_ = {bytes_.data(), image.width, image.height, stride, format};
}

RgbImage crop(const RgbImage& image, int x, int y, int width, int height) {
    RgbImage out = blank(width, height);
    for (int r = 0; r < height; ++r) {
        const auto from = image.rgb.begin() + (size_t(y + r) * image.width + x) * 3;
        std::copy(from, from + size_t(width) * 3, out.rgb.begin() + size_t(r) * width * 3);
    }
    return out;
}

PngFile readPng(const fs::path& path) {
    PngFile png;
    const Chunks chunks = walkChunks(readAll(path));
    png.chunkTypes = chunks.types;
    if (chunks.types.empty()) return png;
    EXPECT_EQ(chunks.types.front(), "IHDR");
    EXPECT_EQ(chunks.types.back(), "IEND");
    if (chunks.ihdr.size() != 13) {
        ADD_FAILURE() << "IHDR of " << chunks.ihdr.size() << " bytes";
        return png;
    }
    png.width = readU32(&chunks.ihdr[0]);
    png.height = readU32(&chunks.ihdr[4]);
    png.bitDepth = chunks.ihdr[8];
    png.colourType = chunks.ihdr[9];
    EXPECT_EQ(chunks.ihdr[12], 0) << "interlace";
    readFilterTypes(chunks.idat, png);
    png.pixels = decodeWithLibpng(path);
    return png;
}

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "imgctl-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<fs::path> TempFolder::entries() const {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(path_)) out.push_back(entry.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<uint8_t> inflateRaw(const std::vector<uint8_t>& raw, size_t expected,
                                const std::vector<uint8_t>& dictionary) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    if (!dictionary.empty()) {
        EXPECT_EQ(inflateSetDictionary(&z, dictionary.data(), uInt(dictionary.size())), Z_OK);
    }
    std::vector<uint8_t> out(expected + 16);
    z.next_in = const_cast<uint8_t*>(raw.data());
    z.avail_in = uInt(raw.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "bytes left after the end of the stream";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

}  // namespace imgctl_test
