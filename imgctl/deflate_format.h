// The fixed parts of the deflate format (RFC 1951) that both the block reader and the photo
// deflater need.
#pragma once

#include <cstdint>

namespace imgctl::deflate_format {

// Lengths 3-258: each length code's first length and its extra bits.
inline constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                             15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distances 1-32768: each distance code's first distance and its extra bits.
inline constexpr uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                               6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block's header gives the code lengths' own code lengths.
inline constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                 11, 4,  12, 3, 13, 2, 14, 1, 15};

// The canonical code of each symbol from the code lengths (0 for unused), bit-reversed: codes are
// sent from their highest bit, and the stream is read and written from its lowest.
inline void canonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes) {
    unsigned perLength[16] = {}, next[16] = {};
    for (unsigned s = 0; s < count; ++s) ++perLength[lengths[s]];
    perLength[0] = 0;
    for (unsigned bits = 1, code = 0; bits < 16; ++bits) {
        code = (code + perLength[bits - 1]) << 1;
        next[bits] = code;
    }
    for (unsigned s = 0; s < count; ++s) {
        const unsigned length = lengths[s];
        unsigned code = length ? next[length]++ : 0, reversed = 0;
        for (unsigned b = 0; b < length; ++b, code >>= 1) reversed = reversed << 1 | (code & 1);
        codes[s] = uint16_t(reversed);
    }
}

}  // namespace imgctl::deflate_format
