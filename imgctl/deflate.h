// zlib-format compression through libdeflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imgctl {

// The zlib stream of data at the given libdeflate level (1-12); throws Failure on failure.
std::vector<uint8_t> zlibCompress(const uint8_t* data, size_t size, int level);

}  // namespace imgctl
