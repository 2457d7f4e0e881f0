#include "dib.h"

#include <bit>
#include <cstring>

#include "failure.h"

namespace imgctl {
namespace {

int32_t bytesPerPixel(int32_t format) {
    switch (format) {
        case IMGCTL_FORMAT_BGRX32:
            return 4;
        case IMGCTL_FORMAT_RGB24:
            return 3;
        default:
            return 0;
    }
}

void checkDc(const ImgctlDC& dc) {
    if (dc.pixels == nullptr) throw Failure{IMGCTL_ERR_BAD_HANDLE};
    const int32_t bpp = bytesPerPixel(dc.format);
    if (bpp == 0 || dc.width <= 0 || dc.height <= 0) throw Failure{IMGCTL_ERR_BAD_ARGUMENT};
    if (dc.stride < int64_t{dc.width} * bpp) throw Failure{IMGCTL_ERR_BAD_ARGUMENT};
}

// 64-bit sums so that huge coordinates cannot wrap around into the picture.
void checkRect(const ImgctlDC& dc, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (x < 0 || y < 0 || width <= 0 || height <= 0) throw Failure{IMGCTL_ERR_BAD_ARGUMENT};
    if (int64_t{x} + width > dc.width || int64_t{y} + height > dc.height) {
        throw Failure{IMGCTL_ERR_BAD_ARGUMENT};
    }
}

uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// A pixel B G R X read as a little-endian word, turned into R G B in its low three bytes.
uint32_t rgbOf(uint32_t bgrx) {
    return __builtin_bswap32(bgrx) >> 8;
}

void copyBgrxRow(const uint8_t* src, uint8_t* dst, int32_t width) {
    int32_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Four pixels at a time, as three words: a byte at a time costs twice as much.
        for (; i + 4 <= width; i += 4, src += 16, dst += 12) {
            const uint32_t p0 = rgbOf(load32(src)), p1 = rgbOf(load32(src + 4));
            const uint32_t p2 = rgbOf(load32(src + 8)), p3 = rgbOf(load32(src + 12));
            store32(dst, p0 | p1 << 24);
            store32(dst + 4, p1 >> 8 | p2 << 16);
            store32(dst + 8, p2 >> 16 | p3 << 8);
        }
    }
    for (; i < width; ++i, src += 4, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    }
}

}  // namespace

Dib copyFromDc(const ImgctlDC& dc, int32_t x, int32_t y, int32_t width, int32_t height) {
    checkDc(dc);
    checkRect(dc, x, y, width, height);
    const int32_t bpp = bytesPerPixel(dc.format);
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.rgb.resize(dib.rowBytes() * static_cast<size_t>(height));
    const auto* base = static_cast<const uint8_t*>(dc.pixels);
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* src = base + static_cast<size_t>(y + r) * dc.stride + size_t(x) * bpp;
        uint8_t* dst = dib.rgb.data() + dib.rowBytes() * r;
        if (dc.format == IMGCTL_FORMAT_RGB24) {
            std::memcpy(dst, src, dib.rowBytes());
        } else {
            copyBgrxRow(src, dst, width);
        }
    }
    return dib;
}

}  // namespace imgctl
