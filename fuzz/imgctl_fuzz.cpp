// The image library's C ABI: any picture, in either pixel layout, with padding after its rows
// and any rectangle of it, is written as a PNG that decodes (through libpng) to exactly the
// rectangle's pixels; and in 256 colours, halved or not, as a palette PNG of the right size.
#include <png.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Property.h"
#include "imgctl.h"

namespace {

std::string outputPath() {
    static const std::string path = "/tmp/imgctl-fuzz-" + std::to_string(::getpid()) + ".png";
    return path;
}

// Packed R G B rows of the PNG at path.
std::vector<uint8_t> decode(const std::string& path, int& width, int& height,
                            bool* palette = nullptr) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    FUZZ_REQUIRE(png_image_begin_read_from_file(&image, path.c_str()));
    if (palette) *palette = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    FUZZ_REQUIRE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    width = int(image.width);
    height = int(image.height);
    return rgb;
}

}  // namespace

// Input: width, height, layout, padding, then the rectangle's corner and size, then the pixels
// (repeated to fill the picture).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    const int width = 1 + data[0] % 64, height = 1 + data[1] % 64;
    const bool bgrx = data[2] % 2;
    const int bytesPerPixel = bgrx ? 4 : 3;
    const int stride = width * bytesPerPixel + data[3] % 8;
    const int x = data[4] % width, y = data[5] % height;
    const int cutWidth = 1 + data[6] % (width - x), cutHeight = 1 + data[7] % (height - y);
    const uint8_t* pixels = data + 8;
    const size_t count = size - 8;

    std::vector<uint8_t> bytes(size_t(stride) * height);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = pixels[i % count];
    const ImgctlDC dc{bytes.data(), width, height, stride,
                      bgrx ? IMGCTL_FORMAT_BGRX32 : IMGCTL_FORMAT_RGB24};
    const intptr_t dib = DCtoDIB(reinterpret_cast<intptr_t>(&dc), x, y, cutWidth, cutHeight);
    FUZZ_REQUIRE(dib != 0);
    FUZZ_REQUIRE(DIBtoPNG(outputPath().c_str(), dib, 0) != 0);
    const bool half = data[2] & 2;
    if (!half || (cutWidth >= 2 && cutHeight >= 2)) {
        const std::string reducedPath = outputPath() + ".reduced.png";
        FUZZ_REQUIRE(DIBtoReducedPNG(reducedPath.c_str(), dib, half ? IMGCTL_OPTION_HALF : 0) != 0);
        int reducedWidth = 0, reducedHeight = 0;
        bool palette = false;
        decode(reducedPath, reducedWidth, reducedHeight, &palette);
        FUZZ_REQUIRE(palette);
        FUZZ_REQUIRE(reducedWidth == (half ? cutWidth / 2 : cutWidth));
        FUZZ_REQUIRE(reducedHeight == (half ? cutHeight / 2 : cutHeight));
    }
    FUZZ_REQUIRE(DeleteDIB(dib) != 0);

    int decodedWidth = 0, decodedHeight = 0;
    const std::vector<uint8_t> rgb = decode(outputPath(), decodedWidth, decodedHeight);
    FUZZ_REQUIRE(decodedWidth == cutWidth && decodedHeight == cutHeight);
    for (int row = 0; row < cutHeight; ++row) {
        for (int column = 0; column < cutWidth; ++column) {
            const uint8_t* source =
                &bytes[size_t(y + row) * stride + size_t(x + column) * bytesPerPixel];
            const uint8_t* png = &rgb[(size_t(row) * cutWidth + column) * 3];
            const uint8_t red = bgrx ? source[2] : source[0];
            const uint8_t blue = bgrx ? source[0] : source[2];
            FUZZ_REQUIRE(png[0] == red && png[1] == source[1] && png[2] == blue);
        }
    }
    return 0;
}
