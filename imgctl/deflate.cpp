#include "deflate.h"

#include <sched.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <thread>

#include "deflate_blocks.h"
#include "failure.h"
#include "imgctl.h"
#include "parallel.h"

namespace imgctl {

Deflater::Deflater(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    if (!compressor_) throw Failure{IMGCTL_ERR_NO_MEMORY};
}

std::vector<uint8_t> Deflater::deflate(const uint8_t* data, size_t size) {
    // The bound is about the input's size, the stream often a tenth of it: a buffer left
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
constexpr size_t kWindowBytes = 32768;  // how far back deflate matches reach

struct Deflating {
    z_stream z{};
    Deflating(int level, int strategy) {
        if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) {
            throw Failure{IMGCTL_ERR_NO_MEMORY};
        }
    }
    ~Deflating() { deflateEnd(&z); }
    Deflating(const Deflating&) = delete;
    Deflating& operator=(const Deflating&) = delete;
};

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

constexpr int kBandedLevel = 4;

}  // namespace

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
    // The processors this thread may run on (taskset, cpusets), not all the machine has.
    cpu_set_t allowed;
    const size_t processors = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                                  ? size_t(std::max(1, CPU_COUNT(&allowed)))
                                  : std::max(1u, std::thread::hardware_concurrency());
    return std::clamp<size_t>(size / kMinPieceBytes, 1, std::min(processors, kMaxPieces));
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

std::vector<uint8_t> zlibInPieces(int level, const uint8_t* data,
                                  const std::vector<Piece>& pieces) {
    auto compress = [&](size_t i) {
        const Piece& p = pieces[i];
        Compressed c{Deflater(level).deflate(data + p.begin, p.end - p.begin), adlerOf(data, p)};
        if (i + 1 < pieces.size()) joinable(c.raw);
        return c;
    };
    return zlibStream(pieces, onThreads(pieces.size(), compress), level);
}

std::vector<uint8_t> zlibBanded(const uint8_t* data, const std::vector<Piece>& pieces,
                                size_t bandBytes, const std::vector<bool>& unfilteredBands) {
    auto compress = [&](size_t i) {
        const Piece& p = pieces[i];
        Deflating s(kBandedLevel, Z_FILTERED);
        if (p.begin > 0) {
            const size_t window = std::min(kWindowBytes, p.begin);
            if (deflateSetDictionary(&s.z, data + p.begin - window, uInt(window)) != Z_OK)
                throw Failure{IMGCTL_ERR_ENCODE};
        }
        const size_t bound = deflateBound(&s.z, p.end - p.begin) + unfilteredBands.size() * 16;
        const std::unique_ptr<uint8_t[]> out(new uint8_t[bound]);  // uninitialised, as above
        s.z.next_out = out.get();
        s.z.avail_out = static_cast<uInt>(bound);
        int strategy = Z_FILTERED;
        for (size_t at = p.begin; at < p.end; at += bandBytes) {
            const int wanted = unfilteredBands[at / bandBytes] ? Z_DEFAULT_STRATEGY : Z_FILTERED;
            if (wanted != strategy && deflateParams(&s.z, kBandedLevel, wanted) != Z_OK)
                throw Failure{IMGCTL_ERR_ENCODE};
            strategy = wanted;
            s.z.next_in = const_cast<uint8_t*>(data + at);
            s.z.avail_in = static_cast<uInt>(std::min(bandBytes, p.end - at));
            if (::deflate(&s.z, Z_NO_FLUSH) != Z_OK) throw Failure{IMGCTL_ERR_ENCODE};
        }
        const bool last = i + 1 == pieces.size();
        const int ends = ::deflate(&s.z, last ? Z_FINISH : Z_SYNC_FLUSH);
        if (ends != (last ? Z_STREAM_END : Z_OK)) throw Failure{IMGCTL_ERR_ENCODE};
        return Compressed{std::vector<uint8_t>(out.get(), out.get() + s.z.total_out),
                          adlerOf(data, p)};
    };
    return zlibStream(pieces, onThreads(pieces.size(), compress), kBandedLevel);
}

}  // namespace imgctl
