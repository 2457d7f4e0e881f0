// Encoding a DIB as a complete PNG file in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "dib.h"
#include "palette.h"

namespace imgctl {

// How hard to compress: Strong takes many times the time for a smaller file.
enum class Effort { Normal, Strong };

// The PNG bytes of the picture, proved to decode to exactly its pixels (png_proof.h): when the
// usual encoding does not, the plainest one is used; when neither does, Failure
// IMGCTL_ERR_PROOF. Throws Failure.
std::vector<uint8_t> encodePng(const Dib& dib, Effort effort = Effort::Normal);

// The PNG bytes of a palette picture, at most 256 entries, one index per pixel.
std::vector<uint8_t> encodeIndexedPng(int32_t width, int32_t height, const IndexedImage& indexed,
                                      Effort effort = Effort::Normal);

// Whether the reduced picture is halved in both directions first.
enum class Reduction { None, Half };

// The PNG bytes of the picture in at most 256 dithered colours (after halving, if asked): a
// palette picture that decodes to exactly the indices chosen; throws Failure.
std::vector<uint8_t> encodeReducedPng(const Dib& dib, Reduction reduction,
                                      Effort effort = Effort::Normal);

namespace testing {
// Flips a bit in the next count encodings before they are proved, as a fault of a compressor
// would: 1 makes the usual writer wrong, 2 the plainest one too.
void corruptNextEncodings(int count);
}  // namespace testing

}  // namespace imgctl
