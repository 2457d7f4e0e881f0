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

// The zlib stream of filtered image data made by zlib at level 4, band by band: the bands left
// unfiltered with the full match search, the filtered ones with strategy Z_FILTERED, which keeps
// only matches of six bytes or more. On noise-like photographs that writes fewer bytes than a
// full match search, in under half the time libpng takes at its level 6.
std::vector<uint8_t> zlibBanded(const uint8_t* data, size_t size, size_t bandBytes,
                                const std::vector<bool>& unfilteredBands);

}  // namespace imgctl
