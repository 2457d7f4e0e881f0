// How the X server lays out the pixels of the root window in an image, and the conversion of
// such an image to a picture.
#pragma once

#include <xcb/xcb.h>

#include <QImage>
#include <cstdint>
#include <optional>

namespace quiblo::x11 {

struct PixelLayout {
    int bitsPerPixel = 0;
    int scanlinePad = 0;
    bool lsbFirst = true;  // byte order of the server's images
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;

    // The layout of the root window of `screen`; nullopt when its pixels are not colours by
    // themselves (colour-mapped and grey visuals) or come in a size we do not read.
    static std::optional<PixelLayout> ofRoot(const xcb_setup_t* setup, const xcb_screen_t* screen);

    // Bytes of one row of `width` pixels, padding included.
    int bytesPerLine(int width) const;
    // A Format_RGB32 copy of `height` rows of `width` pixels in this layout, alpha 0xFF.
    QImage toImage(const uint8_t* data, int width, int height) const;
    // The same for `rows` rows, written into `picture` (Format_RGB32, as wide) from `firstRow` on.
    void copyRows(const uint8_t* data, int rows, QImage& picture, int firstRow) const;

private:
    bool isHostXrgb() const;
};

}  // namespace quiblo::x11
