#include "deflate.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "failure.h"
#include "imgctl.h"

namespace imgctl {

Deflater::Deflater(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    if (!compressor_) throw Failure{IMGCTL_ERR_NO_MEMORY};
}

std::vector<uint8_t> Deflater::zlib(const uint8_t* data, size_t size) {
    // The bound is about the input's size, the stream often a tenth of it: a buffer left
    // uninitialised costs only the pages written, where a zero-filled vector costs them all.
    const size_t bound = libdeflate_zlib_compress_bound(compressor_.get(), size);
    const std::unique_ptr<uint8_t[]> out(new uint8_t[bound]);
    const size_t n = libdeflate_zlib_compress(compressor_.get(), data, size, out.get(), bound);
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

struct ZStream {
    z_stream z{};
    ZStream(int level, int strategy) {
        if (deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy) != Z_OK) {
            throw Failure{IMGCTL_ERR_NO_MEMORY};
        }
    }
    ~ZStream() { deflateEnd(&z); }
    ZStream(const ZStream&) = delete;
    ZStream& operator=(const ZStream&) = delete;
};

constexpr int kBandedLevel = 4;

}  // namespace

std::vector<uint8_t> zlibBanded(const uint8_t* data, size_t size, size_t bandBytes,
                                const std::vector<bool>& unfilteredBands) {
    ZStream s(kBandedLevel, Z_FILTERED);
    const size_t bound = deflateBound(&s.z, size) + unfilteredBands.size() * 16;
    const std::unique_ptr<uint8_t[]> out(new uint8_t[bound]);  // uninitialised, as above
    s.z.next_out = out.get();
    s.z.avail_out = static_cast<uInt>(bound);
    int strategy = Z_FILTERED;
    for (size_t band = 0, at = 0; at < size; ++band, at += bandBytes) {
        const int wanted = unfilteredBands[band] ? Z_DEFAULT_STRATEGY : Z_FILTERED;
        if (wanted != strategy && deflateParams(&s.z, kBandedLevel, wanted) != Z_OK)
            throw Failure{IMGCTL_ERR_ENCODE};
        strategy = wanted;
        s.z.next_in = const_cast<uint8_t*>(data + at);
        s.z.avail_in = static_cast<uInt>(std::min(bandBytes, size - at));
        if (deflate(&s.z, Z_NO_FLUSH) != Z_OK) throw Failure{IMGCTL_ERR_ENCODE};
    }
    if (deflate(&s.z, Z_FINISH) != Z_STREAM_END) throw Failure{IMGCTL_ERR_ENCODE};
    return std::vector<uint8_t>(out.get(), out.get() + s.z.total_out);
}

}  // namespace imgctl
