#include "png_filter.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "deflate.h"
#include "parallel.h"

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

inline uint8_t paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    // Written without branches so the compiler can vectorise the row loop.
    const int bc = pb <= pc ? b : c;
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : bc);
}

// The row scratch of the per-row choice: one trial row per filter type.
class Trials {
public:
    explicit Trials(size_t rowBytes) : zeros_(rowBytes, 0) {
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

void filterRowsAdaptive(const Rows& rows, size_t y0, size_t y1, Trials& trials, uint8_t* out) {
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
            for (size_t i = bpp; i < rowBytes; ++i) {
                out[i] = uint8_t(cur[i] - (cur[i - bpp] + prev[i]) / 2);
            }
            break;
        case FilterType::Paeth:
            for (size_t i = 0; i < lead; ++i) out[i] = uint8_t(cur[i] - prev[i]);
            for (size_t i = bpp; i < rowBytes; ++i) {
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

// What the bands of one thread's run came out as.
struct BandChoices {
    std::vector<bool> unfiltered;
    size_t estimate = 0;
    std::vector<uint8_t> filteredSamples;
};

// Chooses and writes the filtering of bands [firstBand, endBand) into bytes, the whole image's
// filtered bytes.
BandChoices filterBands(const Rows& rows, size_t firstBand, size_t endBand, uint8_t* bytes) {
    const size_t stride = rows.rowBytes + 1;
    BandChoices choices;
    std::vector<uint8_t> plain(stride * (kSampleRows + kContextRows));
    Trials trials(rows.rowBytes);
    Deflater trial(kTrialLevel);
    for (size_t b = firstBand; b < endBand; ++b) {
        const size_t y0 = b * kBandRows, y1 = std::min(rows.height, y0 + kBandRows);
        uint8_t* band = bytes + y0 * stride;
        const Sample s = sampleOf(y0, y1);
        const size_t from = s.first - s.context;
        uint8_t* filteredSample = band + (from - y0) * stride;
        filterRowsAdaptive(rows, from, s.end, trials, filteredSample);
        copyRowsUnfiltered(rows, from, s.end, plain.data());
        const size_t contextBytes = s.context * stride, sampleBytes = (s.end - s.first) * stride;
        const size_t adaptive = sampleCost(trial, filteredSample, contextBytes, sampleBytes);
        const size_t unfiltered = sampleCost(trial, plain.data(), contextBytes, sampleBytes);
        const bool leavePlain = unfiltered < adaptive;
        choices.unfiltered.push_back(leavePlain);
        choices.estimate += std::min(adaptive, unfiltered) * (y1 - y0) / (s.end - s.first);
        if (leavePlain) {
            copyRowsUnfiltered(rows, y0, y1, band);
        } else {
            // Every other band's sample is enough to choose the compressor (see the header).
            if (b % 2 == 0) {
                choices.filteredSamples.insert(choices.filteredSamples.end(),
                                               filteredSample + contextBytes,
                                               filteredSample + contextBytes + sampleBytes);
            }
            filterRowsAdaptive(rows, y0, from, trials, band);
            filterRowsAdaptive(rows, s.end, y1, trials, band + (s.end - y0) * stride);
        }
    }
    return choices;
}

}  // namespace

FilteredImage filterImage(const Rows& rows, size_t threads) {
    FilteredImage image;
    image.bytes.resize((rows.rowBytes + 1) * rows.height);
    image.bandRows = kBandRows;
    // Bands are judged on their own, so runs of them are judged on threads of their own.
    const size_t bands = (rows.height + kBandRows - 1) / kBandRows;
    const size_t runs = std::clamp<size_t>(threads, 1, std::max<size_t>(bands, 1));
    auto filterRun = [&](size_t i) {
        return filterBands(rows, bands * i / runs, bands * (i + 1) / runs, image.bytes.data());
    };
    for (BandChoices& run : onThreads(runs, filterRun)) {
        image.unfilteredBands.insert(image.unfilteredBands.end(), run.unfiltered.begin(),
                                     run.unfiltered.end());
        image.estimate += run.estimate;
        image.filteredSamples.insert(image.filteredSamples.end(), run.filteredSamples.begin(),
                                     run.filteredSamples.end());
    }
    return image;
}

}  // namespace imgctl
