// The portal screen source inside a headless sway session, pixel for pixel: the full screen is
// the primary output, the active window the focused window's frame, and the desktop's no or its
// missing portal come back as such.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "../screen/ScreenPictures.h"
#include "../screen/XvfbDisplay.h"
#include "WaylandSession.h"
#include "capture/PortalScreenSource.h"
#include "capture/PortalScreenshot.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const QSize kPrimary(1280, 720);

// A session bus of our own on which no portal is to be had.
class BareBus {
public:
    BareBus() {
        QFile config(dir_.filePath(QStringLiteral("bus.conf")));
        config.open(QIODevice::WriteOnly);
        config.write("<busconfig><type>session</type><listen>unix:dir=" + dir_.path().toUtf8() +
                     "</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
                     "<allow receive_sender=\"*\"/>"
                     "<allow own=\"*\"/></policy></busconfig>");
        config.close();
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                       QStringLiteral("--config-file=") + config.fileName()});
        if (daemon_.waitForReadyRead(5000)) address_ = daemon_.readLine().trimmed();
    }
    ~BareBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("bare"));
        daemon_.kill();
        daemon_.waitForFinished();
    }
    QDBusConnection connect() { return QDBusConnection::connectToBus(address_, "bare"); }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};

TEST(PortalScreenSource, FullScreenIsThePrimaryOutputPixelForPixel) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(QPoint(0, 0), kPrimary));
    PatternWindow window(QStringLiteral("full-a"), QRect(100, 80, 300, 200), 1);
    PatternWindow corner(QStringLiteral("full-b"), QRect(1180, 640, 100, 80), 2);
    ASSERT_TRUE(window.shown() && corner.shown());

    PortalScreenSource source;
    const QImage shot = source.grabScreen();
    EXPECT_EQ(source.lastFailure(), GrabFailure::None);
    EXPECT_EQ(differenceOf(shot, desktopPicture(kPrimary, {&window, &corner})), "");
    EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/out.png")))
        << "the portal's file is left behind";
}

TEST(PortalScreenSource, ActiveWindowIsTheFocusedFrameWithItsTitleBar) {
    PatternWindow plain(QStringLiteral("active-plain"), QRect(500, 300, 240, 160), 5);
    PatternWindow titled(QStringLiteral("active-titled"), QRect(60, 60, 300, 200), 6);
    ASSERT_TRUE(plain.shown() && titled.shown());
    // The titled one with the session's border: a title bar above, 2 pixels about.
    ASSERT_TRUE(
        sessionIpc().command(QStringLiteral("[title=\"^active-titled$\"] border normal 2, focus")));
    const auto node = awaitWindow(titled.title(), [](const QJsonObject& n) {
        return rectOf(n, "deco_rect").height() > 0 && n.value(QLatin1String("focused")).toBool();
    });
    ASSERT_TRUE(node);
    settle();
    const QRect rect = rectOf(*node);
    const int title = rectOf(*node, "deco_rect").height();
    const QRect content = rectOf(*node, "window_rect");
    ASSERT_EQ(content.size(), QSize(300, 200));

    PortalScreenSource source;
    const QImage frame = source.grabActiveWindow();
    ASSERT_EQ(frame.size(), QSize(rect.width(), rect.height() + title));
    // The window's own pixels sit inside the frame where the desktop says.
    EXPECT_EQ(differenceOf(frame.copy(content.translated(0, title)), titled.content()), "");
    // The frame's top rows are the title bar, not the background.
    EXPECT_NE(frame.pixel(frame.width() / 2, 1), kBackground);
}

TEST(PortalScreenSource, OwnWindowsArePassedOverForTheOneFocusedBefore) {
    PatternWindow other(QStringLiteral("own-other"), QRect(200, 150, 260, 180), 7);
    ASSERT_TRUE(other.shown());
    QWidget own;
    own.setWindowTitle(QStringLiteral("own-window"));
    own.resize(400, 300);
    own.show();
    ASSERT_TRUE(awaitWindow(QStringLiteral("own-window"), [](const QJsonObject& n) {
        return n.value(QLatin1String("focused")).toBool();
    }));

    PortalScreenSource source;
    EXPECT_EQ(differenceOf(source.grabActiveWindow(), other.content()), "");
    own.hide();
}

TEST(PortalScreenSource, NoOtherWindowIsNoPictureAndNoDesktopFailure) {
    QWidget own;
    own.setWindowTitle(QStringLiteral("only-own"));
    own.show();
    ASSERT_TRUE(awaitWindow(QStringLiteral("only-own"), [](const QJsonObject&) { return true; }));
    PortalScreenSource source;
    EXPECT_TRUE(source.grabActiveWindow().isNull());
    EXPECT_EQ(source.lastFailure(), GrabFailure::None);
}

// Without the compositor's IPC the user picks the window in the desktop's dialog; sway's portal
// has none (it would need slurp), so the request ends in a no.
TEST(PortalScreenSource, WithoutCompositorIpcTheDesktopIsAskedAndItsNoIsReported) {
    PatternWindow window(QStringLiteral("ask"), QRect(10, 10, 100, 100), 8);
    ASSERT_TRUE(window.shown());
    PortalScreenSource source(QDBusConnection::sessionBus(), SwayIpc(QString()));
    EXPECT_TRUE(source.grabActiveWindow().isNull());
    EXPECT_EQ(source.lastFailure(), GrabFailure::Refused);
    // A later grab that works clears the failure.
    EXPECT_FALSE(source.grabScreen().isNull());
    EXPECT_EQ(source.lastFailure(), GrabFailure::None);
}

TEST(PortalScreenSource, NoPortalOnTheBusOrNoBusIsUnavailable) {
    BareBus bare;
    PortalScreenSource source(bare.connect(), SwayIpc(QString()));
    EXPECT_TRUE(source.grabScreen().isNull());
    EXPECT_EQ(source.lastFailure(), GrabFailure::Unavailable);
    EXPECT_TRUE(source.grabActiveWindow().isNull());
    EXPECT_EQ(source.lastFailure(), GrabFailure::Unavailable);

    PortalScreenSource nowhere(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nowhere")));
    EXPECT_TRUE(nowhere.grabScreen().isNull());
    EXPECT_EQ(nowhere.lastFailure(), GrabFailure::Unavailable);
}

}  // namespace
