// Times grabbing a whole X screen three ways on an Xvfb of its own (3840x2160 and 1920x1080):
// a bare MIT-SHM grab into a reused segment (the floor: the server's copy alone), the program's
// X11 screen source after prepare() (the picture made and made opaque), and
// QScreen::grabWindow(0). Prints medians and the ratios to the bare grab, and what a fresh source
// costs in a capture: prepare() during the wait, then its first grab. Prints only; not a test.
#include <unistd.h>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "capture/PortalScreenSource.h"
#include "capture/X11Handles.h"
#include "capture/X11ScreenSource.h"
#include "xvfb.h"

namespace {

using Clock = std::chrono::steady_clock;
using quiblo::x11::Connection;
using quiblo::x11::Reply;

constexpr int kWarmUp = 3;
constexpr int kRuns = 30;
constexpr int kFreshSources = 7;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double medianMs(int runs, const std::function<void()>& work) {
    for (int i = 0; i < kWarmUp; ++i) work();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        ms.push_back(msSince(start));
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Puts a busy picture on the root window, so no grab can profit from a blank screen.
void fillScreen(xcb_connection_t* c, xcb_screen_t* screen) {
    const int width = screen->width_in_pixels, height = screen->height_in_pixels;
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, width, height);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    const int band = 64;
    std::vector<uint32_t> rows(std::size_t(width) * band);
    for (int y = 0; y < height; y += band) {
        const int count = std::min(band, height - y);
        for (int r = 0; r < count; ++r) {
            for (int x = 0; x < width; ++x) {
                const uint32_t v = uint32_t(x * 7 + (y + r) * 3);
                rows[std::size_t(r) * width + x] =
                    (v & 0xff) << 16 | ((x ^ (y + r)) & 0xff) << 8 | ((v >> 4) & 0xff);
            }
        }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width, count, 0, y, 0,
                      screen->root_depth, uint32_t(count * width * 4),
                      reinterpret_cast<const uint8_t*>(rows.data()));
    }
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c, false, screen->root, 0, 0, 0, 0);
    xcb_free_pixmap(c, pixmap);
    xcb_free_gc(c, gc);
    Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// The floor: the server copying the screen into a segment that is already attached.
double bareSharedGrabMs(xcb_connection_t* c, xcb_screen_t* screen) {
    const int width = screen->width_in_pixels, height = screen->height_in_pixels;
    const auto segment = quiblo::x11::SharedSegment::create(c, std::size_t(width) * height * 4);
    if (!segment) return -1;
    return medianMs(kRuns, [&] {
        const auto cookie = xcb_shm_get_image(c, screen->root, 0, 0, width, height, ~0u,
                                              XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id(), 0);
        Reply<xcb_shm_get_image_reply_t>(xcb_shm_get_image_reply(c, cookie, nullptr));
    });
}

struct FirstUse {
    double prepareMs = 0;
    double firstGrabMs = 0;
};

// A fresh source as a capture meets it: prepare() during the wait, then the one grab that counts.
FirstUse firstUse() {
    std::vector<double> prepare, grab;
    for (int i = 0; i < kFreshSources; ++i) {
        const auto source = quiblo::X11ScreenSource::open();
        auto start = Clock::now();
        source->prepare();
        prepare.push_back(msSince(start));
        start = Clock::now();
        source->grabScreen();
        grab.push_back(msSince(start));
    }
    std::sort(prepare.begin(), prepare.end());
    std::sort(grab.begin(), grab.end());
    return {prepare[prepare.size() / 2], grab[grab.size() / 2]};
}

bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((p[x] | 0xff000000u) != (q[x] | 0xff000000u)) return false;
        }
    }
    return true;
}

// Runs in a process of its own, so that each screen gets a fresh QGuiApplication.
int measure(int width, int height) {
    const bench::Xvfb server(width, height);
    if (server.name().empty()) {
        std::fprintf(stderr, "Xvfb %dx%d did not start\n", width, height);
        return 1;
    }
    setenv("DISPLAY", server.name().c_str(), 1);
    int screenNumber = 0;
    const Connection connection(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection.get())) return 1;
    xcb_connection_t* c = connection.get();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    fillScreen(c, screen);

    int argc = 3;
    char* argv[] = {const_cast<char*>("grab_bench"), const_cast<char*>("-platform"),
                    const_cast<char*>("xcb"), nullptr};
    QGuiApplication app(argc, argv);

    const double bare = bareSharedGrabMs(c, screen);
    const auto source = quiblo::X11ScreenSource::open();
    source->prepare();
    const double grab = medianMs(kRuns, [&] { source->grabScreen(); });
    QScreen* qscreen = QGuiApplication::primaryScreen();
    const double qt = medianMs(kRuns, [&] { qscreen->grabWindow(0); });
    const FirstUse first = firstUse();
    const bool same =
        samePixels(source->grabScreen(),
                   qscreen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32));

    std::printf("%4dx%-4d  %8.2f  %8.2f  %5.2fx  %8.2f  %5.2fx  %8.2f  %8.2f  %s\n", width, height,
                bare, grab, grab / bare, qt, qt / bare, first.prepareMs, first.firstGrabMs,
                same ? "yes" : "NO");
    std::fflush(stdout);
    return 0;
}

}  // namespace

// ---- Wayland -------------------------------------------------------------------------------
// Inside a headless sway session (tests/support/wayland-session.sh) per screen size: the portal
// source's whole-screen grab (the portal's PNG written, read and cut) beside grim, the desktop's
// own screenshot tool, writing the same PNG that is then read the same way.

constexpr int kPortalRuns = 15;

int measureWaylandInside(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    quiblo::PortalScreenSource source;
    QImage picture;
    const double portal = medianMs(kPortalRuns, [&] { picture = source.grabScreen(); });
    const QString file = QStringLiteral("/tmp/quiblo-grab-bench-%1.png").arg(getpid());
    QImage grimPicture;
    const double grim = medianMs(kPortalRuns, [&] {
        if (QProcess::execute(QStringLiteral("grim"), {file}) == 0) grimPicture = QImage(file);
    });
    QFile::remove(file);
    if (picture.isNull() || grimPicture.isNull()) {
        std::printf("%4dx%-5d no picture (portal %s, grim %s)\n", grimPicture.width(),
                    grimPicture.height(), picture.isNull() ? "failed" : "ok",
                    grimPicture.isNull() ? "failed" : "ok");
        return 1;
    }
    std::printf("%4dx%-5d %8.1f %8.1f  %5.2f   %s\n", picture.width(), picture.height(), portal,
                grim, portal / grim,
                picture == grimPicture.convertToFormat(QImage::Format_RGB32) ? "yes" : "no");
    return 0;
}

int measureWayland() {
    std::printf("Whole-screen grab in a headless sway session, in ms: medians of %d grabs.\n\n",
                kPortalRuns);
    std::printf("screen       portal     grim  ratio   same pixels\n");
    std::fflush(stdout);
    const std::string session = QUIBLO_SOURCE_DIR "/tests/support/wayland-session.sh";
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    int status = 0;
    for (const char* size : {"1280x720", "3200x1080"}) {
        const std::string command = session + " run -o " + size +
                                    " -- env QT_QPA_PLATFORM=wayland " + self + " --wayland-inside";
        if (std::system(command.c_str()) != 0) status = 1;
    }
    return status;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--wayland-inside")
        return measureWaylandInside(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--wayland") {
        QCoreApplication app(argc, argv);
        return measureWayland();
    }
    std::printf(
        "Whole-screen grab on Xvfb, 24-bit, in ms: medians of %d grabs (ratio to the bare "
        "grab);\nprepare and 1st grab: medians over %d fresh sources.\n\n",
        kRuns, kFreshSources);
    std::printf(
        "screen     bare SHM    source  ratio    QScreen  ratio   prepare  1st grab  "
        "same pixels\n");
    std::fflush(stdout);
    return bench::onEachScreenSize(measure);
}
