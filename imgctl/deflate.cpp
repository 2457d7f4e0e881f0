#include "deflate.h"

#include <zlib.h>

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

constexpr int kFilteredLevel = 4;  // level 6 takes twice the time for 0.2% fewer bytes

}  // namespace

std::vector<uint8_t> zlibFiltered(const uint8_t* data, size_t size) {
    ZStream s(kFilteredLevel, Z_FILTERED);
    const size_t bound = deflateBound(&s.z, size);
    const std::unique_ptr<uint8_t[]> out(new uint8_t[bound]);  // uninitialised, as above
    s.z.next_in = const_cast<uint8_t*>(data);
    s.z.avail_in = static_cast<uInt>(size);
    s.z.next_out = out.get();
    s.z.avail_out = static_cast<uInt>(bound);
    if (deflate(&s.z, Z_FINISH) != Z_STREAM_END) throw Failure{IMGCTL_ERR_ENCODE};
    return std::vector<uint8_t>(out.get(), out.get() + s.z.total_out);
}

}  // namespace imgctl
