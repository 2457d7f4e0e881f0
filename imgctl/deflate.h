// zlib-format and raw deflate compression through libdeflate and zlib, in pieces side by side.
#pragma once

#include <libdeflate.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace imgctl {

constexpr size_t kWindowBytes = 32768;  // how far back deflate matches reach

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
// (see joinable()), a small part of the time compressing it took.
constexpr double kJoinedLastWeight = 1.1;

// How many pieces size bytes are compressed in: one per processor the calling thread may run on,
// at most four, none under a megabyte, since each piece starts without the bytes before it to
// match against.
size_t pieceCountFor(size_t size);

// zlib set up for the filtered rows of photographs. Strategy Z_FILTERED keeps only matches of six
// bytes or more: in camera grain the shorter ones cost more than the literals they replace. A
// search of only four candidates per position does better still, on camera grain, than zlib's
// level 6 and libdeflate's level 7, and in less time than the first.
// Its trials judge which bands are grain; a PhotoDeflater, smaller still, writes them. Throws
// Failure.
class GrainDeflater {
public:
    GrainDeflater();
    ~GrainDeflater();
    GrainDeflater(const GrainDeflater&) = delete;
    GrainDeflater& operator=(const GrainDeflater&) = delete;

    // The size data adds to a stream that holds the dictionary bytes: what a trial needs.
    size_t deflatedSize(const uint8_t* dictionary, size_t dictionarySize, const uint8_t* data,
                        size_t size);

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
};

// The zlib stream of data, each piece compressed on its own thread. By default libdeflate at
// level compresses it all. Given the bands data is made of (bandBytes each, the last one maybe
// shorter) and which of them are grainy, a PhotoDeflater compresses each run of grainy bands and
// libdeflate the runs between them; a grainy run starts from the 32 KB before it, so it loses no
// matches at its start.
std::vector<uint8_t> zlibInPieces(int level, const uint8_t* data, const std::vector<Piece>& pieces,
                                  size_t bandBytes = 0, const std::vector<bool>& grainyBands = {});

// Makes a complete raw deflate stream joinable: clears the final mark of its last block and
// ends it on a byte boundary with an empty stored block, as zlib's Z_SYNC_FLUSH does, so that
// another stream can follow it. Throws Failure if raw is not a valid stream.
void joinable(std::vector<uint8_t>& raw);

}  // namespace imgctl
