// Where the last block of a raw deflate stream lies, found by reading the blocks' codes without
// decompressing anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace imgctl {

// Bit positions in the stream, counted from the lowest bit of its first byte.
struct LastBlock {
    uint64_t start;  // the block's first header bit: its final mark
    uint64_t end;    // just past its end-of-block code (or its stored bytes)
};

// The stream's final block, or nothing if the bytes are not a complete deflate stream.
std::optional<LastBlock> findLastBlock(const uint8_t* data, size_t size);

}  // namespace imgctl
