// Encoding a DIB as a complete PNG file in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "dib.h"

namespace imgctl {

// How hard to compress: Strong takes about four times the time for about 5% fewer bytes.
enum class Effort { Normal, Strong };

// The PNG bytes of the picture, which decode to exactly its pixels; throws Failure.
std::vector<uint8_t> encodePng(const Dib& dib, Effort effort = Effort::Normal);

}  // namespace imgctl
