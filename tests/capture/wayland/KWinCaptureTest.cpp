// The KWin screen source inside a headless KWin (tests/support/kwin-session.sh): KWin's own
// screenshot interface for the screen and the active window. KWin places windows itself: the
// test window's pattern is looked for in the picture.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <optional>

#include "../screen/ScreenPictures.h"
#include "capture/KWinScreenSource.h"
#include "capture/KWinScreenshot.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const QSize kScreen(1280, 720);
const QSize kWindow(240, 160);

// A frameless window of another process that shows pattern(kWindow, variant); KWin makes a new
// window the active one.
class OtherWindow {
public:
    explicit OtherWindow(int variant) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--pattern-window"), QStringLiteral("kwin-test"),
                        QString::number(kWindow.width()), QString::number(kWindow.height()),
                        QString::number(variant)});
        process_.waitForStarted();
    }
    ~OtherWindow() {
        process_.kill();
        process_.waitForFinished();
    }

private:
    QProcess process_;
};

// The screen once the pattern shows on it (KWin has drawn the window), or the last one taken.
QImage screenShowing(KWinScreenSource& source, const QImage& part, std::optional<QPoint>* at) {
    QImage shot;
    for (int i = 0; i < 50; ++i) {
        shot = source.grabScreen();
        if (!shot.isNull() && (*at = find(shot, part))) break;
        QTest::qWait(100);
    }
    return shot;
}

}  // namespace

TEST(KWinScreenSource, ScreenAndActiveWindowComeFromKWinPixelForPixel) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    ASSERT_TRUE(kwinDesktop(QDBusConnection::sessionBus()));
    EXPECT_TRUE(dynamic_cast<KWinScreenSource*>(makeScreenSource().get())) << "not chosen on KWin";
    const QImage expected = pattern(kWindow, 41);
    OtherWindow window(41);
    KWinScreenSource source;

    std::optional<QPoint> at;
    const QImage shot = screenShowing(source, expected, &at);
    EXPECT_EQ(source.lastFailure(), GrabFailure::None);
    ASSERT_EQ(shot.size(), kScreen);
    ASSERT_TRUE(at) << "the test window is not in the screen's picture";
    // Beside the window, the desktop's one colour.
    const QRgb desktop = shot.pixel(kScreen.width() - 1, kScreen.height() - 1);
    for (int y = 0; y < shot.height(); y += 7) {
        for (int x = 0; x < shot.width(); x += 7) {
            if (QRect(*at, kWindow).contains(x, y)) continue;
            ASSERT_EQ(shot.pixel(x, y), desktop) << x << "," << y;
        }
    }

    const QImage active = source.grabActiveWindow();
    EXPECT_EQ(source.lastFailure(), GrabFailure::None);
    EXPECT_EQ(active, expected) << "the active window is not the test window, frameless";
}

TEST(KWinScreenSource, TheProgramsOwnActiveWindowIsNoPicture) {
    OtherWindow window(42);
    QTest::qWait(500);
    QWidget own;
    own.setFixedSize(200, 100);
    own.show();  // KWin makes it the active window
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&own));
    QTRY_VERIFY(QGuiApplication::focusWindow() != nullptr);

    KWinScreenSource source;
    EXPECT_TRUE(source.grabActiveWindow().isNull());
    EXPECT_EQ(source.lastFailure(), GrabFailure::None);
}
