// PNG row filters and the choice between them, band by band.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imgctl {

enum class FilterType : uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

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

// Sum of the bytes read as signed values: the usual estimate of how well a row compresses.
uint64_t magnitude(const uint8_t* bytes, size_t n);

// How a band of rows is written and compressed.
enum class BandKind : uint8_t {
    Unfiltered,  // the rows as they are, for libdeflate: text, icons, smooth wallpapers
    Filtered,    // each row through its best filter, for libdeflate
    Grainy,      // each row through its best filter, for a PhotoDeflater: photographs
};

// The image data as PNG wants it before compression: each row led by its filter type byte.
struct FilteredImage {
    std::vector<uint8_t> bytes;
    size_t bandRows = 0;          // rows per band; the last band may be shorter
    std::vector<BandKind> bands;  // how each band was written

    std::vector<bool> grainyBands() const;
};

// Per pair of bands of rows, whichever compresses better in a trial on a sample of the first
// band's rows: the rows unfiltered, which keeps repeated shapes (text, icons, smooth wallpapers)
// intact for deflate to find, or each row through the filter whose output has the smallest
// magnitude, which photographic content needs. Filtered bands that barely compress are tried with a
// GrainDeflater too, and marked grainy where it does better. The second band of each pair is
// written as the first. Runs of pairs are judged on up to `threads` threads; the result is the same
// for any number.
FilteredImage filterImage(const Rows& rows, size_t threads);

}  // namespace imgctl
