// The parts of the encoder that a measurement may turn off one at a time. In the library each is
// a constant that is on, so no switch lies on its code path; a build for parts_bench
// (-DQUIBLO_PARTS_BENCH=ON) makes them switches, which the bench turns off in turn.
#pragma once

#ifdef IMGCTL_PART_SWITCHES
#include <atomic>
#endif

namespace imgctl::parts {

#ifdef IMGCTL_PART_SWITCHES
inline std::atomic<bool> photoDeflater{true};  // grainy bands through our own deflate encoder
inline std::atomic<bool> grainJudge{true};     // a zlib trial picks which bands are grainy
inline std::atomic<bool> pieces{true};         // several pieces on threads, joined
#else
inline constexpr bool photoDeflater = true;
inline constexpr bool grainJudge = true;
inline constexpr bool pieces = true;
#endif

}  // namespace imgctl::parts
