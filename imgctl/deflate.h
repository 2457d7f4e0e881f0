// zlib-format and raw deflate compression through libdeflate and zlib, in pieces side by side.
#pragma once

#include <libdeflate.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace imgctl {

// One libdeflate compressor at a fixed level (1-12), reused for many calls; throws Failure.
class Deflater {
public:
    explicit Deflater(int level);

    // The raw deflate stream of data.
    std::vector<uint8_t> deflate(const uint8_t* data, size_t size);

    // The size of data as a raw deflate stream: a cheap measure of how well it compresses.
    size_t deflatedSize(const uint8_t* data, size_t size);

private:
    struct Free {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    std::unique_ptr<libdeflate_compressor, Free> compressor_;
    std::vector<uint8_t> scratch_;
};

// A run of bytes [begin, end) compressed on its own thread.
struct Piece {
    size_t begin, end;
};

// Cuts size bytes made of bands of bandBytes into up to `count` pieces of whole bands, the last
// piece lastWeight times as long as each other one.
std::vector<Piece> cutIntoPieces(size_t size, size_t bandBytes, size_t count,
                                 double lastWeight = 1.0);

// The last piece's weight for zlibInPieces: every other piece is decoded again once compressed
// (see joinable()), which takes about a tenth of the time compressing it took.
constexpr double kJoinedLastWeight = 1.1;

// How many pieces size bytes are compressed in: one per processor the calling thread may run on,
// at most four, none under a megabyte, since each piece starts without the bytes before it to
// match against.
size_t pieceCountFor(size_t size);

// The zlib stream of data made by libdeflate at level, each piece compressed on its own thread.
std::vector<uint8_t> zlibInPieces(int level, const uint8_t* data, const std::vector<Piece>& pieces);

// The zlib stream of filtered image data made by zlib at level 4, band by band: the bands left
// unfiltered with the full match search, the filtered ones with strategy Z_FILTERED, which keeps
// only matches of six bytes or more. On noise-like photographs that writes fewer bytes than a
// full match search, in under half the time libpng takes at its level 6. Pieces are compressed
// on their own threads, each starting from the 32 KB before it.
std::vector<uint8_t> zlibBanded(const uint8_t* data, const std::vector<Piece>& pieces,
                                size_t bandBytes, const std::vector<bool>& unfilteredBands);

// Makes a complete raw deflate stream joinable: clears the final mark of its last block and
// ends it on a byte boundary with an empty stored block, as zlib's Z_SYNC_FLUSH does, so that
// another stream can follow it. Throws Failure if raw is not a valid stream.
void joinable(std::vector<uint8_t>& raw);

}  // namespace imgctl
