// An X11 client inside the Wayland session: its X display is Xwayland, whose root window reads
// black, so the program must take the portal and cut the active window from the portal's picture.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "../screen/XvfbDisplay.h"
#include "WaylandSession.h"
#include "capture/PortalScreenSource.h"
#include "capture/X11ScreenSource.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const QSize kPrimary(1280, 720);

bool allBlack(const QImage& picture) {
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if ((picture.pixel(x, y) & 0xffffff) != 0) return false;
        }
    }
    return true;
}

TEST(X11ClientInWayland, TakesThePortalWhereTheRootReadsBlack) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_TRUE(isXwaylandDisplay());
    PatternWindow window(QStringLiteral("x11-full"), QRect(50, 60, 200, 100), 21);
    ASSERT_TRUE(window.shown());
    // What a plain X11 grab gives here: the reason for the portal.
    if (const auto x11 = X11ScreenSource::open()) {
        const QImage root = x11->grabScreen();
        EXPECT_TRUE(root.isNull() || allBlack(root.copy(50, 60, 200, 100)));
    }

    const auto source = makeScreenSource();
    ASSERT_TRUE(dynamic_cast<PortalScreenSource*>(source.get()));
    const QImage shot = source->grabScreen();
    ASSERT_FALSE(shot.isNull());
    EXPECT_FALSE(allBlack(shot));
    EXPECT_EQ(differenceOf(shot, desktopPicture(kPrimary, {&window})), "");
}

TEST(X11ClientInWayland, ActiveX11WindowIsCutFromThePortalPicture) {
    PatternWindow wayland(QStringLiteral("x11-beside"), QRect(700, 100, 200, 150), 22);
    PatternWindow x11(QStringLiteral("x11-active"), QRect(100, 300, 260, 170), 23,
                      QStringLiteral("xcb"));
    ASSERT_TRUE(wayland.shown() && x11.shown());
    const auto source = makeScreenSource();
    EXPECT_EQ(differenceOf(source->grabActiveWindow(), x11.content()), "");
    ASSERT_TRUE(wayland.focus());
    EXPECT_EQ(differenceOf(source->grabActiveWindow(), wayland.content()), "");
}

}  // namespace
