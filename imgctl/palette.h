// Finding out whether a picture fits a palette, and turning it into palette indices.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "dib.h"

namespace imgctl {

struct IndexedImage {
    std::vector<uint32_t> palette;  // 0xRRGGBB, at most 256 entries
    std::vector<uint8_t> indices;   // one byte per pixel, rows packed
};

// The picture as palette indices, or nothing when it has more than 256 colours.
std::optional<IndexedImage> toIndexed(const Dib& dib);

// Bits per index that hold every entry of a palette of this size (1, 2, 4 or 8).
int bitDepthFor(size_t paletteSize);

// Packs one row of 8-bit indices into depth-bit fields, leftmost pixel in the high bits.
void packRow(const uint8_t* indices, int32_t width, int depth, uint8_t* out);

}  // namespace imgctl
