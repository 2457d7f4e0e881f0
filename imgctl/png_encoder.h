// Encoding a DIB as a complete PNG file in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "dib.h"

namespace imgctl {

// The PNG bytes of the picture, which decode to exactly its pixels; throws Failure.
std::vector<uint8_t> encodePng(const Dib& dib);

}  // namespace imgctl
