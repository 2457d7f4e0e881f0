#include "reduce.h"

#include <libimagequant.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "failure.h"

namespace imgctl {
namespace {

std::atomic<bool> quantizerFails{false};

// Speed 1 to 10: the quantiser's default. Faster settings give up the palette's refinement, and
// the dithered picture grows.
constexpr int kSpeed = 4;

// libimagequant 2.17 does not free a row buffer it makes for a large picture, once a reduction
// (some 120 KB for a 4K screen). Every block it takes goes through here; when no reduction is
// under way, each of its objects has been destroyed, so what it still holds is that buffer, and
// it is freed.
class QuantizerMemory {
public:
    static void* allocate(size_t size) {
        void* block = std::malloc(size);
        if (block) {
            const std::lock_guard<std::mutex> hold(state().lock);
            state().live.insert(block);
        }
        return block;
    }
    static void release(void* block) {
        if (!block) return;
        {
            const std::lock_guard<std::mutex> hold(state().lock);
            state().live.erase(block);
        }
        std::free(block);
    }
    // One reduction, from before its first quantiser object to after its last.
    class Reduction {
    public:
        Reduction() {
            const std::lock_guard<std::mutex> hold(state().lock);
            ++state().active;
        }
        ~Reduction() {
            std::vector<void*> left;
            {
                const std::lock_guard<std::mutex> hold(state().lock);
                if (--state().active == 0) {
                    left.assign(state().live.begin(), state().live.end());
                    state().live.clear();
                }
            }
            for (void* block : left) std::free(block);
        }
        Reduction(const Reduction&) = delete;
        Reduction& operator=(const Reduction&) = delete;
    };

private:
    struct State {
        std::mutex lock;
        std::unordered_set<void*> live;
        int active = 0;
    };
    static State& state() {
        static State shared;
        return shared;
    }
};

struct LiqFree {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
template <typename T>
using LiqPtr = std::unique_ptr<T, LiqFree>;

[[noreturn]] void fail() {
    throw Failure{IMGCTL_ERR_QUANTIZE};
}

std::vector<uint8_t> rgbaOf(const Dib& dib) {
    const size_t pixels = size_t(dib.width) * size_t(dib.height);
    std::vector<uint8_t> rgba(pixels * 4);
    const uint8_t* in = dib.rgb.data();
    uint8_t* out = rgba.data();
    for (size_t i = 0; i < pixels; ++i, in += 3, out += 4) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = 255;
    }
    return rgba;
}

}  // namespace

Dib halved(const Dib& dib) {
    Dib half;
    half.width = dib.width / 2;
    half.height = dib.height / 2;
    if (half.width < 1 || half.height < 1) throw Failure{IMGCTL_ERR_BAD_ARGUMENT};
    half.rgb.resize(half.rowBytes() * size_t(half.height));
    const size_t in = dib.rowBytes();
    uint8_t* out = half.rgb.data();
    for (int32_t y = 0; y < half.height; ++y) {
        const uint8_t* top = dib.rgb.data() + in * size_t(2 * y);
        const uint8_t* bottom = top + in;
        for (int32_t x = 0; x < half.width; ++x, top += 6, bottom += 6) {
            for (int c = 0; c < 3; ++c) {
                const int sum = top[c] + top[c + 3] + bottom[c] + bottom[c + 3];
                *out++ = static_cast<uint8_t>((sum + 2) / 4);
            }
        }
    }
    return half;
}

IndexedImage quantized(const Dib& dib) {
    if (quantizerFails) fail();
    const std::vector<uint8_t> rgba = rgbaOf(dib);
    const QuantizerMemory::Reduction reduction;  // outlives every quantiser object below
    LiqPtr<liq_attr> attr(
        liq_attr_create_with_allocator(QuantizerMemory::allocate, QuantizerMemory::release));
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK ||
        liq_set_speed(attr.get(), kSpeed) != LIQ_OK)
        fail();
    LiqPtr<liq_image> image(
        liq_image_create_rgba(attr.get(), rgba.data(), dib.width, dib.height, 0));
    if (!image) fail();
    liq_result* raw = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK) fail();
    LiqPtr<liq_result> result(raw);
    if (liq_set_dithering_level(result.get(), 1.0f) != LIQ_OK) fail();

    IndexedImage out;
    out.indices.resize(size_t(dib.width) * size_t(dib.height));
    if (liq_write_remapped_image(result.get(), image.get(), out.indices.data(),
                                 out.indices.size()) != LIQ_OK)
        fail();
    // The palette is read after the remapping, which may refine it. Every colour is opaque, as
    // the picture is: no transparency to write.
    const liq_palette* palette = liq_get_palette(result.get());
    if (!palette || palette->count == 0 || palette->count > 256) fail();
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color& c = palette->entries[i];
        out.palette.push_back(uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b);
    }
    return out;
}

namespace testing {
void failQuantizer(bool fail) {
    quantizerFails = fail;
}
}  // namespace testing

}  // namespace imgctl
