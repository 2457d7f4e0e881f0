// Each row filter against the PNG definition, computed here byte by byte: rows of every length
// around the vector width, every byte distance, random bytes and the extremes where a sum
// overflows a byte or the predictor's distances tie.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "png_filter.h"

using namespace imgctl;

namespace {

int predictorOf(FilterType type, int a, int b, int c) {
    switch (type) {
        case FilterType::None:
            return 0;
        case FilterType::Sub:
            return a;
        case FilterType::Up:
            return b;
        case FilterType::Average:
            return (a + b) / 2;
        case FilterType::Paeth: {
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                      pc = std::abs(p - c);
            if (pa <= pb && pa <= pc) return a;
            return pb <= pc ? b : c;
        }
    }
    return 0;
}

std::vector<uint8_t> byDefinition(FilterType type, const std::vector<uint8_t>& cur,
                                  const std::vector<uint8_t>& prev, size_t bpp) {
    std::vector<uint8_t> out(cur.size());
    for (size_t i = 0; i < cur.size(); ++i) {
        const int a = i >= bpp ? cur[i - bpp] : 0, c = i >= bpp ? prev[i - bpp] : 0;
        out[i] = uint8_t(cur[i] - predictorOf(type, a, prev[i], c));
    }
    return out;
}

TEST(RowFilters, MatchTheDefinitionForEveryLengthAndByteDistance) {
    std::mt19937 random(7);
    // Random bytes, then only the extremes, where (a + b) and a + b - c leave a byte's range.
    for (int kind = 0; kind < 2; ++kind) {
        for (size_t bpp : {1u, 2u, 3u, 4u, 6u, 8u}) {
            for (size_t length = 1; length <= 100; ++length) {
                std::vector<uint8_t> cur(length), prev(length);
                for (size_t i = 0; i < length; ++i) {
                    cur[i] = uint8_t(kind == 0 ? random() : (random() & 1) * 255);
                    prev[i] = uint8_t(kind == 0 ? random() : (random() & 1) * 255);
                }
                for (int t = 0; t <= 4; ++t) {
                    const auto type = static_cast<FilterType>(t);
                    std::vector<uint8_t> out(length);
                    filterRow(type, cur.data(), prev.data(), length, bpp, out.data());
                    ASSERT_EQ(out, byDefinition(type, cur, prev, bpp))
                        << "filter " << t << ", bpp " << bpp << ", " << length << " bytes";
                }
            }
        }
    }
}

// Every (a, b, c) of a grid that holds the ties between the predictor's three distances.
TEST(RowFilters, PaethBreaksTiesAsDefined) {
    std::vector<uint8_t> cur, prev;
    for (int a : {0, 1, 2, 127, 128, 254, 255}) {
        for (int b : {0, 1, 2, 127, 128, 254, 255}) {
            for (int c : {0, 1, 2, 127, 128, 254, 255}) {
                // one pixel of a byte: left a, above b, above left c, then the pixel itself
                cur.insert(cur.end(), {uint8_t(a), uint8_t(a + b + c)});
                prev.insert(prev.end(), {uint8_t(c), uint8_t(b)});
            }
        }
    }
    std::vector<uint8_t> out(cur.size());
    filterRow(FilterType::Paeth, cur.data(), prev.data(), cur.size(), 1, out.data());
    EXPECT_EQ(out, byDefinition(FilterType::Paeth, cur, prev, 1));
}

}  // namespace
