// The proof of a written picture: the PNG's bytes decoded again by a reader of their own (chunks
// and their CRCs, inflate, unfilter) and compared with the pixels they must hold. Nothing that
// compressed or filtered them is trusted.
#pragma once

#include <cstdint>
#include <vector>

namespace imgctl {

// Whether png decodes to exactly expected: packed R G B rows, width * 3 bytes each. A palette
// picture is compared through its palette.
bool decodesTo(const std::vector<uint8_t>& png, int32_t width, int32_t height,
               const uint8_t* expected);

}  // namespace imgctl
