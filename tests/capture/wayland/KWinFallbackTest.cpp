// Where KWin's screenshot interface is not on the bus (the sway session), the KWin screen source
// takes the portal's picture.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "../screen/ScreenPictures.h"
#include "../screen/XvfbDisplay.h"
#include "WaylandSession.h"
#include "capture/KWinScreenSource.h"
#include "capture/KWinScreenshot.h"

using namespace quiblo;
using namespace quiblo::test;

TEST(KWinScreenSource, WithoutKWinThePortalServes) {
    ASSERT_FALSE(kwinDesktop(QDBusConnection::sessionBus()));
    EXPECT_TRUE(dynamic_cast<PortalScreenSource*>(makeScreenSource().get())) << "not the portal";
    const QSize screen = QGuiApplication::primaryScreen()->size();
    PatternWindow window(QStringLiteral("kwin-fallback"), QRect(120, 90, 200, 150), 43);
    ASSERT_TRUE(window.shown());

    KWinScreenSource source;
    const QImage shot = source.grabScreen();
    EXPECT_EQ(source.lastFailure(), GrabFailure::None);
    EXPECT_EQ(differenceOf(shot, desktopPicture(screen, {&window})), "");
}
