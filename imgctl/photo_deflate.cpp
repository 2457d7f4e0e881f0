#include "photo_deflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

#include "deflate_format.h"
#include "failure.h"
#include "imgctl.h"

namespace imgctl {
namespace {

static_assert(std::endian::native == std::endian::little, "bytes are compared a word at a time");

constexpr unsigned kMinMatch = 3, kMaxMatch = 258;
constexpr size_t kWindow = 32768;
constexpr unsigned kHashBits = 16;
// Input bytes per block: each block gets codes of its own.
constexpr size_t kBlockBytes = 131072;
// A match this long is taken as it is: the positions it covers are not searched.
constexpr unsigned kSkipLength = 32;
// Every length up to this one is weighed; longer matches only at their whole length.
constexpr unsigned kWeighedLengths = 8;
// What an unused symbol is taken to cost, in bits.
constexpr uint32_t kUnusedCost = 13;

constexpr unsigned kLitLenCodes = 286, kDistCodes = 30, kEndOfBlock = 256;
using deflate_format::canonicalCodes;
using deflate_format::kCodeLengthOrder;
using deflate_format::kDistanceBase;
using deflate_format::kDistanceExtra;
using deflate_format::kLengthBase;
using deflate_format::kLengthExtra;

// The length and distance codes of each length and distance.
struct CodeOf {
    uint8_t length[kMaxMatch + 1];
    uint8_t nearDistance[256];  // distances 1-256
    uint8_t farDistance[256];   // distances 257-32768, by (distance - 1) / 128

    CodeOf() {
        for (unsigned c = 0; c < 29; ++c) {
            const unsigned end = c == 28 ? kMaxMatch + 1 : kLengthBase[c + 1];
            for (unsigned l = kLengthBase[c]; l < end; ++l) length[l] = uint8_t(c);
        }
        length[kMaxMatch] = 28;  // 258 has a code of its own; 227-257 share the one before
        for (unsigned c = 0; c < 30; ++c) {
            const unsigned end = c == 29 ? kWindow + 1 : kDistanceBase[c + 1];
            for (unsigned d = kDistanceBase[c]; d < end; ++d) {
                if (d <= 256) {
                    nearDistance[d - 1] = uint8_t(c);
                } else {
                    farDistance[(d - 1) >> 7] = uint8_t(c);
                }
            }
        }
    }
    unsigned distance(unsigned d) const {
        return d <= 256 ? nearDistance[d - 1] : farDistance[(d - 1) >> 7];
    }
};
const CodeOf kCodeOf;

uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// How many bytes from a and b are the same, up to max.
unsigned matchLength(const uint8_t* a, const uint8_t* b, unsigned max) {
    unsigned n = 0;
    for (; n + 8 <= max; n += 8) {
        const uint64_t differ = load64(a + n) ^ load64(b + n);
        if (differ) return n + unsigned(__builtin_ctzll(differ) >> 3);
    }
    while (n < max && a[n] == b[n]) ++n;
    return n;
}

// Code lengths for the frequencies, none over limit, making a complete code (inflate refuses
// incomplete ones): Huffman's, on frequencies halved until the longest fits.
void codeLengths(const uint32_t* frequencies, unsigned count, unsigned limit, uint8_t* lengths) {
    std::vector<uint32_t> f(frequencies, frequencies + count);
    std::vector<std::pair<uint32_t, uint16_t>> leaves;
    for (;;) {
        leaves.clear();
        for (unsigned s = 0; s < count; ++s) {
            if (f[s]) leaves.push_back({f[s], uint16_t(s)});
        }
        // A complete code needs two symbols.
        for (unsigned s = 0; leaves.size() < 2; ++s) {
            if (!f[s]) leaves.push_back({1, uint16_t(s)});
        }
        std::sort(leaves.begin(), leaves.end());
        // Two queues: the sorted leaves, and the joined nodes, which come in weight order.
        const size_t m = leaves.size(), root = 2 * m - 2;
        std::vector<uint64_t> weight(2 * m - 1);
        std::vector<uint32_t> parent(2 * m - 1);
        for (size_t i = 0; i < m; ++i) weight[i] = leaves[i].first;
        size_t leaf = 0, node = m;
        auto lightest = [&](size_t end) {
            if (leaf < m && (node >= end || weight[leaf] <= weight[node])) return leaf++;
            return node++;
        };
        for (size_t joined = m; joined <= root; ++joined) {
            const size_t a = lightest(joined), b = lightest(joined);
            weight[joined] = weight[a] + weight[b];
            parent[a] = parent[b] = uint32_t(joined);
        }
        std::vector<uint8_t> depth(2 * m - 1, 0);
        unsigned longest = 0;
        for (size_t i = root; i-- > 0;) {
            depth[i] = uint8_t(depth[parent[i]] + 1);
            if (i < m) longest = std::max<unsigned>(longest, depth[i]);
        }
        if (longest <= limit) {
            std::memset(lengths, 0, count);
            for (size_t i = 0; i < m; ++i) lengths[leaves[i].second] = depth[i];
            return;
        }
        for (uint32_t& x : f) {
            if (x) x = (x >> 1) | 1;
        }
    }
}

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

    [[gnu::always_inline]] void put(uint32_t bits, unsigned n) {
        pending_ |= uint64_t(bits) << count_;
        count_ += n;
        if (count_ >= 32) {
            const uint32_t word = uint32_t(pending_);
            const size_t at = out_.size();
            out_.resize(at + 4);
            std::memcpy(out_.data() + at, &word, 4);
            pending_ >>= 32;
            count_ -= 32;
        }
    }

    // Pads to a byte boundary with zeros and writes out what is pending.
    void align() {
        for (; count_ > 0; count_ = count_ > 8 ? count_ - 8 : 0) {
            out_.push_back(uint8_t(pending_));
            pending_ >>= 8;
        }
        pending_ = 0;
    }

private:
    std::vector<uint8_t>& out_;
    uint64_t pending_ = 0;
    unsigned count_ = 0;
};

// A code length or one of the codes 16 (repeat the last), 17 and 18 (zeros), with the value of
// its extra bits.
struct LengthRun {
    uint8_t code, extra;
};

// The code lengths as a dynamic block's header gives them, runs of them shortened.
std::vector<LengthRun> lengthRuns(const uint8_t* lengths, unsigned all) {
    std::vector<LengthRun> runs;
    for (unsigned i = 0; i < all;) {
        const uint8_t v = lengths[i];
        unsigned run = 1;
        while (i + run < all && lengths[i + run] == v) ++run;
        i += run;
        if (v == 0) {
            for (; run >= 11; run -= std::min(run, 138u)) {
                runs.push_back({18, uint8_t(std::min(run, 138u) - 11)});
            }
            if (run >= 3) {
                runs.push_back({17, uint8_t(run - 3)});
                run = 0;
            }
        } else {
            runs.push_back({v, 0});
            for (--run; run >= 3; run -= std::min(run, 6u)) {
                runs.push_back({16, uint8_t(std::min(run, 6u) - 3)});
            }
        }
        for (; run > 0; --run) runs.push_back({v, 0});
    }
    return runs;
}

// A literal (distance 0, its byte as length) or a match.
struct Symbol {
    uint16_t length, distance;
};

// Up to two matches at a position, the second longer and farther.
struct Matches {
    Symbol match[2];
    uint8_t distanceCode[2];
    uint8_t count;
};

// One block's code lengths.
struct Code {
    uint8_t literalLength[kLitLenCodes], distance[kDistCodes];

    void build(const uint32_t* literalLengthCounts, const uint32_t* distanceCounts) {
        codeLengths(literalLengthCounts, kLitLenCodes, 15, literalLength);
        codeLengths(distanceCounts, kDistCodes, 15, distance);
    }
};

struct Costs {
    uint32_t literal[256], length[kMaxMatch + 1], distance[kDistCodes];

    explicit Costs(const Code& code) {
        auto cost = [](uint8_t bits) { return bits ? uint32_t(bits) : kUnusedCost; };
        for (unsigned s = 0; s < 256; ++s) literal[s] = cost(code.literalLength[s]);
        for (unsigned l = kMinMatch; l <= kMaxMatch; ++l) {
            const unsigned c = kCodeOf.length[l];
            length[l] = cost(code.literalLength[257 + c]) + kLengthExtra[c];
        }
        for (unsigned c = 0; c < kDistCodes; ++c) {
            distance[c] = cost(code.distance[c]) + kDistanceExtra[c];
        }
    }
};

}  // namespace

struct PhotoDeflater::State {
    const uint8_t* base = nullptr;  // the dictionary's start: positions count from here
    size_t total = 0;               // bytes from base to the data's end
    // By the hash of three bytes, the last two positions they were seen at, latest first.
    std::vector<int32_t> seen;
    std::vector<Matches> matches;  // per position of the block
    std::vector<uint32_t> cost;    // per position of the block: bits to the block's end
    std::vector<Symbol> choice;    // per position of the block: the cheapest way on
    std::vector<Symbol> symbols;   // the block's parse
    uint32_t literalLengthCounts[kLitLenCodes], distanceCounts[kDistCodes];
    Code code;
    bool haveCode = false;

    unsigned hash3(size_t i) const {
        return ((load32(base + i) & 0xFFFFFF) * 0x9E3779B1u) >> (32 - kHashBits);
    }

    void start(const uint8_t* data, size_t dictionarySize, size_t size);
    void remember(size_t i);
    unsigned find(size_t i, unsigned max, Matches& found);
    void findAll(size_t begin, size_t end);
    void firstCode(size_t begin, size_t end);
    void parse(size_t begin, size_t end, const Costs& costs);
    void trace(size_t begin, size_t end);
    void writeBlock(BitWriter& bits, std::vector<uint8_t>& out, size_t begin, size_t end,
                    bool final);
    void writeStored(BitWriter& bits, std::vector<uint8_t>& out, size_t begin, size_t end,
                     bool final);
};

void PhotoDeflater::State::start(const uint8_t* data, size_t dictionarySize, size_t size) {
    dictionarySize = std::min(dictionarySize, kWindow);
    // Positions are kept in 32 bits.
    if (size > size_t(INT32_MAX) - dictionarySize) throw Failure{IMGCTL_ERR_ENCODE};
    base = data - dictionarySize;
    total = dictionarySize + size;
    seen.assign(size_t{2} << kHashBits, -1);
    haveCode = false;
    for (size_t i = 0; i < dictionarySize; ++i) remember(i);
}

void PhotoDeflater::State::remember(size_t i) {
    if (i + 4 > total) return;
    int32_t* bucket = &seen[2 * hash3(i)];
    bucket[1] = bucket[0];
    bucket[0] = int32_t(i);
}

// The matches at i no longer than max, written into found: the last place its next three bytes
// were seen, and the place before that where that match is longer. Returns the longest length,
// 0 for none.
unsigned PhotoDeflater::State::find(size_t i, unsigned max, Matches& found) {
    found.count = 0;
    if (i + 4 > total) return 0;
    const uint8_t* here = base + i;
    const uint32_t first3 = load32(here) << 8;  // the three bytes, the fourth shifted out
    const int64_t nearest = std::max<int64_t>(0, int64_t(i) - int64_t(kWindow) + 1);
    int32_t* bucket = &seen[2 * hash3(i)];
    const int32_t latest = bucket[0], before = bucket[1];
    bucket[1] = latest;
    bucket[0] = int32_t(i);
    if (max < kMinMatch) return 0;  // the block's last bytes: seen for the next block only
    unsigned longest = 0;
    if (latest >= nearest && load32(base + latest) << 8 == first3) {
        longest = matchLength(base + latest, here, max);
        found.match[0] = {uint16_t(longest), uint16_t(i - size_t(latest))};
        found.distanceCode[0] = uint8_t(kCodeOf.distance(unsigned(i - size_t(latest))));
        found.count = 1;
    }
    // Only a longer match is worth its longer distance: its byte after the first match's end
    // must agree.
    if (before >= nearest && longest < max && base[before + longest] == here[longest] &&
        load32(base + before) << 8 == first3) {
        const unsigned length = matchLength(base + before, here, max);
        if (length > longest) {
            found.distanceCode[found.count] =
                uint8_t(kCodeOf.distance(unsigned(i - size_t(before))));
            found.match[found.count++] = {uint16_t(length), uint16_t(i - size_t(before))};
            longest = length;
        }
    }
    return longest;
}

void PhotoDeflater::State::findAll(size_t begin, size_t end) {
    const size_t n = end - begin;
    matches.resize(n);
    for (size_t k = 0; k < n;) {
        // The table is larger than the fastest cache: the next position's entry is fetched
        // while this one is searched.
        if (begin + k + 5 <= total) __builtin_prefetch(&seen[2 * hash3(begin + k + 1)], 1);
        const unsigned longest =
            find(begin + k, unsigned(std::min<size_t>(kMaxMatch, n - k)), matches[k]);
        if (longest < kSkipLength) {
            ++k;
            continue;
        }
        for (size_t j = 1; j < longest; ++j) {
            matches[k + j].count = 0;
            remember(begin + k + j);
        }
        k += longest;
    }
}

// Costs for a block that has no block before it: literals by how often each byte occurs, the
// shorter lengths cheaper, all distances alike.
void PhotoDeflater::State::firstCode(size_t begin, size_t end) {
    uint32_t literalLength[kLitLenCodes] = {}, distance[kDistCodes];
    for (size_t i = begin; i < end; ++i) ++literalLength[base[i]];
    for (unsigned s = 0; s < 256; ++s) literalLength[s] = literalLength[s] / 4 + 1;
    for (unsigned s = 256; s < kLitLenCodes; ++s) {
        literalLength[s] = uint32_t((end - begin) / 64 / (s - 255)) + 1;
    }
    std::fill(distance, distance + kDistCodes, 1000);
    code.build(literalLength, distance);
}

// For each position from the block's end back to its start, the cheapest way to the end: its
// literal, or one of its matches at a length weighed, then the cheapest way on from there.
void PhotoDeflater::State::parse(size_t begin, size_t end, const Costs& costs) {
    const size_t n = end - begin;
    cost.resize(n + 1);
    choice.resize(n);
    cost[n] = 0;
    for (size_t k = n; k-- > 0;) {
        const uint8_t literal = base[begin + k];
        uint32_t best = costs.literal[literal] + cost[k + 1];
        // The choice packed as length | distance << 16, so that it is picked without a branch.
        uint32_t pick = literal;
        unsigned weighed = kMinMatch - 1;
        const Matches& here = matches[k];
        for (unsigned j = 0; j < here.count; ++j) {
            const Symbol m = here.match[j];
            const uint32_t distance = costs.distance[here.distanceCode[j]];
            const uint32_t farther = uint32_t(m.distance) << 16;
            const unsigned upTo = std::min<unsigned>(m.length, kWeighedLengths);
            for (unsigned l = weighed + 1; l <= upTo; ++l) {
                const uint32_t c = costs.length[l] + distance + cost[k + l];
                const bool cheaper = c < best;
                best = cheaper ? c : best;
                pick = cheaper ? (l | farther) : pick;
            }
            const uint32_t c = costs.length[m.length] + distance + cost[k + m.length];
            const bool cheaper = c < best;
            best = cheaper ? c : best;
            pick = cheaper ? (m.length | farther) : pick;
            weighed = std::max<unsigned>(weighed, m.length);
        }
        cost[k] = best;
        choice[k] = {uint16_t(pick), uint16_t(pick >> 16)};
    }
}

// The cheapest parse from the block's start, and how often it uses each symbol.
void PhotoDeflater::State::trace(size_t begin, size_t end) {
    symbols.clear();
    std::fill(std::begin(literalLengthCounts), std::end(literalLengthCounts), 0);
    std::fill(std::begin(distanceCounts), std::end(distanceCounts), 0);
    for (size_t k = 0; k < end - begin;) {
        const Symbol s = choice[k];
        symbols.push_back(s);
        if (s.distance == 0) {
            ++literalLengthCounts[s.length];
            ++k;
        } else {
            ++literalLengthCounts[257 + kCodeOf.length[s.length]];
            ++distanceCounts[kCodeOf.distance(s.distance)];
            k += s.length;
        }
    }
    literalLengthCounts[kEndOfBlock] = 1;
}

void PhotoDeflater::State::writeStored(BitWriter& bits, std::vector<uint8_t>& out, size_t begin,
                                       size_t end, bool final) {
    size_t at = begin;
    do {
        const size_t length = std::min<size_t>(65535, end - at);
        bits.put(final && at + length == end ? 1 : 0, 1);
        bits.put(0, 2);
        bits.align();
        const uint16_t len = uint16_t(length), complement = uint16_t(~len);
        out.insert(out.end(), {uint8_t(len), uint8_t(len >> 8), uint8_t(complement),
                               uint8_t(complement >> 8)});
        out.insert(out.end(), base + at, base + at + length);
        at += length;
    } while (at < end);
}

// The block with the codes of its parse, or stored where that is smaller: grain can be noise.
void PhotoDeflater::State::writeBlock(BitWriter& bits, std::vector<uint8_t>& out, size_t begin,
                                      size_t end, bool final) {
    code.build(literalLengthCounts, distanceCounts);
    haveCode = true;
    const uint8_t* ll = code.literalLength;
    const uint8_t* dl = code.distance;
    unsigned literalLengths = kLitLenCodes, distances = kDistCodes;
    while (literalLengths > 257 && ll[literalLengths - 1] == 0) --literalLengths;
    while (distances > 1 && dl[distances - 1] == 0) --distances;

    uint8_t lengths[kLitLenCodes + kDistCodes];
    std::memcpy(lengths, ll, literalLengths);
    std::memcpy(lengths + literalLengths, dl, distances);
    const std::vector<LengthRun> runs = lengthRuns(lengths, literalLengths + distances);
    static constexpr uint8_t kRunExtra[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 2, 3, 7};
    uint32_t runCounts[19] = {};
    for (const LengthRun& r : runs) ++runCounts[r.code];
    uint8_t rl[19];
    codeLengths(runCounts, 19, 7, rl);
    unsigned runLengths = 19;
    while (runLengths > 4 && rl[kCodeLengthOrder[runLengths - 1]] == 0) --runLengths;

    uint64_t size = 3 + 5 + 5 + 4 + 3 * runLengths;
    for (unsigned s = 0; s < 19; ++s) size += uint64_t(runCounts[s]) * (rl[s] + kRunExtra[s]);
    for (unsigned s = 0; s < kLitLenCodes; ++s) {
        size += uint64_t(literalLengthCounts[s]) * (ll[s] + (s > 256 ? kLengthExtra[s - 257] : 0));
    }
    for (unsigned c = 0; c < kDistCodes; ++c) {
        size += uint64_t(distanceCounts[c]) * (dl[c] + kDistanceExtra[c]);
    }
    const uint64_t n = end - begin, storedSize = (n / 65535 + 1) * 40 + n * 8 + 7;
    if (storedSize < size) return writeStored(bits, out, begin, end, final);

    uint16_t lc[kLitLenCodes], dc[kDistCodes], rc[19];
    canonicalCodes(ll, kLitLenCodes, lc);
    canonicalCodes(dl, kDistCodes, dc);
    canonicalCodes(rl, 19, rc);
    bits.put(final ? 1 : 0, 1);
    bits.put(2, 2);  // dynamic codes
    bits.put(literalLengths - 257, 5);
    bits.put(distances - 1, 5);
    bits.put(runLengths - 4, 4);
    for (unsigned i = 0; i < runLengths; ++i) bits.put(rl[kCodeLengthOrder[i]], 3);
    for (const LengthRun& r : runs) {
        bits.put(rc[r.code], rl[r.code]);
        bits.put(r.extra, kRunExtra[r.code]);
    }
    for (const Symbol& s : symbols) {
        if (s.distance == 0) {
            bits.put(lc[s.length], ll[s.length]);
            continue;
        }
        const unsigned l = kCodeOf.length[s.length], d = kCodeOf.distance(s.distance);
        bits.put(lc[257 + l], ll[257 + l]);
        bits.put(s.length - kLengthBase[l], kLengthExtra[l]);
        bits.put(dc[d], dl[d]);
        bits.put(s.distance - kDistanceBase[d], kDistanceExtra[d]);
    }
    bits.put(lc[kEndOfBlock], ll[kEndOfBlock]);
}

PhotoDeflater::PhotoDeflater() : state_(std::make_unique<State>()) {}

PhotoDeflater::~PhotoDeflater() = default;

std::vector<uint8_t> PhotoDeflater::deflate(const uint8_t* data, size_t dictionarySize, size_t size,
                                            bool last) {
    State& s = *state_;
    s.start(data, dictionarySize, size);
    std::vector<uint8_t> out;
    out.reserve(size / 2 + 64);
    BitWriter bits(out);
    const size_t first = s.total - size;
    if (size == 0 && last) s.writeStored(bits, out, first, first, true);
    for (size_t begin = first; begin < s.total; begin += kBlockBytes) {
        const size_t end = std::min(s.total, begin + kBlockBytes);
        s.findAll(begin, end);
        // The first block has no codes before it to weigh by: it is parsed a second time under
        // the codes of its first parse.
        const bool twice = !s.haveCode;
        if (twice) s.firstCode(begin, end);
        for (int pass = twice ? 2 : 1; pass > 0; --pass) {
            s.parse(begin, end, Costs(s.code));
            s.trace(begin, end);
            if (pass > 1) s.code.build(s.literalLengthCounts, s.distanceCounts);
        }
        s.writeBlock(bits, out, begin, end, last && end == s.total);
    }
    if (!last) {
        // zlib's sync flush: an empty stored block that is not final.
        bits.put(0, 3);
        bits.align();
        out.insert(out.end(), {0x00, 0x00, 0xFF, 0xFF});
    }
    bits.align();
    return out;
}

}  // namespace imgctl
