// Compares imgctl's PNG writer with libpng (zlib level 6, default filters) and QImage::save on
// pictures that look like real screens (rendered with Qt) and on three synthetic ones: median
// time and file size, imgctl's ratios to libpng, and imgctl's stronger level beside them. Times
// are the CPU time of all the process's threads, which a shared, loaded machine disturbs far less
// than the wall-clock time printed beside it; imgctl compresses on one thread per processor, so
// its wall-clock time is the shorter. imgctl and libpng run in turns, and the ratios are the
// medians of the turns' ratios. Prints only; it is not a test.
#include <png.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "imgctl.h"
#include "pictures.h"
#include "png_proof.h"
#include "processors.h"
#include "screens.h"

namespace fs = std::filesystem;
using bench::Picture;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 7;
constexpr double kSlowRunMs = 250;  // above this, fewer runs are enough for a stable median
constexpr int kSlowRuns = 3;
constexpr uintmax_t kUploadLimit = 500000;  // the service's limit for one picture

struct Result {
    double ms = 0;      // CPU time of every thread
    double wallMs = 0;  // wall-clock time
    uintmax_t bytes = 0;
};

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

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

bool encodeImgctlWith(const Picture& p, const fs::path& path, int32_t options) {
    const ImgctlDC dc{p.bgrx.data(), p.width, p.height, p.stride(), IMGCTL_FORMAT_BGRX32};
    const intptr_t dib = DCtoDIB(reinterpret_cast<intptr_t>(&dc), 0, 0, p.width, p.height);
    const bool ok = dib != 0 && DIBtoPNG(path.c_str(), dib, options) != 0;
    DeleteDIB(dib);
    return ok;
}

bool encodeImgctl(const Picture& p, const fs::path& path) {
    return encodeImgctlWith(p, path, 0);
}

bool encodeImgctlStrong(const Picture& p, const fs::path& path) {
    return encodeImgctlWith(p, path, IMGCTL_OPTION_STRONG);
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

using Encode = std::function<bool(const Picture&, const fs::path&)>;

// One encoding's CPU and wall-clock times, or nothing if it failed.
std::optional<Result> runOnce(const Encode& encode, const Picture& p, const fs::path& path) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = processCpuMs();
    if (!encode(p, path)) {
        std::fprintf(stderr, "warning: encoding %s to %s failed\n", p.name.c_str(), path.c_str());
        return std::nullopt;
    }
    const double cpu = processCpuMs() - cpuStart;
    const std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - start;
    return Result{cpu, wall.count(), fs::file_size(path)};
}

int runsWanted() {
    const int runs = qEnvironmentVariableIntValue("PNG_BENCH_RUNS");
    return runs > 0 ? runs : kRuns;
}

// Median times of several runs; the size is that of the last file written.
Result measure(const Encode& encode, const Picture& p, const fs::path& path) {
    std::vector<double> cpu, wall;
    std::optional<Result> last;
    for (int i = 0, runs = runsWanted(); i < runs; ++i) {
        if (!(last = runOnce(encode, p, path))) return {};
        cpu.push_back(last->ms);
        wall.push_back(last->wallMs);
        if (i == 0 && last->ms > kSlowRunMs) runs = std::min(runs, kSlowRuns);
    }
    return {median(cpu), median(wall), last->bytes};
}

// imgctl and libpng-6 measured in turns, each imgctl run right before a libpng run: the load of a
// shared machine drifts over seconds and so weighs on both alike. The ratios are the medians of
// the turns' own ratios.
struct Paired {
    Result own, png;
    double timeRatio = 0, wallRatio = 0;
};

Paired measurePaired(const Picture& p, const fs::path& ownPath, const fs::path& pngPath) {
    std::vector<double> ownCpu, ownWall, pngCpu, pngWall, timeRatios, wallRatios;
    std::optional<Result> own, png;
    for (int i = 0, runs = runsWanted(); i < runs; ++i) {
        if (!(own = runOnce(encodeImgctl, p, ownPath)) ||
            !(png = runOnce(encodeLibpng, p, pngPath)))
            return {};
        ownCpu.push_back(own->ms);
        ownWall.push_back(own->wallMs);
        pngCpu.push_back(png->ms);
        pngWall.push_back(png->wallMs);
        timeRatios.push_back(own->ms / png->ms);
        wallRatios.push_back(own->wallMs / png->wallMs);
        if (i == 0 && png->ms > kSlowRunMs) runs = std::min(runs, kSlowRuns);
    }
    return {{median(ownCpu), median(ownWall), own->bytes},
            {median(pngCpu), median(pngWall), png->bytes},
            median(timeRatios),
            median(wallRatios)};
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

// One group of pictures: a row per picture, then the geometric means of the ratios to libpng-6,
// how many come out larger than libpng-6, and how many 1080p pictures pass the upload limit.
void runGroup(const char* title, const std::vector<Picture>& pictures, const fs::path& folder) {
    std::printf("\n%s\n", title);
    std::printf("%-9s %9s | %8s %8s %8s | %8s %8s %8s | %8s %8s | %6s %6s %7s | %8s %8s %8s\n",
                "picture", "size", "imgctl", "wall", "bytes", "libpng6", "wall", "bytes", "QImage",
                "bytes", "time x", "wall x", "bytes x", "strong", "wall", "bytes");
    double logTime = 0, logWall = 0, logBytes = 0, logStrongBytes = 0;
    int larger = 0, over = 0, overPng = 0, overStrong = 0, hd = 0;
    for (const Picture& p : pictures) {
        const fs::path base = folder / p.name;
        const Paired paired =
            measurePaired(p, base.string() + "-imgctl.png", base.string() + "-libpng.png");
        const Result& own = paired.own;
        const Result& png = paired.png;
        const Result qt = measure(encodeQImage, p, base.string() + "-qimage.png");
        const Result strong = measure(encodeImgctlStrong, p, base.string() + "-strong.png");
        for (const char* kind : {"-imgctl.png", "-strong.png"}) {
            if (!decodesToSource(p, base.string() + kind)) {
                std::printf("warning: imgctl's %s%s does not decode to its source pixels\n",
                            p.name.c_str(), kind);
            }
        }
        const double timeRatio = paired.timeRatio;
        const double wallRatio = paired.wallRatio;
        const double bytesRatio = double(own.bytes) / double(png.bytes);
        logTime += std::log(timeRatio);
        logWall += std::log(wallRatio);
        logBytes += std::log(bytesRatio);
        logStrongBytes += std::log(double(strong.bytes) / double(png.bytes));
        larger += own.bytes > png.bytes ? 1 : 0;
        if (p.width == 1920 && p.height == 1080) {
            ++hd;
            over += own.bytes > kUploadLimit ? 1 : 0;
            overPng += png.bytes > kUploadLimit ? 1 : 0;
            overStrong += strong.bytes > kUploadLimit ? 1 : 0;
        }
        const std::string size = std::to_string(p.width) + "x" + std::to_string(p.height);
        std::printf(
            "%-9s %9s | %8.1f %8.1f %8ju | %8.1f %8.1f %8ju | %8.1f %8ju | %6.3f %6.3f %7.3f | "
            "%8.1f %8.1f %8ju\n",
            p.name.c_str(), size.c_str(), own.ms, own.wallMs, own.bytes, png.ms, png.wallMs,
            png.bytes, qt.ms, qt.bytes, timeRatio, wallRatio, bytesRatio, strong.ms, strong.wallMs,
            strong.bytes);
    }
    const double n = double(pictures.size());
    std::printf("%-9s %88s %6.3f %6.3f %7.3f   strong bytes x %.3f\n", "geomean", "",
                std::exp(logTime / n), std::exp(logWall / n), std::exp(logBytes / n),
                std::exp(logStrongBytes / n));
    std::printf("imgctl larger than libpng-6: %d of %zu\n", larger, pictures.size());
    if (hd > 0) {
        std::printf("1080p over %ju bytes: imgctl %d, libpng-6 %d, imgctl strong %d (of %d)\n",
                    kUploadLimit, over, overPng, overStrong, hd);
    }
}

// The picture's R G B rows, halved by the average of each two by two pixels when asked: what a
// reduced picture is compared with.
std::vector<uint8_t> sourceRgb(const Picture& p, bool half) {
    const int w = half ? p.width / 2 : p.width, h = half ? p.height / 2 : p.height;
    const int step = half ? 2 : 1;
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < step; ++dy)
                    for (int dx = 0; dx < step; ++dx)
                        sum +=
                            p.bgrx[(size_t(y * step + dy) * p.width + x * step + dx) * 4 + 2 - c];
                rgb[(size_t(y) * w + x) * 3 + c] = uint8_t((sum + step * step / 2) / (step * step));
            }
    return rgb;
}

// PSNR in dB of the PNG at path against rgb; 0 when it does not decode at that size.
double psnrOf(const fs::path& path, const std::vector<uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return 0;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> decoded(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, decoded.data(), 0, nullptr)) return 0;
    if (decoded.size() != rgb.size()) return 0;
    double squares = 0;
    for (size_t i = 0; i < rgb.size(); ++i) {
        const double d = double(decoded[i]) - double(rgb[i]);
        squares += d * d;
    }
    const double mse = squares / double(rgb.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Pictures whose strongest lossless PNG is over the upload limit, reduced to 256 dithered colours
// at full size and at half size (DIBtoReducedPNG): bytes, PSNR against the source (the half
// against the source halved the same way), and the median wall-clock time of making the file.
void runReducedGroup(const std::vector<Picture>& pictures, const fs::path& folder) {
    std::printf(
        "\nPictures over %ju bytes, reduced to 256 colours (PSNR against the source; the half "
        "size against the source halved)\n",
        kUploadLimit);
    std::printf("%-9s %9s | %8s | %8s %6s %8s %4s | %8s %6s %8s %4s\n", "picture", "size", "strong",
                "full", "dB", "wall ms", "fits", "half", "dB", "wall ms", "fits");
    for (const Picture& p : pictures) {
        const fs::path base = folder / p.name;
        const uintmax_t strong = fs::file_size(base.string() + "-strong.png");
        if (strong <= kUploadLimit) continue;
        Result reduced[2];
        double psnr[2];
        for (int half = 0; half < 2; ++half) {
            const fs::path path = base.string() + (half ? "-half.png" : "-reduced.png");
            const int32_t options = half ? IMGCTL_OPTION_HALF : 0;
            reduced[half] = measure(
                [options](const Picture& pic, const fs::path& to) {
                    const ImgctlDC dc{pic.bgrx.data(), pic.width, pic.height, pic.stride(),
                                      IMGCTL_FORMAT_BGRX32};
                    const intptr_t dib =
                        DCtoDIB(reinterpret_cast<intptr_t>(&dc), 0, 0, pic.width, pic.height);
                    const bool ok = dib != 0 && DIBtoReducedPNG(to.c_str(), dib, options) != 0;
                    DeleteDIB(dib);
                    return ok;
                },
                p, path);
            psnr[half] = psnrOf(path, sourceRgb(p, half));
        }
        const std::string size = std::to_string(p.width) + "x" + std::to_string(p.height);
        std::printf("%-9s %9s | %8ju | %8ju %6.1f %8.1f %4s | %8ju %6.1f %8.1f %4s\n",
                    p.name.c_str(), size.c_str(), strong, reduced[0].bytes, psnr[0],
                    reduced[0].wallMs, reduced[0].bytes <= kUploadLimit ? "yes" : "no",
                    reduced[1].bytes, psnr[1], reduced[1].wallMs,
                    reduced[1].bytes <= kUploadLimit ? "yes" : "no");
    }
}

// The proof that DIBtoPNG runs before it writes a file (decoding the bytes again and comparing
// them with the picture), timed alone on the file the group wrote: it is part of imgctl's times.
void runProofGroup(const std::vector<Picture>& pictures, const fs::path& folder) {
    std::printf(
        "\nThe proof of each written file: decoded again and compared (median wall ms of %d)\n",
        runsWanted());
    std::printf("%-9s %9s | %8s %8s\n", "picture", "size", "bytes", "proof ms");
    for (const Picture& p : pictures) {
        const fs::path path = folder / (p.name + "-imgctl.png");
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> png{std::istreambuf_iterator<char>(in), {}};
        const std::vector<uint8_t> rgb = sourceRgb(p, false);
        std::vector<double> wall;
        bool proved = true;
        for (int i = 0; i < runsWanted(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            proved = imgctl::decodesTo(png, p.width, p.height, rgb.data()) && proved;
            wall.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        const std::string size = std::to_string(p.width) + "x" + std::to_string(p.height);
        std::printf("%-9s %9s | %8zu %8.1f%s\n", p.name.c_str(), size.c_str(), png.size(),
                    median(wall), proved ? "" : "  NOT PROVED");
    }
}

// Writes the pictures as PNG files into folder, to look at them.
void savePictures(const std::vector<Picture>& pictures, const fs::path& folder) {
    fs::create_directories(folder);
    for (const Picture& p : pictures) encodeLibpng(p, folder / (p.name + ".png"));
}

// The offscreen platform warns once per window shown; the warning says nothing here.
void quietOffscreen(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) std::abort();
}

}  // namespace

// png_bench [--save FOLDER]: --save also writes the pictures there. PNG_BENCH_RUNS=n caps the
// runs per measurement.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    const TempFolder folder;
    const std::vector<Picture> screens = bench::makeScreenPictures();
    const std::vector<Picture> synthetic = {bench::makeUiPicture(kWidth, kHeight),
                                            bench::makeTerminalPicture(kWidth, kHeight),
                                            bench::makePhotoPicture(kWidth, kHeight)};
    if (argc == 3 && std::string(argv[1]) == "--save") {
        savePictures(screens, argv[2]);
        savePictures(synthetic, argv[2]);
    }
    std::printf(
        "PNG encoding, median of up to %d runs (imgctl %d, %zu processors); "
        "times in ms of CPU, all threads,\n"
        "wall = wall-clock ms; time x, wall x = median ratio to libpng-6 of runs taken in turns "
        "with it; strong = DIBtoPNG option %d\n",
        kRuns, ImgctlVersion(), imgctl::processorsAllowed(), IMGCTL_OPTION_STRONG);
    runGroup("Real-screen pictures (Qt rendering, fonts, web pages with photos, Debian wallpapers)",
             screens, folder.path);
    runGroup("Synthetic pictures (drawn pixel by pixel)", synthetic, folder.path);
    runReducedGroup(screens, folder.path);
    runReducedGroup(synthetic, folder.path);
    runProofGroup(screens, folder.path);
    runProofGroup(synthetic, folder.path);
    return 0;
}
