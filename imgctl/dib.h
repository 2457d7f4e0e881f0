// A DIB: the library's own copy of a rectangle of a device context, as packed RGB rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imgctl.h"

namespace imgctl {

struct Dib {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;  // width * 3 bytes per row, rows top to bottom, no padding

    size_t rowBytes() const { return static_cast<size_t>(width) * 3; }
};

// Copies the rectangle of the device context; throws Failure when the arguments are unusable.
Dib copyFromDc(const ImgctlDC& dc, int32_t x, int32_t y, int32_t width, int32_t height);

}  // namespace imgctl
