// The image library's deflate block reader, which finds where a compressed piece's last block
// lies so the next piece can follow it: on any bytes it returns or refuses without fault, and
// on every stream zlib's inflate accepts it finds the last block where inflate does. The first
// byte chooses what the rest is: a stream read as it is; bytes compressed by libdeflate at a level
// they choose, then made joinable and followed by another stream; or bytes compressed in bands
// of which some go to the photo deflater, in one piece or more, which must decode to the bytes.
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

void checkMixed(const uint8_t* data, size_t size, uint8_t choice) {
    if (size == 0) return;
    const size_t bandBytes = 1 + data[0] * 8u;
    const size_t bands = (size + bandBytes - 1) / bandBytes;
    std::vector<bool> grainy(bands);
    for (size_t b = 0; b < bands; ++b) grainy[b] = (data[b % size] >> (b % 8)) & 1;
    const size_t count = 1 + choice / 3 % 4;
    const std::vector<imgctl::Piece> pieces = imgctl::cutIntoPieces(size, bandBytes, count);
    const Bytes zlib = imgctl::zlibInPieces(1 + choice / 12 % 9, data, pieces, bandBytes, grainy);
    Bytes out(size + 1);
    uLongf length = out.size();
    FUZZ_REQUIRE(uncompress(out.data(), &length, zlib.data(), zlib.size()) == Z_OK);
    FUZZ_REQUIRE(length == size);
    FUZZ_REQUIRE(Bytes(out.begin(), out.begin() + size) == Bytes(data, data + size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    switch (data[0] % 3) {
        case 0:
            checkAgainstInflate(data + 1, size - 1);
            break;
        case 1:
            checkJoined(data + 1, size - 1, 1 + data[0] / 3 % 12);
            break;
        default:
            checkMixed(data + 1, size - 1, data[0]);
    }
    return 0;
}
