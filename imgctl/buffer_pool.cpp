#include "buffer_pool.h"

#include <algorithm>
#include <mutex>

#include "parts.h"

namespace imgctl::buffers {
namespace {

struct Pool {
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> kept;  // smallest capacity first

    size_t bytes() const {
        size_t total = 0;
        for (const auto& b : kept) total += b.capacity();
        return total;
    }
};

Pool& pool() {
    static Pool p;
    return p;
}

}  // namespace

std::vector<uint8_t> take(size_t size) {
    std::vector<uint8_t> buffer;
    if (parts::bufferPool) {
        Pool& p = pool();
        const std::lock_guard lock(p.mutex);
        const auto fits = std::find_if(p.kept.begin(), p.kept.end(),
                                       [&](const auto& b) { return b.capacity() >= size; });
        if (fits != p.kept.end()) {
            buffer = std::move(*fits);
            p.kept.erase(fits);
        }
    }
    buffer.resize(size);  // within a kept buffer's capacity: no new pages
    return buffer;
}

void give(std::vector<uint8_t>&& buffer) {
    if (!parts::bufferPool) return;
    const size_t capacity = buffer.capacity();
    if (capacity < kSmallestKept || capacity > kKeptBytes) return;
    Pool& p = pool();
    const std::lock_guard lock(p.mutex);
    const auto byCapacity = [](const auto& a, const auto& b) {
        return a.capacity() < b.capacity();
    };
    p.kept.insert(std::upper_bound(p.kept.begin(), p.kept.end(), buffer, byCapacity),
                  std::move(buffer));
    while (p.kept.size() > kKeptBuffers || p.bytes() > kKeptBytes) p.kept.erase(p.kept.begin());
}

size_t keptBuffers() {
    Pool& p = pool();
    const std::lock_guard lock(p.mutex);
    return p.kept.size();
}

size_t keptBytes() {
    Pool& p = pool();
    const std::lock_guard lock(p.mutex);
    return p.bytes();
}

}  // namespace imgctl::buffers
