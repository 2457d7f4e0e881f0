// Compares imgctl's PNG writer with libpng (zlib level 6, default filters) and QImage::save on
// three screenshot-like pictures: median time and file size, and imgctl's ratios to libpng.
// Prints only; it is not a test.
#include <png.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "imgctl.h"
#include "pictures.h"

namespace fs = std::filesystem;
using bench::Picture;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 7;
constexpr double kSlowRunMs = 250;  // above this, fewer runs are enough for a stable median
constexpr int kSlowRuns = 3;

struct Result {
    double ms = 0;
    uintmax_t bytes = 0;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Owns libpng's write structures; declared before setjmp so a longjmp never skips it.
struct PngWriter {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

bool encodeImgctl(const Picture& p, const fs::path& path) {
    const ImgctlDC dc{p.bgrx.data(), p.width, p.height, p.stride(), IMGCTL_FORMAT_BGRX32};
    const intptr_t dib = DCtoDIB(reinterpret_cast<intptr_t>(&dc), 0, 0, p.width, p.height);
    const bool ok = dib != 0 && DIBtoPNG(path.c_str(), dib, 0) != 0;
    DeleteDIB(dib);
    return ok;
}

// libpng as QImage and most programs use it: level 6, its default adaptive filters, reading the
// same B G R X rows that imgctl gets.
bool encodeLibpng(const Picture& p, const fs::path& path) {
    const File file(std::fopen(path.c_str(), "wb"));
    PngWriter w;
    if (!file || !w.info) return false;
    if (setjmp(png_jmpbuf(w.png))) return false;
    png_init_io(w.png, file.get());
    png_set_compression_level(w.png, 6);
    png_set_IHDR(w.png, w.info, p.width, p.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w.png, w.info);
    png_set_bgr(w.png);
    png_set_filler(w.png, 0, PNG_FILLER_AFTER);
    for (int y = 0; y < p.height; ++y) png_write_row(w.png, p.bgrx.data() + size_t(y) * p.stride());
    png_write_end(w.png, nullptr);
    return true;
}

bool encodeQImage(const Picture& p, const fs::path& path) {
    const QImage image(p.bgrx.data(), p.width, p.height, p.stride(), QImage::Format_RGB32);
    return image.save(QString::fromStdString(path.string()), "PNG");
}

// Median time of several runs; the size is that of the last file written.
Result measure(const std::function<bool(const Picture&, const fs::path&)>& encode, const Picture& p,
               const fs::path& path) {
    std::vector<double> times;
    int runs = kRuns;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!encode(p, path)) {
            std::fprintf(stderr, "warning: encoding %s to %s failed\n", p.name.c_str(),
                         path.c_str());
            return {};
        }
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        times.push_back(took.count());
        if (i == 0 && took.count() > kSlowRunMs) runs = kSlowRuns;
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], fs::file_size(path)};
}

// Decodes the file with libpng and compares every pixel with the source picture.
bool decodesToSource(const Picture& p, const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
    if (int(image.width) != p.width || int(image.height) != p.height) return false;
    for (size_t i = 0, n = size_t(p.width) * p.height; i < n; ++i) {
        const uint8_t* src = &p.bgrx[i * 4];
        const uint8_t* out = &rgb[i * 3];
        if (out[0] != src[2] || out[1] != src[1] || out[2] != src[0]) return false;
    }
    return true;
}

// A private folder in the system's temporary folder, removed again at the end.
struct TempFolder {
    fs::path path = fs::temp_directory_path() / ("png_bench-" + std::to_string(::getpid()));
    TempFolder() { fs::create_directories(path); }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

}  // namespace

int main() {
    const TempFolder folder;
    const std::vector<Picture> pictures = {bench::makeUiPicture(kWidth, kHeight),
                                           bench::makeTerminalPicture(kWidth, kHeight),
                                           bench::makePhotoPicture(kWidth, kHeight)};
    std::printf("PNG encoding, %dx%d, median of up to %d runs (imgctl %d)\n", kWidth, kHeight,
                kRuns, ImgctlVersion());
    std::printf("%-9s %10s %9s %10s %9s %10s %9s %8s %8s\n", "picture", "imgctl ms", "bytes",
                "libpng6 ms", "bytes", "QImage ms", "bytes", "time x", "bytes x");
    double logTime = 0, logBytes = 0;
    for (const Picture& p : pictures) {
        const fs::path base = folder.path / p.name;
        const Result own = measure(encodeImgctl, p, base.string() + "-imgctl.png");
        const Result png = measure(encodeLibpng, p, base.string() + "-libpng.png");
        const Result qt = measure(encodeQImage, p, base.string() + "-qimage.png");
        if (!decodesToSource(p, base.string() + "-imgctl.png")) {
            std::printf("warning: imgctl's %s picture does not decode to its source pixels\n",
                        p.name.c_str());
        }
        const double timeRatio = own.ms / png.ms;
        const double bytesRatio = double(own.bytes) / double(png.bytes);
        logTime += std::log(timeRatio);
        logBytes += std::log(bytesRatio);
        std::printf("%-9s %10.1f %9ju %10.1f %9ju %10.1f %9ju %8.3f %8.3f\n", p.name.c_str(),
                    own.ms, own.bytes, png.ms, png.bytes, qt.ms, qt.bytes, timeRatio, bytesRatio);
    }
    const double n = double(pictures.size());
    std::printf("%-9s %80s %8.3f %8.3f\n", "geomean", "", std::exp(logTime / n),
                std::exp(logBytes / n));
    return 0;
}
