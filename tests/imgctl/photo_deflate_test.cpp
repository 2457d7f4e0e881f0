// The photo deflater's streams, decoded by zlib: every kind of input comes back byte for byte,
// matches reach into the dictionary, a stream left open lets another follow it, and on camera
// grain it beats the zlib set-up it replaced.
#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "deflate.h"
#include "photo_deflate.h"
#include "png_filter.h"
#include "test_support.h"

using namespace imgctl;

namespace {

using Bytes = std::vector<uint8_t>;
using imgctl_test::inflateRaw;

Bytes randomBytes(size_t size, uint32_t seed, unsigned spread = 256) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = uint8_t(random() % spread);
    return bytes;
}

// Byte i occurs about as often as the i-th Fibonacci number, in random order: a code built on
// these counts as they are would need codes longer than deflate's 15 bits.
Bytes skewed(uint32_t seed) {
    Bytes bytes;
    for (uint32_t i = 0, a = 1, b = 1; i < 24; ++i, b = a + b, a = b - a) {
        bytes.insert(bytes.end(), a, uint8_t(i * 7));
    }
    std::shuffle(bytes.begin(), bytes.end(), std::mt19937(seed));
    return bytes;
}

// The filtered rows of a grainy photograph, as the encoder hands them over.
Bytes filteredGrain(int width, int height, uint32_t seed) {
    const imgctl_test::RgbImage clouds = imgctl_test::grainyClouds(width, height, seed);
    const Rows rows{clouds.rgb.data(), size_t(width) * 3, size_t(height), 3};
    return filterImage(rows, 1).bytes;
}

// The same, shown at twice its size as a browser does on a high-density screen: each new pixel
// the mean of its neighbours, so that the filtered grain repeats in short stretches.
Bytes filteredScaledGrain(int width, int height, uint32_t seed) {
    const imgctl_test::RgbImage small = imgctl_test::grainyClouds(width, height, seed);
    const size_t w = size_t(width) * 2, h = size_t(height) * 2;
    std::vector<uint8_t> big(w * h * 3);
    auto at = [&](size_t x, size_t y, size_t c) {
        x = std::min(x, size_t(width) - 1), y = std::min(y, size_t(height) - 1);
        return unsigned(small.rgb[(y * size_t(width) + x) * 3 + c]);
    };
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            for (size_t c = 0; c < 3; ++c) {
                const size_t sx = x / 2, sy = y / 2, dx = x % 2, dy = y % 2;
                const unsigned sum = at(sx, sy, c) + at(sx + dx, sy, c) + at(sx, sy + dy, c) +
                                     at(sx + dx, sy + dy, c);
                big[(y * w + x) * 3 + c] = uint8_t((sum + 2) / 4);
            }
        }
    }
    const Rows rows{big.data(), w * 3, h, 3};
    return filterImage(rows, 1).bytes;
}

TEST(PhotoDeflater, EveryKindOfInputComesBack) {
    Bytes ramp(300000);
    std::iota(ramp.begin(), ramp.end(), 0);
    const std::vector<std::pair<const char*, Bytes>> inputs = {
        {"empty", {}},
        {"one byte", {42}},
        {"three bytes", {1, 2, 3}},
        {"one value, longer than a match", Bytes(70000, 9)},
        {"a counting ramp over three blocks", ramp},
        {"noise, stored", randomBytes(200000, 1)},
        {"small residuals", randomBytes(150000, 2, 5)},
        {"skewed counts", skewed(3)},
        {"grain", filteredGrain(500, 200, 4)},
    };
    PhotoDeflater deflater;
    for (const auto& [name, input] : inputs) {
        const Bytes raw = deflater.deflate(input.data(), 0, input.size(), true);
        EXPECT_EQ(inflateRaw(raw, input.size()), input) << name;
    }
    // Noise goes into stored blocks: at most their headers more than itself.
    const Bytes noise = randomBytes(200000, 1);
    EXPECT_LE(deflater.deflate(noise.data(), 0, noise.size(), true).size(), noise.size() + 30);
}

TEST(PhotoDeflater, MatchesReachIntoTheDictionary) {
    // The data repeats the end of the dictionary, so only matches into it make it small.
    const Bytes all = randomBytes(40000 + 20000, 5);
    const size_t dictionarySize = 40000, size = 20000;
    Bytes whole = all;
    std::copy(all.begin() + 20000, all.begin() + 40000, whole.begin() + dictionarySize);
    const uint8_t* data = whole.data() + dictionarySize;
    PhotoDeflater deflater;
    const Bytes raw = deflater.deflate(data, dictionarySize, size, true);
    EXPECT_LT(raw.size(), 200u);
    // Only the last 32 KB of the dictionary count.
    const Bytes window(data - kWindowBytes, data);
    EXPECT_EQ(inflateRaw(raw, size, window), Bytes(data, data + size));
}

TEST(PhotoDeflater, AnOpenStreamLetsTheNextFollow) {
    const Bytes grain = filteredGrain(400, 300, 6);
    const size_t half = grain.size() / 2;
    PhotoDeflater deflater;
    Bytes joined = deflater.deflate(grain.data(), 0, half, false);
    ASSERT_GE(joined.size(), 4u);
    EXPECT_EQ(Bytes(joined.end() - 4, joined.end()), (Bytes{0x00, 0x00, 0xFF, 0xFF}));
    const Bytes second = deflater.deflate(grain.data() + half, half, grain.size() - half, true);
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_EQ(inflateRaw(joined, grain.size()), grain);
    // An empty open stream is just the empty stored block.
    EXPECT_EQ(deflater.deflate(grain.data(), 0, 0, false), (Bytes{0x00, 0x00, 0x00, 0xFF, 0xFF}));
}

TEST(PhotoDeflater, SmallerThanZlibOnGrain) {
    PhotoDeflater photo;
    GrainDeflater zlib;
    const auto ratio = [&](const Bytes& data) {
        const size_t photoSize = photo.deflate(data.data(), 0, data.size(), true).size();
        return double(photoSize) / double(zlib.deflatedSize(nullptr, 0, data.data(), data.size()));
    };
    EXPECT_LT(ratio(filteredGrain(640, 512, 7)), 0.98);
    EXPECT_LT(ratio(filteredScaledGrain(320, 256, 8)), 0.9);
    // Pixels of noise, each one at even odds a copy of the one before it: only three-byte matches
    // find the single copies, and they cost a fraction of the literals they replace.
    std::mt19937 random(9);
    Bytes pixels = randomBytes(3, 10);
    while (pixels.size() < 300000) {
        const bool copy = random() % 2;
        for (int c = 0; c < 3; ++c) {
            pixels.push_back(copy ? pixels[pixels.size() - 3] : uint8_t(random()));
        }
    }
    EXPECT_LT(ratio(pixels), 0.9);
}

}  // namespace
