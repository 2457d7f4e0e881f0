#include "deflate.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "deflate_blocks.h"
#include "failure.h"
#include "imgctl.h"
#include "parallel.h"
#include "parts.h"
#include "photo_deflate.h"
#include "processors.h"

namespace imgctl {

Deflater::Deflater(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    if (!compressor_) throw Failure{IMGCTL_ERR_NO_MEMORY};
}

std::vector<uint8_t> Deflater::deflate(const uint8_t* data, size_t size) {
    // The bound is about the input's size, the stream often far smaller: a buffer left
    // uninitialised costs only the pages written, where a zero-filled vector costs them all.
    const size_t bound = libdeflate_deflate_compress_bound(compressor_.get(), size);
    const std::unique_ptr<uint8_t[]> out(new uint8_t[bound]);
    const size_t n = libdeflate_deflate_compress(compressor_.get(), data, size, out.get(), bound);
    if (n == 0) throw Failure{IMGCTL_ERR_ENCODE};
    return std::vector<uint8_t>(out.get(), out.get() + n);
}

size_t Deflater::deflatedSize(const uint8_t* data, size_t size) {
    scratch_.resize(libdeflate_deflate_compress_bound(compressor_.get(), size));
    const size_t n = libdeflate_deflate_compress(compressor_.get(), data, size, scratch_.data(),
                                                 scratch_.size());
    if (n == 0) throw Failure{IMGCTL_ERR_ENCODE};
    return n;
}

namespace {

constexpr size_t kMinPieceBytes = size_t{1} << 20;
constexpr size_t kMaxPieces = 4;

// One piece's raw deflate stream and the Adler-32 of its bytes.
struct Compressed {
    std::vector<uint8_t> raw;
    uint32_t adler;
};

// The zlib stream around the pieces' raw streams, with the header's level hint as libdeflate
// writes it.
std::vector<uint8_t> zlibStream(const std::vector<Piece>& pieces, std::vector<Compressed>&& parts,
                                int level) {
    const unsigned hint = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned header = 0x7800 | hint << 6;  // deflate with a 32 KB window
    header += (31 - header % 31) % 31;     // the check bits: a multiple of 31
    size_t total = 6;
    for (const Compressed& c : parts) total += c.raw.size();
    std::vector<uint8_t> out;
    out.reserve(total);
    out.push_back(uint8_t(header >> 8));
    out.push_back(uint8_t(header));
    uLong adler = parts[0].adler;
    out.insert(out.end(), parts[0].raw.begin(), parts[0].raw.end());
    for (size_t i = 1; i < parts.size(); ++i) {
        const size_t length = pieces[i].end - pieces[i].begin;
        adler = adler32_combine(adler, parts[i].adler, static_cast<z_off_t>(length));
        out.insert(out.end(), parts[i].raw.begin(), parts[i].raw.end());
    }
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(adler >> shift));
    return out;
}

uint32_t adlerOf(const uint8_t* data, const Piece& piece) {
    return libdeflate_adler32(1, data + piece.begin, piece.end - piece.begin);
}

}  // namespace

// zlib's level 6 with its search cut to four candidates (see the header). It is lazy, so a match
// is given up for a longer one at the next position, however long it is.
constexpr int kGrainLevel = 6, kGrainChain = 4, kGrainGood = 32, kGrainLazy = 16, kGrainNice = 258;

constexpr size_t kMaxGrainBytes = size_t{1} << 31;

struct GrainDeflater::Stream {
    z_stream z{};
    std::vector<uint8_t> scratch;
};

GrainDeflater::GrainDeflater() : stream_(std::make_unique<Stream>()) {
    z_stream& z = stream_->z;
    if (deflateInit2(&z, kGrainLevel, Z_DEFLATED, -15, 8, Z_FILTERED) != Z_OK) {
        throw Failure{IMGCTL_ERR_NO_MEMORY};
    }
}

GrainDeflater::~GrainDeflater() {
    deflateEnd(&stream_->z);
}

size_t GrainDeflater::deflatedSize(const uint8_t* dictionary, size_t dictionarySize,
                                   const uint8_t* data, size_t size) {
    // zlib counts the bytes in and out of one call in 32 bits: larger runs would be cut short.
    if (size > kMaxGrainBytes || dictionarySize > kWindowBytes) throw Failure{IMGCTL_ERR_ENCODE};
    z_stream& z = stream_->z;
    // A reset goes back to the level's own search, so the tuning follows it every time.
    if (deflateReset(&z) != Z_OK ||
        deflateTune(&z, kGrainGood, kGrainLazy, kGrainNice, kGrainChain) != Z_OK) {
        throw Failure{IMGCTL_ERR_ENCODE};
    }
    if (dictionarySize > 0 &&
        deflateSetDictionary(&z, dictionary, static_cast<uInt>(dictionarySize)) != Z_OK) {
        throw Failure{IMGCTL_ERR_ENCODE};
    }
    std::vector<uint8_t>& out = stream_->scratch;
    out.resize(deflateBound(&z, size));
    z.next_in = const_cast<uint8_t*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (::deflate(&z, Z_FINISH) != Z_STREAM_END || z.avail_in != 0) {
        throw Failure{IMGCTL_ERR_ENCODE};
    }
    return z.total_out;
}

std::vector<Piece> cutIntoPieces(size_t size, size_t bandBytes, size_t count, double lastWeight) {
    const size_t bands = std::max<size_t>(1, (size + bandBytes - 1) / bandBytes);
    count = std::clamp<size_t>(count, 1, bands);
    const double shares = double(count - 1) + lastWeight;
    std::vector<Piece> pieces;
    size_t band = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t share = size_t(std::lround(double(bands) * double(i + 1) / shares));
        // at least one band each, and the rest to the last
        const size_t end =
            i + 1 == count ? bands : std::clamp(share, band + 1, bands - (count - 1 - i));
        pieces.push_back({std::min(size, band * bandBytes), std::min(size, end * bandBytes)});
        band = end;
    }
    return pieces;
}

size_t pieceCountFor(size_t size) {
    if (!parts::pieces) return 1;
    return std::clamp<size_t>(size / kMinPieceBytes, 1, std::min(processorsAllowed(), kMaxPieces));
}

void joinable(std::vector<uint8_t>& raw) {
    const std::optional<LastBlock> last = findLastBlock(raw.data(), raw.size());
    if (!last) throw Failure{IMGCTL_ERR_ENCODE};
    const uint64_t lastStart = last->start, end = last->end;
    raw[lastStart / 8] &= uint8_t(~(1u << (lastStart % 8)));
    raw.resize((end + 7) / 8);
    const unsigned used = end % 8;  // bits of the last byte in use, 0 for all of them
    if (used) raw.back() &= uint8_t((1u << used) - 1);
    // The empty stored block: three zero header bits, zeros to the byte boundary, then its
    // length 0 and that length's complement.
    if (used == 0 || 8 - used < 3) raw.push_back(0);
    raw.insert(raw.end(), {0x00, 0x00, 0xFF, 0xFF});
}

namespace {

// A run of bands that one compressor takes.
struct Run {
    Piece bytes;
    bool grainy;
};

// The piece cut where its bands change between grainy and not.
std::vector<Run> runsOf(const Piece& piece, size_t bandBytes, const std::vector<bool>& grainy) {
    if (grainy.empty() || bandBytes == 0) return {{piece, false}};
    std::vector<Run> runs;
    for (size_t at = piece.begin; at < piece.end; at += bandBytes) {
        const size_t band = at / bandBytes;
        const bool isGrainy = band < grainy.size() && grainy[band];
        if (runs.empty() || runs.back().grainy != isGrainy) runs.push_back({{at, at}, isGrainy});
        runs.back().bytes.end = std::min(piece.end, at + bandBytes);
    }
    return runs;
}

}  // namespace

std::vector<uint8_t> zlibInPieces(int level, const uint8_t* data, const std::vector<Piece>& pieces,
                                  size_t bandBytes, const std::vector<bool>& grainyBands) {
    auto compress = [&](size_t i) {
        const Piece& piece = pieces[i];
        const std::vector<Run> runs = runsOf(piece, bandBytes, grainyBands);
        // Each compressor is made only if a run needs it: a photograph's piece may be all grain.
        std::optional<Deflater> deflater;
        std::optional<PhotoDeflater> grain;
        Compressed c{{}, adlerOf(data, piece)};
        for (const Run& run : runs) {
            const Piece& r = run.bytes;
            const bool last = i + 1 == pieces.size() && &run == &runs.back();
            std::vector<uint8_t> raw;
            if (run.grainy && parts::photoDeflater) {
                if (!grain) grain.emplace();
                const size_t window = std::min(kWindowBytes, r.begin);
                raw = grain->deflate(data + r.begin, window, r.end - r.begin, last);
            } else {
                if (!deflater) deflater.emplace(level);
                raw = deflater->deflate(data + r.begin, r.end - r.begin);
                if (!last) joinable(raw);
            }
            if (c.raw.empty()) {
                c.raw = std::move(raw);
            } else {
                c.raw.insert(c.raw.end(), raw.begin(), raw.end());
            }
        }
        return c;
    };
    return zlibStream(pieces, onThreads(pieces.size(), compress), level);
}

}  // namespace imgctl
