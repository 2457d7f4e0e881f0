// Working in pieces on several threads: the filtering comes out the same, each piece's stream is
// made to let the next follow it, and the joined zlib stream decodes, with its checksum, to exactly
// the bytes compressed.
#include <gtest/gtest.h>
#include <sched.h>
#include <zlib.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "deflate.h"
#include "deflate_blocks.h"
#include "failure.h"
#include "last_block_by_inflate.h"
#include "png_filter.h"
#include "test_support.h"

using namespace imgctl;

namespace {

using Bytes = std::vector<uint8_t>;
using imgctl_test::inflateRaw;

// Screen-like bytes: runs of one value, repeats of earlier stretches and stretches of noise, so
// that libdeflate writes its different kinds of block.
Bytes screenLike(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size) {
        const size_t length = 1 + random() % 400;
        switch (random() % 3) {
            case 0:
                bytes.insert(bytes.end(), length, uint8_t(random()));
                break;
            case 1:
                for (size_t i = 0; i < length && bytes.size() > 64; ++i)
                    bytes.push_back(bytes[bytes.size() - 64]);
                break;
            default:
                for (size_t i = 0; i < length; ++i) bytes.push_back(uint8_t(random()));
        }
    }
    bytes.resize(size);
    return bytes;
}

// Decodes a zlib stream; uncompress also checks the header and the Adler-32 at its end.
Bytes uncompressZlib(const Bytes& zlib, size_t expected) {
    Bytes out(expected + 16);
    uLongf length = out.size();
    EXPECT_EQ(uncompress(out.data(), &length, zlib.data(), zlib.size()), Z_OK);
    out.resize(length);
    return out;
}

TEST(DeflatePieces, TheLastBlockIsFoundWhereInflateFindsIt) {
    // Stored, fixed-code and dynamic-code blocks, one or many, at every level.
    std::set<int> firstBlockTypes;
    for (uint32_t seed = 0; seed < 60; ++seed) {
        const size_t size = seed < 50 ? 1 + seed * 97 : 400000 + seed * 1000;
        Bytes data = screenLike(size, seed);
        if (seed % 7 == 0) {
            std::mt19937 random(seed);
            for (uint8_t& b : data) b = uint8_t(random());  // incompressible: stored blocks
        }
        const Bytes raw = Deflater(1 + int(seed % 12)).deflate(data.data(), data.size());
        firstBlockTypes.insert(raw[0] >> 1 & 3);
        const std::optional<LastBlock> expected =
            imgctl_test::lastBlockByInflate(raw.data(), raw.size());
        ASSERT_TRUE(expected) << "seed " << seed;
        const std::optional<LastBlock> found = findLastBlock(raw.data(), raw.size());
        ASSERT_TRUE(found) << "seed " << seed;
        EXPECT_EQ(found->start, expected->start) << "seed " << seed;
        EXPECT_EQ(found->end, expected->end) << "seed " << seed;
    }
    EXPECT_EQ(firstBlockTypes, (std::set<int>{0, 1, 2}));
}

TEST(DeflatePieces, AJoinableStreamIsFollowedByTheNextWhereverItsLastBlockEnds) {
    // The empty stored block that ends a joinable stream takes one more byte when fewer than
    // three bits of the last byte are free: both cases must come up.
    std::set<size_t> added;
    for (uint32_t seed = 0; seed < 120; ++seed) {
        const Bytes first = screenLike(1 + seed * 37, seed);
        const Bytes second = screenLike(500, seed + 1000);
        Bytes joined = Deflater(seed % 2 ? 7 : 1).deflate(first.data(), first.size());
        const size_t before = joined.size();
        joinable(joined);
        added.insert(joined.size() - before);
        const Bytes next = Deflater(6).deflate(second.data(), second.size());
        joined.insert(joined.end(), next.begin(), next.end());

        Bytes expected = first;
        expected.insert(expected.end(), second.begin(), second.end());
        ASSERT_EQ(inflateRaw(joined, expected.size()), expected) << "seed " << seed;
    }
    EXPECT_EQ(added, (std::set<size_t>{4, 5}));
}

TEST(DeflatePieces, StreamsOfManyBlocksAndOfStoredBlocksJoin) {
    std::mt19937 random(7);
    Bytes noise(300000);  // incompressible: libdeflate stores it
    for (uint8_t& b : noise) b = uint8_t(random());
    const Bytes screen = screenLike(2000000, 3);  // long enough for several blocks
    for (const Bytes* data : std::vector<const Bytes*>{&noise, &screen}) {
        Bytes joined = Deflater(7).deflate(data->data(), data->size());
        joinable(joined);
        const Bytes tail = Deflater(7).deflate(data->data(), 1000);
        joined.insert(joined.end(), tail.begin(), tail.end());
        Bytes expected = *data;
        expected.insert(expected.end(), data->begin(), data->begin() + 1000);
        EXPECT_EQ(inflateRaw(joined, expected.size()), expected);
    }
}

TEST(DeflatePieces, ABrokenStreamIsAnEncodingFailureNotAWrongFile) {
    const Bytes data = screenLike(50000, 5);
    Bytes cut = Deflater(7).deflate(data.data(), data.size());
    cut.resize(cut.size() / 2);
    EXPECT_THROW(joinable(cut), Failure);
    Bytes garbage(1000, 0xFF);  // block type 3 does not exist
    EXPECT_THROW(joinable(garbage), Failure);
    Bytes noEnd(1000, 0x00);  // a stored block of 0 bytes whose length's complement is wrong
    EXPECT_THROW(joinable(noEnd), Failure);
    EXPECT_FALSE(findLastBlock(nullptr, 0));
}

TEST(DeflatePieces, PiecesAreWholeBandsCoveringEveryByteOnce) {
    struct Case {
        size_t size, bandBytes, count;
        double lastWeight;
        std::vector<size_t> ends;
    };
    for (const Case& c :
         {Case{1000, 100, 3, 1.0, {300, 700, 1000}}, Case{1050, 100, 4, 1.0, {300, 600, 800, 1050}},
          Case{900, 100, 2, 1.25, {400, 900}},      // the last piece the longer
          Case{300, 100, 3, 9.0, {100, 200, 300}},  // still a band each
          Case{250, 100, 4, 1.0, {100, 200, 250}}, Case{50, 100, 2, 1.0, {50}},
          Case{1000, 100, 0, 1.0, {1000}}}) {
        const std::vector<Piece> pieces = cutIntoPieces(c.size, c.bandBytes, c.count, c.lastWeight);
        std::vector<size_t> ends;
        size_t at = 0;
        for (const Piece& p : pieces) {
            EXPECT_EQ(p.begin, at) << c.size << " in " << c.count;
            ends.push_back(p.end);
            at = p.end;
        }
        EXPECT_EQ(ends, c.ends) << c.size << " in " << c.count;
    }
}

TEST(DeflatePieces, OnePiecePerProcessorTheThreadMayUseUpToFourAndAMegabyteEach) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    const size_t processors = size_t(CPU_COUNT(&all));
    EXPECT_EQ(pieceCountFor(100 << 20), std::min<size_t>(processors, 4));
    EXPECT_EQ(pieceCountFor(2 << 20), std::min<size_t>(processors, 2));
    EXPECT_EQ(pieceCountFor(1000), 1u);

    // Held to one processor (as by taskset), the picture is compressed in one piece.
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(pieceCountFor(100 << 20), 1u);
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
}

TEST(DeflatePieces, TheJoinedZlibStreamDecodesWithItsChecksum) {
    const size_t band = 5761 * 8;
    const Bytes data = screenLike(band * 30 + 1234, 11);
    for (size_t count = 1; count <= 4; ++count) {
        const std::vector<Piece> pieces = cutIntoPieces(data.size(), band, count);
        for (int level : {1, 7}) {
            const Bytes zlib = zlibInPieces(level, data.data(), pieces);
            EXPECT_EQ(uncompressZlib(zlib, data.size()), data) << count << " at " << level;
        }
        // Grainy runs of one and two bands, at the start and the end of pieces and of the
        // whole stream.
        std::vector<bool> grainy(31);
        for (size_t b = 0; b < grainy.size(); ++b) grainy[b] = b % 3 != 1;
        for (const std::vector<bool>& bands : {grainy, std::vector<bool>(31, true)}) {
            const Bytes mixed = zlibInPieces(7, data.data(), pieces, band, bands);
            EXPECT_EQ(uncompressZlib(mixed, data.size()), data) << count << " with grainy bands";
        }
    }
}

TEST(DeflatePieces, LaterPiecesCostLittle) {
    // Each libdeflate piece starts without the bytes before it, so its first matches are lost;
    // grainy pieces start from the 32 KB before them and cost only the blocks they end early.
    const size_t band = 5761 * 8;
    const Bytes data = screenLike(band * 24, 13);
    const std::vector<Piece> whole = cutIntoPieces(data.size(), band, 1);
    const std::vector<Piece> four = cutIntoPieces(data.size(), band, 4);
    EXPECT_LT(zlibInPieces(7, data.data(), four).size(),
              zlibInPieces(7, data.data(), whole).size() + 3 * 2000);
    const std::vector<bool> grainy(24, true);
    EXPECT_LT(zlibInPieces(7, data.data(), four, band, grainy).size(),
              zlibInPieces(7, data.data(), whole, band, grainy).size() + 3 * 100);
}

// Text and photograph in bands of 48 rows, against the filter's bands of 64, with grainy clouds
// over rows 300 to 700: 15 bands, the last a short one, split unevenly across the threads.
TEST(FilterRuns, TheFilteringIsTheSameOnAnyNumberOfThreads) {
    imgctl_test::RgbImage picture = imgctl_test::textAndPhotoBands(301, 64 * 14 + 17, 21);
    const imgctl_test::RgbImage clouds = imgctl_test::grainyClouds(301, 400, 22);
    std::copy(clouds.rgb.begin(), clouds.rgb.end(), picture.rgb.begin() + 300 * 301 * 3);
    const Rows rows{picture.rgb.data(), size_t(picture.width) * 3, size_t(picture.height), 3};
    const FilteredImage one = filterImage(rows, 1);
    ASSERT_EQ(one.bands.size(), 15u);
    const auto count = [&](BandKind kind) {
        return std::count(one.bands.begin(), one.bands.end(), kind);
    };
    EXPECT_GT(count(BandKind::Unfiltered), 0) << "the picture no longer has bands left unfiltered";
    EXPECT_GT(count(BandKind::Filtered), 0) << "the picture no longer has filtered bands";
    EXPECT_GT(count(BandKind::Grainy), 0) << "the picture no longer has grainy bands";
    for (size_t threads : {2, 3, 4, 16}) {
        const FilteredImage many = filterImage(rows, threads);
        EXPECT_EQ(many.bytes, one.bytes) << threads;
        EXPECT_EQ(many.bands, one.bands) << threads;
    }
}

// zlib takes 32-bit counts: a run it would cut short is refused before a byte of it is read. A
// trial counts only what the run adds to its dictionary: noise costs its own size alone, next to
// itself almost nothing.
TEST(GrainDeflater, RefusesRunsBeyondZlibsCountsAndMatchesIntoItsDictionary) {
    const imgctl_test::RgbImage noise = imgctl_test::noise(64, 32, 4);
    const Bytes& bytes = noise.rgb;
    GrainDeflater grain;
    EXPECT_THROW(grain.deflatedSize(nullptr, 0, bytes.data(), size_t{1} << 32), Failure);
    EXPECT_GT(grain.deflatedSize(nullptr, 0, bytes.data(), bytes.size()), bytes.size() * 9 / 10);
    EXPECT_LT(grain.deflatedSize(bytes.data(), bytes.size(), bytes.data(), bytes.size()), 100u);
}

// Camera grain goes to the grain deflater and comes out smaller so; gradients with a little
// noise stay with libdeflate, which a trial after only a few rows once handed to it, for a
// quarter more bytes.
TEST(BandKinds, GrainGoesToTheGrainDeflaterOnlyWhereItWins) {
    const auto kinds = [](const imgctl_test::RgbImage& picture) {
        const Rows rows{picture.rgb.data(), size_t(picture.width) * 3, size_t(picture.height), 3};
        return filterImage(rows, 1);
    };
    const imgctl_test::RgbImage clouds = imgctl_test::grainyClouds(640, 512, 3);
    const FilteredImage grainy = kinds(clouds);
    EXPECT_EQ(std::count(grainy.bands.begin(), grainy.bands.end(), BandKind::Grainy), 8);
    const size_t band = grainy.bandRows * (640 * 3 + 1);
    const std::vector<Piece> whole = cutIntoPieces(grainy.bytes.size(), band, 1);
    const Bytes mixed = zlibInPieces(7, grainy.bytes.data(), whole, band, grainy.grainyBands());
    EXPECT_LT(mixed.size(), zlibInPieces(7, grainy.bytes.data(), whole).size());
    EXPECT_EQ(uncompressZlib(mixed, grainy.bytes.size()), grainy.bytes);

    for (const auto& picture :
         {imgctl_test::textAndPhotoBands(640, 480, 5), imgctl_test::smooth(640, 480, 6)}) {
        const FilteredImage smooth = kinds(picture);
        EXPECT_EQ(std::count(smooth.bands.begin(), smooth.bands.end(), BandKind::Grainy), 0);
    }
}

}  // namespace
