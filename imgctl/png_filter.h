// PNG row filters and the choice between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imgctl {

enum class FilterType : uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

enum class FilterChoice {
    None,   // every row unfiltered
    PerRow  // per row, the filter whose output has the smallest sum of magnitudes
};

// Rows of raw image bytes. bpp is the filters' byte distance (bytes per pixel, 1 below 8 bits).
struct Rows {
    const uint8_t* data;
    size_t rowBytes;
    size_t height;
    size_t bpp;

    const uint8_t* row(size_t y) const { return data + y * rowBytes; }
};

// Applies one filter to a row. prev is the unfiltered row above (all zero for the first row).
void filterRow(FilterType type, const uint8_t* cur, const uint8_t* prev, size_t rowBytes,
               size_t bpp, uint8_t* out);

// Whichever choice compresses a sample of the rows better.
FilterChoice pickFilter(const Rows& rows);

// The image data as PNG wants it before compression: each row led by its filter type byte.
std::vector<uint8_t> filterImage(const Rows& rows, FilterChoice choice);

}  // namespace imgctl
