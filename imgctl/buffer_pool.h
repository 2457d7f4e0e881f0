// Large byte buffers kept from one picture for the next. Memory fresh from the system costs a
// page fault per 4 KB on its first write, and a full-HD screen's two work buffers (the DIB and
// its filtered rows) are megabytes each.
// Screenshots of one screen come in one size, so the last picture's buffers are kept for the
// next one: at most kKeptBuffers of them, kKeptBytes in all. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imgctl::buffers {

constexpr size_t kKeptBuffers = 2;
constexpr size_t kKeptBytes = size_t{32} << 20;
constexpr size_t kSmallestKept = size_t{1} << 20;  // smaller ones cost little to make afresh

// A buffer of size bytes, whose contents the caller overwrites: a kept one if one is large
// enough, else a new one.
std::vector<uint8_t> take(size_t size);

// Keeps the buffer for a later take() if it is large and fits among those kept, dropping the
// smallest kept ones to make room.
void give(std::vector<uint8_t>&& buffer);

// How many buffers and bytes are kept now.
size_t keptBuffers();
size_t keptBytes();

}  // namespace imgctl::buffers
