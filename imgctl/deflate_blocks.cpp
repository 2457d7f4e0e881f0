#include "deflate_blocks.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "deflate_format.h"

namespace imgctl {
namespace {

static_assert(std::endian::native == std::endian::little, "bits are read a word at a time");

// The stream read bit by bit, lowest bit first; zeros past its end, which past() tells.
class Bits {
public:
    Bits(const uint8_t* data, size_t size) : data_(data), size_(size), limit_(uint64_t(size) * 8) {}

    // The next n bits (n up to 32) without taking them.
    uint32_t peek(unsigned n) const {
        const size_t byte = size_t(pos_ >> 3);
        uint64_t word = 0;
        if (byte + 8 <= size_) {
            std::memcpy(&word, data_ + byte, 8);
        } else {
            for (size_t i = byte; i < size_; ++i) word |= uint64_t(data_[i]) << (8 * (i - byte));
        }
        return uint32_t((word >> (pos_ & 7)) & ((uint64_t{1} << n) - 1));
    }
    void skip(uint64_t n) { pos_ += n; }
    uint32_t take(unsigned n) {
        const uint32_t v = peek(n);
        skip(n);
        return v;
    }
    void toByteBoundary() { pos_ = (pos_ + 7) & ~uint64_t{7}; }
    uint64_t pos() const { return pos_; }
    bool past() const { return pos_ > limit_; }

private:
    const uint8_t* data_;
    size_t size_;
    uint64_t limit_;
    uint64_t pos_ = 0;
};

using deflate_format::kDistanceExtra;
using deflate_format::kLengthExtra;

constexpr size_t kLiteralLengthCodes = 288, kDistanceCodes = 32;

// One prefix code as a table indexed by the next maxBits bits of the stream: each entry is
// symbol << 4 | the code's length, 0 where no code starts so.
class Code {
public:
    // From the code lengths of symbols 0 to count - 1; false if they over-fill the code space.
    bool build(const uint8_t* lengths, size_t count) {
        std::array<unsigned, 16> perLength{};
        for (size_t i = 0; i < count; ++i) ++perLength[lengths[i]];
        perLength[0] = 0;
        int left = 1;
        maxBits_ = 1;
        for (unsigned bits = 1; bits < 16; ++bits) {
            left = left * 2 - int(perLength[bits]);
            if (left < 0) return false;
            if (perLength[bits]) maxBits_ = bits;
        }
        std::array<uint16_t, kLiteralLengthCodes> codes;
        deflate_format::canonicalCodes(lengths, unsigned(count), codes.data());
        table_.assign(size_t{1} << maxBits_, 0);
        for (size_t symbol = 0; symbol < count; ++symbol) {
            const unsigned length = lengths[symbol];
            if (length == 0) continue;
            for (size_t i = codes[symbol]; i < table_.size(); i += size_t{1} << length)
                table_[i] = uint16_t(symbol << 4 | length);
        }
        return true;
    }

    // The next symbol, or -1 where the bits start no code.
    int decode(Bits& bits) const {
        const uint16_t entry = table_[bits.peek(maxBits_)];
        if ((entry & 15) == 0) return -1;
        bits.skip(entry & 15);
        return entry >> 4;
    }

private:
    std::vector<uint16_t> table_;
    unsigned maxBits_ = 1;
};

struct Codes {
    Code literalLength, distance;
};

const Codes& fixedCodes() {
    static const Codes codes = [] {
        Codes c;
        uint8_t lengths[kLiteralLengthCodes];
        std::memset(lengths, 8, 144);
        std::memset(lengths + 144, 9, 112);
        std::memset(lengths + 256, 7, 24);
        std::memset(lengths + 280, 8, 8);
        c.literalLength.build(lengths, kLiteralLengthCodes);
        std::memset(lengths, 5, kDistanceCodes);
        c.distance.build(lengths, kDistanceCodes);
        return c;
    }();
    return codes;
}

bool readCodes(Bits& bits, Codes& codes) {
    const size_t literals = bits.take(5) + 257, distances = bits.take(5) + 1;
    const size_t lengthCodes = bits.take(4) + 4;
    uint8_t lengthLengths[19] = {};
    for (size_t i = 0; i < lengthCodes; ++i)
        lengthLengths[deflate_format::kCodeLengthOrder[i]] = uint8_t(bits.take(3));
    Code lengthCode;
    if (!lengthCode.build(lengthLengths, 19)) return false;
    uint8_t lengths[kLiteralLengthCodes + kDistanceCodes] = {};
    const size_t total = literals + distances;
    for (size_t i = 0; i < total;) {
        const int symbol = lengthCode.decode(bits);
        if (symbol < 0 || bits.past()) return false;
        if (symbol < 16) {
            lengths[i++] = uint8_t(symbol);
            continue;
        }
        uint8_t value = 0;
        size_t repeat;
        if (symbol == 16) {
            if (i == 0) return false;
            value = lengths[i - 1];
            repeat = 3 + bits.take(2);
        } else if (symbol == 17) {
            repeat = 3 + bits.take(3);
        } else {
            repeat = 11 + bits.take(7);
        }
        if (i + repeat > total) return false;
        std::memset(lengths + i, value, repeat);
        i += repeat;
    }
    return codes.literalLength.build(lengths, literals) &&
           codes.distance.build(lengths + literals, distances);
}

// Reads the coded symbols up to the end-of-block code.
bool skipSymbols(Bits& bits, const Codes& codes) {
    for (;;) {
        if (bits.past()) return false;
        const int symbol = codes.literalLength.decode(bits);
        if (symbol < 256) {
            if (symbol < 0) return false;
            continue;
        }
        if (symbol == 256) return true;
        if (symbol > 285) return false;
        bits.skip(kLengthExtra[symbol - 257]);
        const int distance = codes.distance.decode(bits);
        if (distance < 0 || distance > 29) return false;
        bits.skip(kDistanceExtra[distance]);
    }
}

bool skipStored(Bits& bits) {
    bits.toByteBoundary();
    const uint32_t length = bits.take(16), complement = bits.take(16);
    if (length != (~complement & 0xFFFF)) return false;
    bits.skip(uint64_t{length} * 8);
    return true;
}

}  // namespace

std::optional<LastBlock> findLastBlock(const uint8_t* data, size_t size) {
    Bits bits(data, size);
    Codes dynamic;
    for (;;) {
        const uint64_t start = bits.pos();
        const bool final = bits.take(1);
        bool read = false;
        switch (bits.take(2)) {
            case 0:
                read = skipStored(bits);
                break;
            case 1:
                read = skipSymbols(bits, fixedCodes());
                break;
            case 2:
                read = readCodes(bits, dynamic) && skipSymbols(bits, dynamic);
                break;
        }
        if (!read || bits.past()) return std::nullopt;
        if (final) return LastBlock{start, bits.pos()};
    }
}

}  // namespace imgctl
