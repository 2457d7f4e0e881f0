// One X screen of 2560x1024 split into two RandR monitors, the right one primary: "the screen"
// of the program is that monitor, for the full-screen caption, the full-screen capture, the
// region overlay and the place where windows open.
#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "MainWinOnDesktop.h"
#include "app/AppState.h"
#include "app/MainWin.h"
#include "capture/ScreenSource.h"
#include "confirm/PreviewWin.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"
#include "support/WindowManagerSession.h"

using namespace quiblo;

namespace {

const QRect kPrimary(1280, 0, 1280, 1024);

class MainWinMonitorsTest : public test::MainWinOnDesktop {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), kPrimary)
            << "the test runs on two monitors, the right one primary";
        session().display().showOnRoot(desktopPicture);
        ASSERT_NO_FATAL_FAILURE(startMainWin());
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == win.get(); }));
    }
    static void expectCentredOnThePrimaryMonitor(QWidget* window) {
        const QPoint centre = window->frameGeometry().center();
        EXPECT_NEAR(centre.x(), kPrimary.center().x(), 4) << window->objectName().toStdString();
        EXPECT_NEAR(centre.y(), kPrimary.center().y(), 30) << window->objectName().toStdString();
    }

    QImage desktopPicture = test::patternPicture(2560, 1024);
};

}  // namespace

TEST_F(MainWinMonitorsTest, CaptionAndMainWindowUseThePrimaryMonitor) {
    EXPECT_EQ(win->QuibloType[0]->text(), QStringLiteral("全画面(1280x1024)"));
    expectCentredOnThePrimaryMonitor(win.get());
}

// F5 with the full-screen type: the picture is the primary monitor's, and the confirmation opens
// in its middle.
TEST_F(MainWinMonitorsTest, FullScreenCaptureIsThePrimaryMonitor) {
    QImage confirmed;
    test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* w) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        expectCentredOnThePrimaryMonitor(w);
        confirmed = static_cast<PreviewWin*>(w)->previewPicture();
        w->close();
    });
    key("F5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !confirmed.isNull(); }, 10000))
        << desktop.shownBoxes.value(0).text.toStdString();
    ASSERT_EQ(confirmed.size(), kPrimary.size());
    // The main window is hidden while the picture is taken: what shows is the desktop.
    EXPECT_EQ(confirmed, desktopPicture.copy(kPrimary)) << "not the primary monitor's picture";
}

// The region overlay covers the primary monitor and marks in its pixels.
TEST_F(MainWinMonitorsTest, RegionOverlayCoversThePrimaryMonitor) {
    key("F4");
    ASSERT_TRUE(QTest::qWaitFor([&] { return state->CaptureType == 3; }, 3000));
    QRect overlay;
    test::whenModalShown(QStringLiteral("PosSelectWin"), [&](QWidget* w) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        overlay = w->frameGeometry();
        // The right button with nothing marked: given up.
        session().xdotool({QStringLiteral("mousemove"), QStringLiteral("1900"),
                           QStringLiteral("500"), QStringLiteral("click"), QStringLiteral("3")});
        QTimer::singleShot(5000, w, &QWidget::close);  // the test fails, but never hangs
    });
    key("F5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return state->RegionCancelled; }, 10000));
    EXPECT_EQ(overlay, kPrimary);
}
