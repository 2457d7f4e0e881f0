// The portal screen source in a session of two outputs side by side (1280x720, then 640x480 to
// its right; sway cannot take an output away again, so this session is one of its own): the
// full screen is the primary output only, and the active window is cut from either output.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "../screen/XvfbDisplay.h"
#include "WaylandSession.h"
#include "capture/PortalScreenSource.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const QSize kPrimary(1280, 720);

TEST(PortalScreenSourceOnTwoOutputs, FullScreenIsThePrimaryOnlyAndAWindowComesFromEither) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(QPoint(0, 0), kPrimary));
    PatternWindow left(QStringLiteral("two-left"), QRect(40, 30, 200, 150), 3);
    PatternWindow right(QStringLiteral("two-right"), QRect(1400, 100, 320, 240), 4);
    ASSERT_TRUE(left.shown() && right.shown());

    PortalScreenSource source;
    EXPECT_EQ(differenceOf(source.grabScreen(), desktopPicture(kPrimary, {&left, &right})), "");
    // The focused window (the last one shown) on the second output.
    EXPECT_EQ(differenceOf(source.grabActiveWindow(), right.content()), "");
    ASSERT_TRUE(left.focus());
    EXPECT_EQ(differenceOf(source.grabActiveWindow(), left.content()), "");
}

}  // namespace
