#include "png_proof.h"

#include <libdeflate.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace imgctl {
namespace {

uint32_t u32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

struct Header {
    uint32_t width = 0, height = 0;
    uint8_t bitDepth = 0, colourType = 0;
};

// What the chunks hold, once every CRC has been checked; false for any fault of form.
bool readChunks(const std::vector<uint8_t>& png, Header& header, std::vector<uint8_t>& palette,
                std::vector<uint8_t>& zlib) {
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return false;
    bool ended = false, headed = false;
    for (size_t at = 8; at < png.size();) {
        if (ended || png.size() - at < 12) return false;
        const uint32_t length = u32(&png[at]);
        if (length > png.size() - at - 12) return false;
        const uint8_t* type = &png[at + 4];
        const uint8_t* data = type + 4;
        if (libdeflate_crc32(0, type, length + 4) != u32(data + length)) return false;
        const std::string_view name(reinterpret_cast<const char*>(type), 4);
        if (!headed && name != "IHDR") return false;
        if (name == "IHDR") {
            if (headed || length != 13 || data[10] != 0 || data[11] != 0 || data[12] != 0)
                return false;
            header = {u32(data), u32(data + 4), data[8], data[9]};
            headed = true;
        } else if (name == "PLTE") {
            palette.assign(data, data + length);
        } else if (name == "IDAT") {
            zlib.insert(zlib.end(), data, data + length);
        } else if (name == "IEND") {
            ended = true;
        }
        at += size_t(length) + 12;
    }
    return ended;
}

uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes the row's filter in place, given the row above (already undone; zeros for the first).
// One loop per filter type: a switch in the loop would take most of the proof's time.
bool unfilter(uint8_t type, uint8_t* row, const uint8_t* above, size_t bytes, size_t bpp) {
    switch (type) {
        case 0:
            return true;
        case 1:
            for (size_t i = bpp; i < bytes; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
            return true;
        case 2:
            for (size_t i = 0; i < bytes; ++i) row[i] = uint8_t(row[i] + above[i]);
            return true;
        case 3:
            for (size_t i = 0; i < bpp && i < bytes; ++i) row[i] = uint8_t(row[i] + above[i] / 2);
            for (size_t i = bpp; i < bytes; ++i)
                row[i] = uint8_t(row[i] + (row[i - bpp] + above[i]) / 2);
            return true;
        case 4:
            for (size_t i = 0; i < bpp && i < bytes; ++i) row[i] = uint8_t(row[i] + above[i]);
            for (size_t i = bpp; i < bytes; ++i)
                row[i] = uint8_t(row[i] + paeth(row[i - bpp], above[i], above[i - bpp]));
            return true;
    }
    return false;
}

}  // namespace

bool decodesTo(const std::vector<uint8_t>& png, int32_t width, int32_t height,
               const uint8_t* expected) {
    Header header;
    std::vector<uint8_t> palette, zlib;
    if (!readChunks(png, header, palette, zlib)) return false;
    if (header.width != uint32_t(width) || header.height != uint32_t(height)) return false;
    const bool rgb = header.colourType == 2 && header.bitDepth == 8;
    const bool indexed = header.colourType == 3 && (header.bitDepth == 1 || header.bitDepth == 2 ||
                                                    header.bitDepth == 4 || header.bitDepth == 8);
    if (!rgb && !indexed) return false;
    if (indexed && (palette.empty() || palette.size() % 3 != 0 || palette.size() > 768))
        return false;

    const size_t rowBytes = rgb ? size_t(width) * 3 : (size_t(width) * header.bitDepth + 7) / 8;
    std::vector<uint8_t> rows((rowBytes + 1) * size_t(height));
    struct Free {
        void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
    };
    const std::unique_ptr<libdeflate_decompressor, Free> inflater(libdeflate_alloc_decompressor());
    size_t got = 0;
    if (!inflater ||
        libdeflate_zlib_decompress(inflater.get(), zlib.data(), zlib.size(), rows.data(),
                                   rows.size(), &got) != LIBDEFLATE_SUCCESS ||
        got != rows.size())
        return false;

    const std::vector<uint8_t> none(rowBytes, 0);
    const uint8_t* above = none.data();
    const size_t bpp = rgb ? 3 : 1;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = &rows[(rowBytes + 1) * size_t(y)];
        if (!unfilter(row[0], row + 1, above, rowBytes, bpp)) return false;
        const uint8_t* want = expected + size_t(width) * 3 * size_t(y);
        if (rgb) {
            if (std::memcmp(row + 1, want, rowBytes) != 0) return false;
        } else {
            const int depth = header.bitDepth, perByte = 8 / depth, mask = (1 << depth) - 1;
            for (int32_t x = 0; x < width; ++x) {
                const int shift = 8 - depth * (x % perByte + 1);
                const size_t index = size_t(row[1 + x / perByte] >> shift & mask) * 3;
                if (index + 3 > palette.size() ||
                    std::memcmp(&palette[index], want + x * 3, 3) != 0)
                    return false;
            }
        }
        above = row + 1;
    }
    return true;
}

}  // namespace imgctl
