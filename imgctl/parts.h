// The parts of the encoder that a measurement may turn off one at a time: all are on in the
// library; png_bench's parts table turns each off in turn to show what it gives.
#pragma once

#include <atomic>

namespace imgctl::parts {

inline std::atomic<bool> photoDeflater{true};  // grainy bands through our own deflate encoder
inline std::atomic<bool> grainJudge{true};     // a zlib trial picks which bands are grainy
inline std::atomic<bool> pieces{true};         // several pieces on threads, joined

}  // namespace imgctl::parts
