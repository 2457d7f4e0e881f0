#include "png_filter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "deflate.h"

namespace imgctl {
namespace {

// Sampling for pickFilter: strips of kStripRows rows, one every kSampleStep rows,
// compressed at a fast level. Strips keep the row-to-row context the filters depend on.
constexpr size_t kStripRows = 16;
constexpr size_t kSampleStep = 256;
constexpr int kSampleLevel = 1;

uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Sum of the bytes read as signed values: the usual estimate of how well a row compresses.
uint64_t magnitude(const uint8_t* row, size_t n) {
    uint64_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum += static_cast<uint64_t>(std::abs(int8_t(row[i])));
    return sum;
}

// Filters row y into out: the type byte, then the filtered bytes.
void filterOneRow(const Rows& rows, size_t y, FilterChoice choice, const uint8_t* zeros,
                  uint8_t* trial, uint8_t* out) {
    const uint8_t* cur = rows.row(y);
    const uint8_t* prev = y == 0 ? zeros : rows.row(y - 1);
    if (choice == FilterChoice::None) {
        out[0] = 0;
        std::memcpy(out + 1, cur, rows.rowBytes);
        return;
    }
    uint64_t best = UINT64_MAX;
    for (uint8_t t = 0; t <= 4; ++t) {
        filterRow(static_cast<FilterType>(t), cur, prev, rows.rowBytes, rows.bpp, trial);
        const uint64_t cost = magnitude(trial, rows.rowBytes);
        if (cost < best) {
            best = cost;
            out[0] = t;
            std::memcpy(out + 1, trial, rows.rowBytes);
        }
    }
}

bool inSample(size_t y) {
    return y % kSampleStep < kStripRows;
}

// Filters the rows that pass keep(y), packed one after another.
template <typename Keep>
std::vector<uint8_t> filterSelected(const Rows& rows, FilterChoice choice, Keep keep) {
    const std::vector<uint8_t> zeros(rows.rowBytes, 0);
    std::vector<uint8_t> trial(rows.rowBytes);
    size_t count = 0;
    for (size_t y = 0; y < rows.height; ++y) count += keep(y) ? 1 : 0;
    std::vector<uint8_t> out(count * (rows.rowBytes + 1));
    uint8_t* dst = out.data();
    for (size_t y = 0; y < rows.height; ++y) {
        if (!keep(y)) continue;
        filterOneRow(rows, y, choice, zeros.data(), trial.data(), dst);
        dst += rows.rowBytes + 1;
    }
    return out;
}

size_t sampleSize(const Rows& rows, FilterChoice choice) {
    const std::vector<uint8_t> sample = filterSelected(rows, choice, inSample);
    return zlibCompress(sample.data(), sample.size(), kSampleLevel).size();
}

}  // namespace

// Pictures of flat areas and repeated shapes compress best unfiltered, because the repeats
// survive for deflate to find; photographic content needs the filters. A trial decides.
FilterChoice pickFilter(const Rows& rows) {
    const size_t plain = sampleSize(rows, FilterChoice::None);
    return plain <= sampleSize(rows, FilterChoice::PerRow) ? FilterChoice::None
                                                           : FilterChoice::PerRow;
}

void filterRow(FilterType type, const uint8_t* cur, const uint8_t* prev, size_t rowBytes,
               size_t bpp, uint8_t* out) {
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

std::vector<uint8_t> filterImage(const Rows& rows, FilterChoice choice) {
    return filterSelected(rows, choice, [](size_t) { return true; });
}

}  // namespace imgctl
