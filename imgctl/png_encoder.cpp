#include "png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <string_view>

#include "deflate.h"
#include "palette.h"
#include "png_filter.h"

namespace imgctl {
namespace {

constexpr uint8_t kColourRgb = 2;
constexpr uint8_t kColourIndexed = 3;
constexpr size_t kMaxIdatBytes = size_t{1} << 20;  // split IDAT so no chunk grows huge

// libdeflate levels, from the benchmark: unfiltered data (flat, repetitive pictures) compresses
// fast, so level 7 buys a few percent for little time; on filtered photographic data each level
// above 6 costs far more time than the 1% it saves.
constexpr int kLevelUnfiltered = 7;
constexpr int kLevelFiltered = 6;

// What goes into IDAT before compression, plus the header fields that describe it.
struct ImageData {
    uint8_t bitDepth = 8;
    uint8_t colourType = kColourRgb;
    int level = kLevelUnfiltered;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> filtered;
};

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    const uint8_t bytes[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    out.insert(out.end(), bytes, bytes + 4);
}

void putChunk(std::vector<uint8_t>& out, std::string_view type, const uint8_t* data, size_t n) {
    putU32(out, static_cast<uint32_t>(n));
    const size_t crcStart = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data, data + n);
    putU32(out, libdeflate_crc32(0, out.data() + crcStart, n + 4));
}

std::vector<uint8_t> header(const Dib& dib, const ImageData& image) {
    std::vector<uint8_t> ihdr;
    putU32(ihdr, static_cast<uint32_t>(dib.width));
    putU32(ihdr, static_cast<uint32_t>(dib.height));
    // bit depth, colour type, deflate, adaptive filtering, no interlace
    const uint8_t rest[5] = {image.bitDepth, image.colourType, 0, 0, 0};
    ihdr.insert(ihdr.end(), rest, rest + 5);
    return ihdr;
}

std::vector<uint8_t> paletteBytes(const std::vector<uint32_t>& palette) {
    std::vector<uint8_t> out;
    for (uint32_t c : palette) {
        const uint8_t rgb[3] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
        out.insert(out.end(), rgb, rgb + 3);
    }
    return out;
}

// Palette pictures are left unfiltered: neighbouring indices carry no numeric relation.
ImageData indexedData(const Dib& dib, IndexedImage&& indexed) {
    ImageData image;
    image.colourType = kColourIndexed;
    image.bitDepth = static_cast<uint8_t>(bitDepthFor(indexed.palette.size()));
    image.palette = std::move(indexed.palette);
    const size_t rowBytes = (size_t(dib.width) * image.bitDepth + 7) / 8;
    image.filtered.resize((rowBytes + 1) * size_t(dib.height));
    for (int32_t y = 0; y < dib.height; ++y) {
        uint8_t* dst = image.filtered.data() + (rowBytes + 1) * y;
        dst[0] = 0;
        packRow(indexed.indices.data() + size_t(dib.width) * y, dib.width, image.bitDepth, dst + 1);
    }
    return image;
}

ImageData rgbData(const Dib& dib) {
    const Rows rows{dib.rgb.data(), dib.rowBytes(), size_t(dib.height), 3};
    const FilterChoice choice = pickFilter(rows);
    ImageData image;
    image.level = choice == FilterChoice::None ? kLevelUnfiltered : kLevelFiltered;
    image.filtered = filterImage(rows, choice);
    return image;
}

// A palette is lossless up to 256 colours and takes a third of the bytes or less.
ImageData imageData(const Dib& dib) {
    if (auto indexed = toIndexed(dib)) return indexedData(dib, std::move(*indexed));
    return rgbData(dib);
}

}  // namespace

std::vector<uint8_t> encodePng(const Dib& dib) {
    const ImageData image = imageData(dib);
    const std::vector<uint8_t> zlib =
        zlibCompress(image.filtered.data(), image.filtered.size(), image.level);

    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> png(kSignature, kSignature + 8);
    png.reserve(zlib.size() + 1024 + image.palette.size() * 3);
    const std::vector<uint8_t> ihdr = header(dib, image);
    putChunk(png, "IHDR", ihdr.data(), ihdr.size());
    if (!image.palette.empty()) {
        const std::vector<uint8_t> plte = paletteBytes(image.palette);
        putChunk(png, "PLTE", plte.data(), plte.size());
    }
    for (size_t at = 0; at < zlib.size(); at += kMaxIdatBytes) {
        putChunk(png, "IDAT", zlib.data() + at, std::min(kMaxIdatBytes, zlib.size() - at));
    }
    putChunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace imgctl
