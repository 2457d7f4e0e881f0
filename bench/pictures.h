// Deterministic screenshot-like pictures for the PNG benchmark.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// A picture in the screen's layout: 4 bytes per pixel, B G R X, rows packed.
struct Picture {
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgrx;

    int stride() const { return width * 4; }
};

Picture makeUiPicture(int width, int height);
Picture makeTerminalPicture(int width, int height);
Picture makePhotoPicture(int width, int height);

}  // namespace bench
