#include "X11PixelLayout.h"

#include <bit>
#include <cstring>

namespace quiblo::x11 {

namespace {

const xcb_visualtype_t* findVisual(const xcb_screen_t* screen, xcb_visualid_t id) {
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == id) return v.data;
        }
    }
    return nullptr;
}

const xcb_format_t* findFormat(const xcb_setup_t* setup, uint8_t depth) {
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == depth) return f.data;
    }
    return nullptr;
}

// One colour channel given by its mask, widened to 8 bits by repeating its bits (5-bit 0x1F
// gives 0xFF, 0x10 gives 0x84), as Qt widens 16-bit pictures.
class Channel {
public:
    explicit Channel(uint32_t mask)
        : mask_(mask), shift_(std::countr_zero(mask)), bits_(std::popcount(mask)) {}

    uint32_t from(uint32_t pixel) const {
        const uint32_t v = (pixel & mask_) >> shift_;
        if (bits_ >= 8) return v >> (bits_ - 8);
        uint32_t wide = v << (8 - bits_);
        for (int filled = bits_; filled < 8; filled *= 2) wide |= wide >> filled;
        return wide & 0xff;
    }

private:
    uint32_t mask_;
    int shift_;
    int bits_;
};

uint32_t readPixel(const uint8_t* p, int bytes, bool lsbFirst) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        const int byte = lsbFirst ? bytes - 1 - i : i;
        value = value << 8 | p[byte];
    }
    return value;
}

// One row of the common case: the server's 0x??RRGGBB words of this machine, made opaque, four
// pixels at a time (as fast as a plain copy).
void copyRowOpaque(const uint8_t* src, uint8_t* dst, int width) {
    using Pixels4 = uint32_t __attribute__((vector_size(16)));
    constexpr Pixels4 opaque = {0xff000000u, 0xff000000u, 0xff000000u, 0xff000000u};
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        Pixels4 p;
        std::memcpy(&p, src + x * 4, sizeof p);
        p |= opaque;
        std::memcpy(dst + x * 4, &p, sizeof p);
    }
    for (; x < width; ++x) {
        uint32_t p;
        std::memcpy(&p, src + x * 4, sizeof p);
        p |= 0xff000000u;
        std::memcpy(dst + x * 4, &p, sizeof p);
    }
}

}  // namespace

std::optional<PixelLayout> PixelLayout::ofRoot(const xcb_setup_t* setup,
                                               const xcb_screen_t* screen) {
    const xcb_visualtype_t* visual = findVisual(screen, screen->root_visual);
    const xcb_format_t* format = findFormat(setup, screen->root_depth);
    if (!visual || !format || visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR) return std::nullopt;
    if (!visual->red_mask || !visual->green_mask || !visual->blue_mask) return std::nullopt;
    const int bpp = format->bits_per_pixel;
    if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return std::nullopt;
    PixelLayout layout;
    layout.bitsPerPixel = bpp;
    layout.scanlinePad = format->scanline_pad;
    layout.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    layout.redMask = visual->red_mask;
    layout.greenMask = visual->green_mask;
    layout.blueMask = visual->blue_mask;
    return layout;
}

int PixelLayout::bytesPerLine(int width) const {
    const int bits = width * bitsPerPixel;
    return (bits + scanlinePad - 1) / scanlinePad * scanlinePad / 8;
}

bool PixelLayout::isHostXrgb() const {
    return bitsPerPixel == 32 && redMask == 0xff0000 && greenMask == 0xff00 && blueMask == 0xff &&
           lsbFirst == (std::endian::native == std::endian::little);
}

QImage PixelLayout::toImage(const uint8_t* data, int width, int height) const {
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull()) return {};
    copyRows(data, height, picture, 0);
    return picture;
}

void PixelLayout::copyRows(const uint8_t* data, int rows, QImage& picture, int firstRow) const {
    const int width = picture.width();
    const int stride = bytesPerLine(width);
    if (isHostXrgb()) {
        for (int y = 0; y < rows; ++y) {
            copyRowOpaque(data + qsizetype(y) * stride, picture.scanLine(firstRow + y), width);
        }
        return;
    }
    const Channel red(redMask), green(greenMask), blue(blueMask);
    const int bytes = bitsPerPixel / 8;
    for (int y = 0; y < rows; ++y) {
        const uint8_t* src = data + qsizetype(y) * stride;
        auto* dst = reinterpret_cast<QRgb*>(picture.scanLine(firstRow + y));
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = readPixel(src + x * bytes, bytes, lsbFirst);
            dst[x] = qRgb(red.from(pixel), green.from(pixel), blue.from(pixel));
        }
    }
}

}  // namespace quiblo::x11
