#include "deflate.h"

#include <libdeflate.h>

#include <memory>

#include "failure.h"
#include "imgctl.h"

namespace imgctl {
namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

}  // namespace

std::vector<uint8_t> zlibCompress(const uint8_t* data, size_t size, int level) {
    const Compressor compressor(libdeflate_alloc_compressor(level));
    if (!compressor) throw Failure{IMGCTL_ERR_NO_MEMORY};
    std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor.get(), size));
    const size_t n = libdeflate_zlib_compress(compressor.get(), data, size, out.data(), out.size());
    if (n == 0) throw Failure{IMGCTL_ERR_ENCODE};
    out.resize(n);
    return out;
}

}  // namespace imgctl
