// What the history's pictures cost: keeping the small copy of a real screen after its upload
// (shrinking it and writing it through the image library), and opening the history window on a
// long history with every picture kept: how long the window takes before it shows, and how long
// until every entry shows its picture. Medians of five runs. Prints only; it is not a test.
#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "history/DeleteWin.h"
#include "history/HistoryFile.h"
#include "history/Thumbnails.h"
#include "imagelib/ImgctlLibrary.h"
#include "screens.h"
#include "support/ScriptedDesktop.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QImage imageOf(const bench::Picture& picture) {
    return QImage(picture.bgrx.data(), picture.width, picture.height, picture.stride(),
                  QImage::Format_RGB32)
        .copy();
}

void benchKeeping(quiblo::ImgctlLibrary& imgctl, const QString& folder) {
    std::printf("keeping the small copy after an upload (median of 5)\n");
    std::printf("%-28s %10s %8s\n", "picture", "size", "ms");
    for (const bench::Picture& picture : bench::makeScreenPictures()) {
        const QImage image = imageOf(picture);
        std::vector<double> runs;
        for (int i = 0; i < 5; ++i) {
            const auto start = Clock::now();
            quiblo::keepThumbnail(imgctl, folder, QStringLiteral("123456789012345678"), image);
            runs.push_back(msSince(start));
        }
        std::printf("%-28s %4dx%-5d %8.1f\n", picture.name.c_str(), picture.width, picture.height,
                    median(runs));
    }
}

void benchOpening(quiblo::ImgctlLibrary& imgctl, const QString& folder, int entries) {
    const std::vector<bench::Picture> screens = bench::makeScreenPictures();
    for (int i = 0; i < entries; ++i) {
        const QString code = QStringLiteral("1000000000000%1").arg(i, 5, 10, QLatin1Char('0'));
        quiblo::AppendHistoryRecord(folder, code, QStringLiteral("20261210120000"));
        quiblo::keepThumbnail(imgctl, folder, code, imageOf(screens[size_t(i) % 6]));
    }
    quiblo::ScriptedDesktop desktop;
    std::vector<double> shown, pictured;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        quiblo::DeleteWin win(desktop, folder);
        win.show();
        QCoreApplication::processEvents();
        shown.push_back(msSince(start));
        while (!win.picturesFound())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        pictured.push_back(msSince(start));
    }
    std::printf(
        "\nopening the history of %d entries, every picture kept, no service (median of 5)\n",
        entries);
    std::printf("window shown: %.1f ms; every entry's picture shown: %.1f ms\n", median(shown),
                median(pictured));
}

void quietOffscreen(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    quiblo::ImgctlLibrary imgctl(QStringLiteral(QUIBLO_PROGRAM_FOLDER));
    if (imgctl.probe() != quiblo::ImgctlLibrary::Probe::Loaded) {
        std::fprintf(stderr, "history_bench: no image library in %s\n", QUIBLO_PROGRAM_FOLDER);
        return 1;
    }
    // No service: the history asks a port where nothing listens, as with the service stopped.
    qputenv("QUIBLO_SERVICE_HOST", "127.0.0.1:9");
    QTemporaryDir keeping, opening;
    benchKeeping(imgctl, keeping.path());
    benchOpening(imgctl, opening.path(), 500);
    return 0;
}
