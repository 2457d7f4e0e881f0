#include "deflate.h"

#include <zlib.h>

#include "failure.h"
#include "imgctl.h"

namespace imgctl {

Deflater::Deflater(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    if (!compressor_) throw Failure{IMGCTL_ERR_NO_MEMORY};
}

std::vector<uint8_t> Deflater::zlib(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor_.get(), size));
    const size_t n =
        libdeflate_zlib_compress(compressor_.get(), data, size, out.data(), out.size());
    if (n == 0) throw Failure{IMGCTL_ERR_ENCODE};
    out.resize(n);
    return out;
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

    static constexpr int kRunLengthLevel = 6;  // Z_RLE ignores the level's search settings
    static constexpr int kMatchLevel = 1;
};

}  // namespace

std::vector<uint8_t> zlibByParts(const uint8_t* data, size_t size,
                                 const std::vector<ZlibPart>& parts) {
    ZStream s(ZStream::kRunLengthLevel, Z_RLE);
    std::vector<uint8_t> out(deflateBound(&s.z, size) + 64 * parts.size() + 64);
    s.z.next_out = out.data();
    s.z.avail_out = static_cast<uInt>(out.size());
    size_t at = 0;
    bool runLengths = true;
    for (const ZlibPart& part : parts) {
        if (part.runLengths != runLengths) {
            runLengths = part.runLengths;
            const int level = runLengths ? ZStream::kRunLengthLevel : ZStream::kMatchLevel;
            if (deflateParams(&s.z, level, runLengths ? Z_RLE : Z_DEFAULT_STRATEGY) != Z_OK) {
                throw Failure{IMGCTL_ERR_ENCODE};
            }
        }
        s.z.next_in = const_cast<uint8_t*>(data + at);
        s.z.avail_in = static_cast<uInt>(part.end - at);
        if (deflate(&s.z, Z_NO_FLUSH) != Z_OK || s.z.avail_in != 0)
            throw Failure{IMGCTL_ERR_ENCODE};
        at = part.end;
    }
    if (at != size || deflate(&s.z, Z_FINISH) != Z_STREAM_END) throw Failure{IMGCTL_ERR_ENCODE};
    out.resize(s.z.total_out);
    return out;
}

std::vector<uint8_t> zlibAsLibpng(const uint8_t* data, size_t size) {
    ZStream s(6, Z_FILTERED);
    std::vector<uint8_t> out(deflateBound(&s.z, size));
    s.z.next_in = const_cast<uint8_t*>(data);
    s.z.avail_in = static_cast<uInt>(size);
    s.z.next_out = out.data();
    s.z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&s.z, Z_FINISH) != Z_STREAM_END) throw Failure{IMGCTL_ERR_ENCODE};
    out.resize(s.z.total_out);
    return out;
}

}  // namespace imgctl
