// A deflate encoder of its own for the filtered rows of photographs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace imgctl {

// Writes deflate blocks whose literals and matches are chosen by what they cost in bits: at each
// position it looks up the last two earlier places where its next three bytes occurred, and then
// takes, block by block, the cheapest way through under the codes of the block before (the first
// block is parsed twice, the second time under its own codes). In camera grain the cheap
// three-byte matches this weighs make the streams smaller than zlib's lazy parse, in about zlib's
// time with its shortest search. Throws Failure.
class PhotoDeflater {
public:
    PhotoDeflater();
    ~PhotoDeflater();
    PhotoDeflater(const PhotoDeflater&) = delete;
    PhotoDeflater& operator=(const PhotoDeflater&) = delete;

    // The raw deflate stream of the size bytes at data, matching into the dictionarySize bytes
    // just before data too (up to 32 KB of them count). Unless last, it ends on a byte boundary
    // after an empty stored block, with no block marked final, so that another stream can
    // follow it.
    std::vector<uint8_t> deflate(const uint8_t* data, size_t dictionarySize, size_t size,
                                 bool last);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace imgctl
