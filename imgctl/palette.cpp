#include "palette.h"

#include <algorithm>
#include <array>

namespace imgctl {
namespace {

// Open-addressing map from colour to palette index. Sized at four times the largest palette
// so probes stay short; a slot holds colour + 1 so that zero means empty.
class ColourMap {
public:
    static constexpr size_t kMaxColours = 256;

    // The colour's index, adding it if new; -1 once the palette is full.
    int indexOf(uint32_t colour, std::vector<uint32_t>& palette) {
        size_t slot = hash(colour);
        while (keys_[slot] != 0) {
            if (keys_[slot] == colour + 1) return values_[slot];
            slot = (slot + 1) & (kSlots - 1);
        }
        if (palette.size() == kMaxColours) return -1;
        keys_[slot] = colour + 1;
        values_[slot] = static_cast<uint8_t>(palette.size());
        palette.push_back(colour);
        return values_[slot];
    }

private:
    static constexpr size_t kSlots = 1024;
    static size_t hash(uint32_t colour) { return (colour * 2654435761u) >> 22; }

    std::array<uint32_t, kSlots> keys_{};
    std::array<uint8_t, kSlots> values_{};
};

uint32_t colourAt(const uint8_t* p) {
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

}  // namespace

std::optional<IndexedImage> toIndexed(const Dib& dib) {
    IndexedImage out;
    const size_t pixels = size_t(dib.width) * size_t(dib.height);
    out.indices.resize(pixels);
    ColourMap map;
    const uint8_t* p = dib.rgb.data();
    // Screenshots are mostly runs of one colour: skip the lookup while the colour repeats.
    uint32_t last = colourAt(p);
    int lastIndex = map.indexOf(last, out.palette);
    for (size_t i = 0; i < pixels; ++i, p += 3) {
        const uint32_t colour = colourAt(p);
        if (colour != last) {
            lastIndex = map.indexOf(colour, out.palette);
            if (lastIndex < 0) return std::nullopt;
            last = colour;
        }
        out.indices[i] = static_cast<uint8_t>(lastIndex);
    }
    return out;
}

int bitDepthFor(size_t paletteSize) {
    if (paletteSize <= 2) return 1;
    if (paletteSize <= 4) return 2;
    if (paletteSize <= 16) return 4;
    return 8;
}

void packRow(const uint8_t* indices, int32_t width, int depth, uint8_t* out) {
    if (depth == 8) {
        std::copy(indices, indices + width, out);
        return;
    }
    const int perByte = 8 / depth;
    for (int32_t x = 0; x < width; x += perByte) {
        uint8_t byte = 0;
        for (int k = 0; k < perByte; ++k) {
            const uint8_t value = x + k < width ? indices[x + k] : 0;
            byte = static_cast<uint8_t>(byte << depth | value);
        }
        *out++ = byte;
    }
}

}  // namespace imgctl
