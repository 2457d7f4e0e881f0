#include "png_filter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "deflate.h"
#include "parallel.h"
#include "parts.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace imgctl {
namespace {

// Bands of kBandRows rows choose their filtering on their own. The trial compresses a sample of
// each band both ways: kSampleRows rows from its middle after kContextRows rows whose own size is
// taken off again, so that the sample's first rows find their matches above them as they will in
// the whole stream (smooth wallpapers repeat the row above, shifted, and a sample without it
// wrongly looks better filtered). Level 6 judges both kinds of smooth picture as level 7 will
// compress them; levels 1 to 5 take wave-shaped gradients for wallpapers.
constexpr size_t kBandRows = 64;
constexpr size_t kSampleRows = 8;
constexpr size_t kContextRows = 2;
constexpr int kTrialLevel = 6;
// Filtered bands whose sample compresses to more than this share of its bytes are tried with a
// GrainDeflater as well. On the bench's screens, filtered bands of text and windows came to 0.07
// at most, the photographs where the grain deflater won to 0.09 and more.
constexpr double kGrainTrialShare = 0.08;

inline uint8_t paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    // For the row ends; written without branches so the compiler can vectorise it elsewhere.
    const int bc = pb <= pc ? b : c;
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : bc);
}

// The row scratch of the per-row choice: one trial row per filter type.
class RowTrials {
public:
    explicit RowTrials(size_t rowBytes) : zeros_(rowBytes, 0) {
        for (auto& t : rows_) t.resize(rowBytes);
    }

    // Writes row y with the best filter to out: the type byte, then the filtered bytes.
    void filterBest(const Rows& rows, size_t y, uint8_t* out) {
        const uint8_t* cur = rows.row(y);
        const uint8_t* prev = y == 0 ? zeros_.data() : rows.row(y - 1);
        uint64_t best = magnitude(cur, rows.rowBytes);
        const uint8_t* bestBytes = cur;
        uint8_t bestType = 0;
        for (uint8_t t = 1; t <= 4; ++t) {
            uint8_t* trial = rows_[t].data();
            filterRow(static_cast<FilterType>(t), cur, prev, rows.rowBytes, rows.bpp, trial);
            const uint64_t cost = magnitude(trial, rows.rowBytes);
            if (cost < best) {
                best = cost;
                bestBytes = trial;
                bestType = t;
            }
        }
        out[0] = bestType;
        std::memcpy(out + 1, bestBytes, rows.rowBytes);
    }

private:
    std::vector<uint8_t> zeros_;
    std::array<std::vector<uint8_t>, 5> rows_;
};

void filterRowsAdaptive(const Rows& rows, size_t y0, size_t y1, RowTrials& trials, uint8_t* out) {
    for (size_t y = y0; y < y1; ++y, out += rows.rowBytes + 1) trials.filterBest(rows, y, out);
}

void copyRowsUnfiltered(const Rows& rows, size_t y0, size_t y1, uint8_t* out) {
    for (size_t y = y0; y < y1; ++y, out += rows.rowBytes + 1) {
        out[0] = 0;
        std::memcpy(out + 1, rows.row(y), rows.rowBytes);
    }
}

}  // namespace

uint64_t magnitude(const uint8_t* bytes, size_t n) {
    uint64_t sum = 0;
    size_t i = 0;
#if defined(__SSE2__)
    // |int8| of each byte is min(b, -b) read unsigned; psadbw adds sixteen of them at once.
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero));
    }
    sum = uint64_t(_mm_cvtsi128_si64(acc)) +
          uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
#endif
    for (; i < n; ++i) sum += std::min<uint8_t>(bytes[i], uint8_t(-bytes[i]));
    return sum;
}

namespace {

#if defined(__SSE2__)
// Sixteen bytes at a time from byte `from` on; returns where the scalar loop takes over. The
// encoder's predictors read only unfiltered bytes, so every position is independent.

// Average: the floor of (a + b) / 2, which pavgb rounds up where a + b is odd.
size_t averageVector(const uint8_t* cur, const uint8_t* prev, size_t from, size_t rowBytes,
                     size_t bpp, uint8_t* out) {
    const __m128i one = _mm_set1_epi8(1);
    size_t i = from;
    for (; i + 16 <= rowBytes; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + i - bpp));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + i));
        const __m128i mean =
            _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi8(x, mean));
    }
    return i;
}

__m128i abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// The Paeth predictor of eight pixels' bytes widened to 16 bits: a left, b above, c above left.
__m128i paeth16(__m128i a, __m128i b, __m128i c) {
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = abs16(bc), pb = abs16(ac), pc = abs16(_mm_add_epi16(bc, ac));
    // a where pa <= pb and pa <= pc, else b where pb <= pc, else c
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i notB = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_andnot_si128(notB, b), _mm_and_si128(notB, c));
    return _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, bOrC));
}

size_t paethVector(const uint8_t* cur, const uint8_t* prev, size_t from, size_t rowBytes,
                   size_t bpp, uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    size_t i = from;
    for (; i + 16 <= rowBytes; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + i - bpp));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i - bpp));
        const __m128i low = paeth16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero),
                                    _mm_unpacklo_epi8(c, zero));
        const __m128i high = paeth16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero),
                                     _mm_unpackhi_epi8(c, zero));
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_sub_epi8(x, _mm_packus_epi16(low, high)));
    }
    return i;
}
#else
size_t averageVector(const uint8_t*, const uint8_t*, size_t from, size_t, size_t, uint8_t*) {
    return from;
}
size_t paethVector(const uint8_t*, const uint8_t*, size_t from, size_t, size_t, uint8_t*) {
    return from;
}
#endif

}  // namespace

void filterRow(FilterType type, const uint8_t* cur, const uint8_t* prev, size_t rowBytes,
               size_t bpp, uint8_t* __restrict out) {
    const size_t lead = std::min(bpp, rowBytes);
    switch (type) {
        case FilterType::None:
            std::memcpy(out, cur, rowBytes);
            break;
        case FilterType::Sub:
            std::memcpy(out, cur, lead);
            for (size_t i = bpp; i < rowBytes; ++i) out[i] = uint8_t(cur[i] - cur[i - bpp]);
            break;
        case FilterType::Up:
            for (size_t i = 0; i < rowBytes; ++i) out[i] = uint8_t(cur[i] - prev[i]);
            break;
        case FilterType::Average:
            for (size_t i = 0; i < lead; ++i) out[i] = uint8_t(cur[i] - prev[i] / 2);
            for (size_t i = averageVector(cur, prev, lead, rowBytes, bpp, out); i < rowBytes; ++i) {
                out[i] = uint8_t(cur[i] - (cur[i - bpp] + prev[i]) / 2);
            }
            break;
        case FilterType::Paeth:
            for (size_t i = 0; i < lead; ++i) out[i] = uint8_t(cur[i] - prev[i]);
            for (size_t i = paethVector(cur, prev, lead, rowBytes, bpp, out); i < rowBytes; ++i) {
                out[i] = uint8_t(cur[i] - paeth(cur[i - bpp], prev[i], prev[i - bpp]));
            }
            break;
    }
}

namespace {

// The rows a band is judged on.
struct Sample {
    size_t first, end;  // the sampled rows
    size_t context;     // rows before the sample that are compressed with it, then taken off
};

Sample sampleOf(size_t y0, size_t y1) {
    const size_t k = std::min(kSampleRows, y1 - y0);
    const size_t first = y0 + (y1 - y0 - k) / 2;
    return {first, first + k, std::min(kContextRows, first - y0)};
}

// The bytes the sample adds to a stream that already holds its context rows.
size_t sampleCost(Deflater& trial, const uint8_t* contextStart, size_t contextBytes,
                  size_t sampleBytes) {
    const size_t both = trial.deflatedSize(contextStart, contextBytes + sampleBytes);
    if (contextBytes == 0) return both;
    const size_t context = trial.deflatedSize(contextStart, contextBytes);
    return both > context ? both - context : 0;
}

// The trials of one thread's run of bands, and their scratch.
struct Trials {
    Trials(size_t rowBytes, size_t sampleBytes)
        : rows(rowBytes), deflater(kTrialLevel), plain(sampleBytes) {}

    // The grain deflater only where a band is a candidate: screens of text have none.
    GrainDeflater& grain() {
        if (!grain_) grain_.emplace();
        return *grain_;
    }

    RowTrials rows;
    Deflater deflater;
    std::vector<uint8_t> plain;  // the sample's rows unfiltered

private:
    std::optional<GrainDeflater> grain_;
};

// The sample's trial size filtered, and whether it comes out smaller unfiltered. filteredSample
// holds the sample filtered, from its context rows on.
struct PlainTrial {
    size_t filtered;
    bool plainIsSmaller;
};

PlainTrial tryPlain(const Rows& rows, const Sample& s, const uint8_t* filteredSample,
                    Trials& trials) {
    const size_t stride = rows.rowBytes + 1;
    const size_t contextBytes = s.context * stride, sampleBytes = (s.end - s.first) * stride;
    const size_t filtered = sampleCost(trials.deflater, filteredSample, contextBytes, sampleBytes);
    copyRowsUnfiltered(rows, s.first - s.context, s.end, trials.plain.data());
    const size_t plain =
        sampleCost(trials.deflater, trials.plain.data(), contextBytes, sampleBytes);
    return {filtered, plain < filtered};
}

// Whether a GrainDeflater compresses the filtered sample (sampleBytes from offset in the band,
// after contextBytes of context rows) smaller than libdeflate, whose trial size was
// filteredCost. Where it does, both are tried again from the band's up to 32 KB of filtered rows
// before the sample: in some smooth pictures with grain libdeflate finds matches far back, which
// a trial after a few rows misses.
bool grainIsSmaller(const uint8_t* band, size_t offset, size_t contextBytes, size_t sampleBytes,
                    size_t filteredCost, Trials& trials) {
    const uint8_t* sample = band + offset;
    if (trials.grain().deflatedSize(sample - contextBytes, contextBytes, sample, sampleBytes) >=
        filteredCost) {
        return false;
    }
    const size_t window = std::min(kWindowBytes, offset);
    return trials.grain().deflatedSize(sample - window, window, sample, sampleBytes) <
           sampleCost(trials.deflater, sample - window, window, sampleBytes);
}

// Writes a band's rows as kind says, without a trial.
void writeBand(const Rows& rows, size_t y0, size_t y1, BandKind kind, RowTrials& trials,
               uint8_t* band) {
    if (kind == BandKind::Unfiltered) {
        copyRowsUnfiltered(rows, y0, y1, band);
    } else {
        filterRowsAdaptive(rows, y0, y1, trials, band);
    }
}

// Chooses and writes the filtering of bands [firstBand, endBand) into bytes, the whole image's
// filtered bytes; returns how each band was written.
std::vector<BandKind> filterBands(const Rows& rows, size_t firstBand, size_t endBand,
                                  uint8_t* bytes) {
    const size_t stride = rows.rowBytes + 1;
    std::vector<BandKind> kinds;
    if (firstBand >= endBand) return kinds;  // a run left empty: fewer pairs of bands than threads
    Trials trials(rows.rowBytes, stride * (kSampleRows + kContextRows));
    for (size_t b = firstBand; b < endBand; ++b) {
        const size_t y0 = b * kBandRows, y1 = std::min(rows.height, y0 + kBandRows);
        uint8_t* band = bytes + y0 * stride;
        // Neighbouring bands are mostly alike, and the trials are a good part of the encoding's
        // work: the second band of each pair is written as the first was, for almost no bytes.
        if (b % 2 == 1 && b > firstBand) {
            writeBand(rows, y0, y1, kinds.back(), trials.rows, band);
            kinds.push_back(kinds.back());
            continue;
        }
        const Sample s = sampleOf(y0, y1);
        const size_t from = s.first - s.context;
        filterRowsAdaptive(rows, from, s.end, trials.rows, band + (from - y0) * stride);
        const PlainTrial plain = tryPlain(rows, s, band + (from - y0) * stride, trials);
        if (plain.plainIsSmaller) {
            kinds.push_back(BandKind::Unfiltered);
            copyRowsUnfiltered(rows, y0, y1, band);
            continue;
        }
        filterRowsAdaptive(rows, y0, from, trials.rows, band);
        filterRowsAdaptive(rows, s.end, y1, trials.rows, band + (s.end - y0) * stride);
        const size_t sampleBytes = (s.end - s.first) * stride;
        const bool grainy =
            double(plain.filtered) > kGrainTrialShare * double(sampleBytes) &&
            (!parts::grainJudge || grainIsSmaller(band, (s.first - y0) * stride, s.context * stride,
                                                  sampleBytes, plain.filtered, trials));
        kinds.push_back(grainy ? BandKind::Grainy : BandKind::Filtered);
    }
    return kinds;
}

}  // namespace

std::vector<bool> FilteredImage::grainyBands() const {
    std::vector<bool> grainy(bands.size());
    for (size_t b = 0; b < bands.size(); ++b) grainy[b] = bands[b] == BandKind::Grainy;
    return grainy;
}

FilteredImage filterImage(const Rows& rows, size_t threads) {
    FilteredImage image;
    image.bytes.resize((rows.rowBytes + 1) * rows.height);
    image.bandRows = kBandRows;
    // Bands are judged on their own, so runs of them are judged on threads of their own.
    const size_t bands = (rows.height + kBandRows - 1) / kBandRows;
    const size_t runs = std::clamp<size_t>(threads, 1, std::max<size_t>(bands, 1));
    // Runs start at even bands, so that each pair of bands is judged on one thread.
    auto edge = [&](size_t i) { return i == runs ? bands : (bands * i / runs) & ~size_t{1}; };
    auto filterRun = [&](size_t i) {
        return filterBands(rows, edge(i), edge(i + 1), image.bytes.data());
    };
    for (const std::vector<BandKind>& run : onThreads(runs, filterRun)) {
        image.bands.insert(image.bands.end(), run.begin(), run.end());
    }
    return image;
}

}  // namespace imgctl
