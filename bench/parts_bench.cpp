// What each part of the image library's encoder gives, side by side in one run: every picture of
// png_bench encoded with all parts on, then with each part off in turn. A part's saving is what
// the picture costs without it, less what it costs with everything on: bytes, and median
// wall-clock ms. Prints only; it is not a test.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "dib.h"
#include "parts.h"
#include "pictures.h"
#include "png_encoder.h"
#include "screens.h"

namespace {

struct Part {
    const char* name;
    std::atomic<bool>* on;
};

const Part kParts[] = {{"photo deflater", &imgctl::parts::photoDeflater},
                       {"zlib judge", &imgctl::parts::grainJudge},
                       {"pieces", &imgctl::parts::pieces}};

imgctl::Dib dibOf(const bench::Picture& p) {
    imgctl::Dib dib;
    dib.width = p.width;
    dib.height = p.height;
    dib.rgb.resize(size_t(p.width) * p.height * 3);
    for (size_t i = 0, n = size_t(p.width) * p.height; i < n; ++i) {
        dib.rgb[i * 3] = p.bgrx[i * 4 + 2];
        dib.rgb[i * 3 + 1] = p.bgrx[i * 4 + 1];
        dib.rgb[i * 3 + 2] = p.bgrx[i * 4];
    }
    return dib;
}

struct Cost {
    size_t bytes = 0;
    double ms = 0;
};

Cost measure(const imgctl::Dib& dib, int runs) {
    std::vector<double> wall;
    size_t bytes = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        bytes = imgctl::encodePng(dib).size();
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(wall.begin(), wall.end());
    return {bytes, wall[wall.size() / 2]};
}

void quietOffscreen(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    std::vector<bench::Picture> pictures = bench::makeScreenPictures();
    for (auto p : {bench::makeUiPicture(1920, 1080), bench::makeTerminalPicture(1920, 1080),
                   bench::makePhotoPicture(1920, 1080)})
        pictures.push_back(std::move(p));
    const int runs = std::max(1, qEnvironmentVariableIntValue("PNG_BENCH_RUNS"));
    std::printf(
        "Each part off in turn: what the picture costs more without it (bytes in %%, "
        "median wall ms of %d)\n%-9s %9s | %8s %7s",
        runs, "picture", "size", "bytes", "ms");
    for (const Part& part : kParts) std::printf(" | %14s", part.name);
    std::printf("\n");
    for (const bench::Picture& p : pictures) {
        const imgctl::Dib dib = dibOf(p);
        measure(dib, 1);  // warm: the pool, the pages
        const Cost all = measure(dib, runs);
        std::printf("%-9s %4dx%-4d | %8zu %7.1f", p.name.c_str(), p.width, p.height, all.bytes,
                    all.ms);
        for (const Part& part : kParts) {
            *part.on = false;
            measure(dib, 1);
            const Cost without = measure(dib, runs);
            *part.on = true;
            std::printf(" | %+5.2f%% %+6.1f",
                        100.0 * (double(without.bytes) - double(all.bytes)) / double(all.bytes),
                        without.ms - all.ms);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
