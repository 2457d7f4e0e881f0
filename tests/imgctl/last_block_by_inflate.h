// The final block of a raw deflate stream as zlib's inflate finds it, stopping at every block
// end (Z_BLOCK): the reference the library's block reader is checked against.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "deflate_blocks.h"

namespace imgctl_test {

// Nothing if inflate refuses the stream or it ends before its final block does.
inline std::optional<imgctl::LastBlock> lastBlockByInflate(const uint8_t* data, size_t size) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    z.next_in = const_cast<uint8_t*>(data);
    z.avail_in = uInt(size);
    std::vector<uint8_t> sink(1 << 16);
    uint64_t blockStart = 0;
    std::optional<imgctl::LastBlock> last;
    while (!last) {
        z.next_out = sink.data();
        z.avail_out = uInt(sink.size());
        if (inflate(&z, Z_BLOCK) != Z_OK) break;
        if (z.data_type & 128) {  // at a block's end; 64: that block was the final one
            const uint64_t at = uint64_t(z.total_in) * 8 - (z.data_type & 7);
            if (z.data_type & 64) last = imgctl::LastBlock{blockStart, at};
            blockStart = at;
        }
    }
    inflateEnd(&z);
    return last;
}

}  // namespace imgctl_test
