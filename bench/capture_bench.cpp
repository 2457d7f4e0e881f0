// What a user feels of a capture: F5 in the main window until the confirmation window is on the
// screen and painted, less the two capture waits the program makes on purpose. Runs the real
// main window and capture chain on an Xvfb of its own (3840x2160, then 1920x1080) with a busy
// picture on the screen, and splits the time into its steps. Prints only; not a test.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "capture/X11ScreenSource.h"
#include "settings/IniFile.h"
#include "support/ScriptedDesktop.h"
#include "xvfb.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 12;
constexpr int kWaitMs = 100;  // the capture wait in Quiblo.ini: the shortest the program allows

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// The X11 source with the time of its grab taken.
class TimedSource : public quiblo::ScreenSource {
public:
    explicit TimedSource(quiblo::ScreenSource& inner) : inner_(inner) {}
    bool available() const override { return inner_.available(); }
    void prepare() override { inner_.prepare(); }
    QImage grabScreen() override {
        grabStart = Clock::now();
        QImage picture = inner_.grabScreen();
        grabEnd = Clock::now();
        return picture;
    }
    QImage grabActiveWindow() override { return inner_.grabActiveWindow(); }

    Clock::time_point grabStart, grabEnd;

private:
    quiblo::ScreenSource& inner_;
};

// A window over the whole screen with something busy in it, so that the picture is not blank.
class Backdrop : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), height());
        g.setColorAt(0, QColor(30, 80, 160));
        g.setColorAt(1, QColor(200, 140, 60));
        p.fillRect(rect(), g);
        p.setPen(Qt::white);
        for (int y = 20; y < height(); y += 18)
            p.drawText(10, y, QStringLiteral("クイブロ capture latency bench — line %1").arg(y));
    }
};

// Watches for the confirmation window: when it is shown, and when its first exposure has been
// painted (the next turn of the event loop after the expose), then closes it.
class PreviewWatch : public QObject {
public:
    Clock::time_point shown, exposed, painted;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget && widget->objectName() == QLatin1String("PreviewWin") &&
            event->type() == QEvent::Show) {
            shown = Clock::now();
            seenExpose_ = false;
        }
        auto* window = qobject_cast<QWindow*>(object);
        QWidget* modal = QApplication::activeModalWidget();
        if (window && event->type() == QEvent::Expose && !seenExpose_ && modal &&
            modal->objectName() == QLatin1String("PreviewWin") && window == modal->windowHandle() &&
            window->isExposed()) {
            seenExpose_ = true;
            exposed = Clock::now();
            QTimer::singleShot(0, this, [this] {
                painted = Clock::now();
                if (QWidget* open = QApplication::activeModalWidget()) open->close();
            });
        }
        return false;
    }

private:
    bool seenExpose_ = false;
};

struct Run {
    double total, beforeGrab, grab, afterGrab, showToExposed, exposedToPainted;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int measure(int width, int height) {
    const bench::Xvfb server(width, height);
    if (server.name().empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", server.name().c_str(), 1);
    int argc = 3;
    char* argv[] = {const_cast<char*>("capture_bench"), const_cast<char*>("-platform"),
                    const_cast<char*>("xcb"), nullptr};
    QApplication app(argc, argv);

    QTemporaryDir folder;
    QFile::copy(QStringLiteral(QUIBLO_PROGRAM_FOLDER "/libimgctl.so"),
                folder.filePath(QStringLiteral("libimgctl.so")));
    QFile ini(folder.filePath(QStringLiteral("Quiblo.ini")));
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    ini.write(QByteArray("[") + quiblo::kSettingsSection + "]\r\n" + quiblo::kWaitKey + "=" +
              QByteArray::number(kWaitMs) + "\r\n");
    ini.close();

    Backdrop backdrop;
    backdrop.setWindowFlags(Qt::FramelessWindowHint);
    backdrop.setGeometry(0, 0, width, height);
    backdrop.show();

    auto x11 = quiblo::X11ScreenSource::open();
    if (!x11) return 1;
    TimedSource source(*x11);
    quiblo::ScriptedDesktop desktop;
    quiblo::AppSeams seams;
    seams.desktop = &desktop;
    seams.programFolder = folder.path();
    seams.instanceLockPath = folder.filePath(QStringLiteral("lock"));
    seams.screen = &source;
    quiblo::AppState state(seams);
    quiblo::MainWin win(state);
    if (!win.Form_Load()) return 1;
    win.show();
    if (!QTest::qWaitForWindowExposed(&win)) return 1;
    if (quiblo::readCaptureWait(folder.path()) != kWaitMs) {
        std::fprintf(stderr, "the capture wait is not %d ms\n", kWaitMs);
        return 1;
    }

    PreviewWatch watch;
    app.installEventFilter(&watch);
    std::vector<Run> runs;
    for (int i = 0; i < kRuns + 1; ++i) {
        QTest::qWait(150);     // the screen settles; the main window is back
        win.activateWindow();  // no window manager gives it the focus
        if (!QTest::qWaitForWindowActive(&win)) return 1;
        const auto start = Clock::now();
        QTest::keyClick(win.windowHandle(), Qt::Key_F5);  // returns when the chain has ended
        if (i == 0) continue;  // the first run sets up what later runs reuse
        Run r;
        r.total = msBetween(start, watch.painted) - 2 * kWaitMs;
        r.beforeGrab = msBetween(start, source.grabStart) - kWaitMs;
        r.grab = msBetween(source.grabStart, source.grabEnd);
        r.afterGrab = msBetween(source.grabEnd, watch.shown) - kWaitMs;
        r.showToExposed = msBetween(watch.shown, watch.exposed);
        r.exposedToPainted = msBetween(watch.exposed, watch.painted);
        runs.push_back(r);
    }
    auto med = [&](double Run::*field) {
        std::vector<double> v;
        for (const Run& r : runs) v.push_back(r.*field);
        return median(v);
    };
    std::vector<double> totals;
    for (const Run& r : runs) totals.push_back(r.total);
    std::printf("%4dx%-4d  %8.1f  %8.1f  %11.1f  %8.1f  %11.1f  %12.1f  %13.1f\n", width, height,
                med(&Run::total), *std::max_element(totals.begin(), totals.end()),
                med(&Run::beforeGrab), med(&Run::grab), med(&Run::afterGrab),
                med(&Run::showToExposed), med(&Run::exposedToPainted));
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main() {
    std::printf(
        "F5 -> confirmation window painted, less the two capture waits (%d ms each), in ms:\n"
        "median and worst of %d captures, and the median of each step (waits taken out).\n\n",
        kWaitMs, kRuns);
    std::printf(
        "screen       median     worst  before grab      grab  grab->shown  shown->exposed  "
        "exposed->painted\n");
    std::fflush(stdout);
    return bench::onEachScreenSize(measure);
}
