// The work buffers kept from one picture for the next: a large one comes back for the next
// picture of its size, small and oversized ones are not kept, the pool never holds more than
// its two buffers and 32 MB, and a DIB's rows return to it when the DIB is deleted.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "buffer_pool.h"
#include "imgctl.h"

using namespace imgctl;

namespace {

constexpr size_t kMiB = size_t{1} << 20;

class BufferPool : public testing::Test {
protected:
    // The pool is the process's own: each test starts from an empty one.
    void SetUp() override {
        while (buffers::keptBuffers() > 0) buffers::take(1);
    }
};

TEST_F(BufferPool, ALargeBufferComesBackForThePictureAfter) {
    std::vector<uint8_t> first = buffers::take(6 * kMiB);
    ASSERT_EQ(first.size(), 6 * kMiB);
    const uint8_t* memory = first.data();
    buffers::give(std::move(first));
    EXPECT_EQ(buffers::keptBuffers(), 1u);

    const std::vector<uint8_t> smaller = buffers::take(5 * kMiB);
    EXPECT_EQ(smaller.data(), memory);
    EXPECT_EQ(smaller.size(), 5 * kMiB);
    EXPECT_EQ(buffers::keptBuffers(), 0u);
    EXPECT_NE(buffers::take(6 * kMiB).data(), memory) << "one buffer was handed out twice";
}

TEST_F(BufferPool, KeepsOnlyLargeBuffersAndAtMostTwoAnd32Megabytes) {
    buffers::give(std::vector<uint8_t>(kMiB / 2));
    buffers::give(std::vector<uint8_t>(40 * kMiB));
    EXPECT_EQ(buffers::keptBuffers(), 0u);

    for (size_t mib : {12, 13, 11}) buffers::give(std::vector<uint8_t>(mib * kMiB));
    EXPECT_EQ(buffers::keptBuffers(), 2u);
    EXPECT_EQ(buffers::keptBytes(), 25 * kMiB) << "the smallest kept buffer goes first";
    buffers::give(std::vector<uint8_t>(20 * kMiB));
    EXPECT_LE(buffers::keptBytes(), 32 * kMiB);
    EXPECT_EQ(buffers::keptBytes(), 20 * kMiB);
}

TEST_F(BufferPool, ThreadsTakeAndGiveAtOnce) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                std::vector<uint8_t> b = buffers::take((2 + (i + t) % 3) * kMiB);
                // A buffer handed to two threads at once would show the other's mark.
                b.front() = b.back() = uint8_t(t);
                std::this_thread::yield();
                EXPECT_EQ(b.front(), uint8_t(t));
                EXPECT_EQ(b.back(), uint8_t(t));
                buffers::give(std::move(b));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_LE(buffers::keptBuffers(), 2u);
}

TEST_F(BufferPool, ADeletedDibsRowsServeTheNextDib) {
    const int width = 1024, height = 512;
    std::vector<uint8_t> pixels(size_t(width) * height * 4, 0x80);
    const ImgctlDC dc{pixels.data(), width, height, width * 4, IMGCTL_FORMAT_BGRX32};
    const intptr_t first = DCtoDIB(reinterpret_cast<intptr_t>(&dc), 0, 0, width, height);
    ASSERT_NE(first, 0);
    EXPECT_EQ(buffers::keptBuffers(), 0u);
    ASSERT_NE(DeleteDIB(first), 0);
    EXPECT_EQ(buffers::keptBuffers(), 1u);
    const intptr_t second = DCtoDIB(reinterpret_cast<intptr_t>(&dc), 0, 0, width, height);
    ASSERT_NE(second, 0);
    EXPECT_EQ(buffers::keptBuffers(), 0u);
    EXPECT_NE(DeleteDIB(second), 0);
}

}  // namespace
