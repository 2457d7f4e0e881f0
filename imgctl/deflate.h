// zlib-format and raw deflate compression through libdeflate.
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

    // The zlib stream of data.
    std::vector<uint8_t> zlib(const uint8_t* data, size_t size);

    // The size of data as a raw deflate stream: a cheap measure of how well it compresses.
    size_t deflatedSize(const uint8_t* data, size_t size);

private:
    struct Free {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    std::unique_ptr<libdeflate_compressor, Free> compressor_;
    std::vector<uint8_t> scratch_;
};

// The zlib stream of data cut into parts, each compressed its own way: run lengths only (zlib's
// Z_RLE), which suits noise-like filtered photographs better than searching for matches, or a
// fast match search. parts: (end offset, run lengths only) in order, the last ending at size.
struct ZlibPart {
    size_t end;
    bool runLengths;
};
std::vector<uint8_t> zlibByParts(const uint8_t* data, size_t size,
                                 const std::vector<ZlibPart>& parts);

// The zlib stream of data as libpng writes it by default: zlib level 6, strategy Z_FILTERED.
std::vector<uint8_t> zlibAsLibpng(const uint8_t* data, size_t size);

}  // namespace imgctl
