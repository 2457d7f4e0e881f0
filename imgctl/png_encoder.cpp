#include "png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string_view>

#include "deflate.h"
#include "failure.h"
#include "palette.h"
#include "png_filter.h"
#include "png_proof.h"
#include "reduce.h"

namespace imgctl {
namespace {

constexpr uint8_t kColourRgb = 2;
constexpr uint8_t kColourIndexed = 3;
constexpr size_t kMaxIdatBytes = size_t{1} << 20;  // split IDAT so no chunk grows huge

// libdeflate levels, chosen on png_bench's real screens (its output has the figures). Level 7 finds
// the long matches of smooth wallpapers that 6 misses, for little more time. Strong is for
// pictures that must get smaller at any reasonable cost, such as one just over the upload limit.
constexpr int kLevelNormal = 7;
constexpr int kLevelIndexed = 7;  // palette data is small and compresses fast
constexpr int kLevelStrong = 11;

// What goes into IDAT, plus the header fields that describe it.
struct ImageData {
    uint8_t bitDepth = 8;
    uint8_t colourType = kColourRgb;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> zlib;
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

std::vector<uint8_t> header(int32_t width, int32_t height, const ImageData& image) {
    std::vector<uint8_t> ihdr;
    putU32(ihdr, static_cast<uint32_t>(width));
    putU32(ihdr, static_cast<uint32_t>(height));
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

int levelFor(Effort effort, int normal) {
    return effort == Effort::Strong ? kLevelStrong : normal;
}

// Palette pictures are left unfiltered: neighbouring indices carry no numeric relation.
ImageData indexedData(int32_t width, int32_t height, const IndexedImage& indexed, Effort effort) {
    ImageData image;
    image.colourType = kColourIndexed;
    image.bitDepth = static_cast<uint8_t>(bitDepthFor(indexed.palette.size()));
    image.palette = indexed.palette;
    const size_t rowBytes = (size_t(width) * image.bitDepth + 7) / 8;
    std::vector<uint8_t> rows((rowBytes + 1) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* dst = rows.data() + (rowBytes + 1) * y;
        dst[0] = 0;
        packRow(indexed.indices.data() + size_t(width) * y, width, image.bitDepth, dst + 1);
    }
    const std::vector<Piece> pieces =
        cutIntoPieces(rows.size(), rowBytes + 1, pieceCountFor(rows.size()), kJoinedLastWeight);
    image.zlib = zlibInPieces(levelFor(effort, kLevelIndexed), rows.data(), pieces);
    return image;
}

ImageData rgbData(const Dib& dib, Effort effort) {
    const Rows rows{dib.rgb.data(), dib.rowBytes(), size_t(dib.height), 3};
    const size_t size = (rows.rowBytes + 1) * rows.height, count = pieceCountFor(size);
    FilteredImage filtered = filterImage(rows, count);
    const size_t bandBytes = filtered.bandRows * (rows.rowBytes + 1);
    const std::vector<Piece> pieces = cutIntoPieces(size, bandBytes, count, kJoinedLastWeight);
    // Grain goes to the photo deflater at either effort: it writes camera grain smaller than zlib
    // and about as small as the strong level, far faster; and a strong picture must never come out
    // larger than a normal one.
    ImageData image;
    image.zlib = zlibInPieces(levelFor(effort, kLevelNormal), filtered.bytes.data(), pieces,
                              bandBytes, filtered.grainyBands());
    return image;
}

// A palette is lossless up to 256 colours and takes far fewer bytes than R G B.
ImageData imageData(const Dib& dib, Effort effort) {
    if (auto indexed = toIndexed(dib)) return indexedData(dib.width, dib.height, *indexed, effort);
    return rgbData(dib, effort);
}

std::vector<uint8_t> assemble(int32_t width, int32_t height, const ImageData& image) {
    const std::vector<uint8_t>& zlib = image.zlib;
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> png(kSignature, kSignature + 8);
    png.reserve(zlib.size() + 1024 + image.palette.size() * 3);
    const std::vector<uint8_t> ihdr = header(width, height, image);
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

// The plainest stream there is: rows unfiltered, one libdeflate call, nothing of our own
// compression machinery between the rows and the file.
std::vector<uint8_t> plainZlib(const std::vector<uint8_t>& rows) {
    struct Free {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    const std::unique_ptr<libdeflate_compressor, Free> compressor(libdeflate_alloc_compressor(6));
    if (!compressor) throw Failure{IMGCTL_ERR_NO_MEMORY};
    std::vector<uint8_t> zlib(libdeflate_zlib_compress_bound(compressor.get(), rows.size()));
    const size_t size = libdeflate_zlib_compress(compressor.get(), rows.data(), rows.size(),
                                                 zlib.data(), zlib.size());
    if (size == 0) throw Failure{IMGCTL_ERR_ENCODE};
    zlib.resize(size);
    return zlib;
}

// rowBytes bytes a row, each row behind filter type 0.
std::vector<uint8_t> unfilteredRows(const uint8_t* data, size_t rowBytes, int32_t height) {
    std::vector<uint8_t> rows;
    rows.reserve((rowBytes + 1) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        rows.push_back(0);
        rows.insert(rows.end(), data + rowBytes * size_t(y), data + rowBytes * size_t(y + 1));
    }
    return rows;
}

std::atomic<int> corruptions{0};

// The bytes as a test asked them to be written: one bit flipped in the image data.
void corruptIfAsked(std::vector<uint8_t>& png) {
    int left = corruptions.load();
    while (left > 0 && !corruptions.compare_exchange_weak(left, left - 1)) {
    }
    if (left > 0 && png.size() > 60) png[png.size() / 2] ^= 0x10;
}

// The first encoding when it decodes to the expected pixels, else the plainest one when that
// does; else nothing is written (IMGCTL_ERR_PROOF).
template <typename Plain>
std::vector<uint8_t> proved(std::vector<uint8_t> png, int32_t width, int32_t height,
                            const uint8_t* expected, Plain plain) {
    corruptIfAsked(png);
    if (decodesTo(png, width, height, expected)) return png;
    png = plain();
    corruptIfAsked(png);
    if (decodesTo(png, width, height, expected)) return png;
    throw Failure{IMGCTL_ERR_PROOF};
}

}  // namespace

std::vector<uint8_t> encodePng(const Dib& dib, Effort effort) {
    return proved(assemble(dib.width, dib.height, imageData(dib, effort)), dib.width, dib.height,
                  dib.rgb.data(), [&] {
                      ImageData image;
                      image.zlib =
                          plainZlib(unfilteredRows(dib.rgb.data(), dib.rowBytes(), dib.height));
                      return assemble(dib.width, dib.height, image);
                  });
}

std::vector<uint8_t> encodeIndexedPng(int32_t width, int32_t height, const IndexedImage& indexed,
                                      Effort effort) {
    // The pixels the palette picture stands for, to prove the file against.
    std::vector<uint8_t> expected;
    expected.reserve(indexed.indices.size() * 3);
    for (const uint8_t index : indexed.indices) {
        const uint32_t c = index < indexed.palette.size() ? indexed.palette[index] : 0;
        expected.insert(expected.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
    return proved(assemble(width, height, indexedData(width, height, indexed, effort)), width,
                  height, expected.data(), [&] {
                      ImageData image;
                      image.colourType = kColourIndexed;
                      image.palette = indexed.palette;
                      image.zlib =
                          plainZlib(unfilteredRows(indexed.indices.data(), size_t(width), height));
                      return assemble(width, height, image);
                  });
}

namespace testing {
void corruptNextEncodings(int count) {
    corruptions = count;
}
}  // namespace testing

std::vector<uint8_t> encodeReducedPng(const Dib& dib, Reduction reduction, Effort effort) {
    if (reduction == Reduction::Half) return encodeReducedPng(halved(dib), Reduction::None, effort);
    return encodeIndexedPng(dib.width, dib.height, quantized(dib), effort);
}

}  // namespace imgctl
