// The image library's deflate block reader, which finds where a compressed piece's last block
// lies so the next piece can follow it: on any bytes it returns or refuses without fault, and
// on every stream zlib's inflate accepts it finds the last block where inflate does. Inputs
// starting with an even byte are read as a stream as they are; the others are first compressed
// by libdeflate at a level they choose, then made joinable and followed by another stream.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "Property.h"
#include "deflate.h"
#include "deflate_blocks.h"
#include "last_block_by_inflate.h"

namespace {

using Bytes = std::vector<uint8_t>;

void checkAgainstInflate(const uint8_t* data, size_t size) {
    const std::optional<imgctl::LastBlock> found = imgctl::findLastBlock(data, size);
    const std::optional<imgctl::LastBlock> expected = imgctl_test::lastBlockByInflate(data, size);
    if (!expected) return;  // the reader may accept streams inflate refuses; it is never given one
    FUZZ_REQUIRE(found.has_value());
    FUZZ_REQUIRE(found->start == expected->start);
    FUZZ_REQUIRE(found->end == expected->end);
}

void checkJoined(const uint8_t* data, size_t size, int level) {
    Bytes joined = imgctl::Deflater(level).deflate(data, size);
    checkAgainstInflate(joined.data(), joined.size());
    imgctl::joinable(joined);
    static const uint8_t kTail[] = "the next piece";
    const Bytes next = imgctl::Deflater(1).deflate(kTail, sizeof kTail);
    joined.insert(joined.end(), next.begin(), next.end());

    Bytes out(size + sizeof kTail + 1);
    uLongf length = out.size();
    z_stream z{};
    FUZZ_REQUIRE(inflateInit2(&z, -15) == Z_OK);
    z.next_in = joined.data();
    z.avail_in = uInt(joined.size());
    z.next_out = out.data();
    z.avail_out = uInt(length);
    FUZZ_REQUIRE(inflate(&z, Z_FINISH) == Z_STREAM_END);
    FUZZ_REQUIRE(z.avail_in == 0);
    FUZZ_REQUIRE(z.total_out == size + sizeof kTail);
    inflateEnd(&z);
    FUZZ_REQUIRE(Bytes(out.begin(), out.begin() + size) == Bytes(data, data + size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] % 2 == 0) {
        checkAgainstInflate(data + 1, size - 1);
    } else {
        checkJoined(data + 1, size - 1, 1 + data[0] / 2 % 12);
    }
    return 0;
}
