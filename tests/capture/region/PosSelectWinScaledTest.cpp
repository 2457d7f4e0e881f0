// The region overlay on a screen with scale factor 2: the picture is shown pixel for pixel and
// every position is a device pixel of the picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "capture/PosSelectWin.h"
#include "platform/Translation.h"
#include "support/ScriptedDesktop.h"

using namespace quiblo;

namespace {

const QColor kPictureColour(20, 40, 90);
const QColor kMarkerColour(0, 200, 0);
const QColor kRed(255, 0, 0);
const QPoint kMarker(101, 51);

class ScaledScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        QScreen* screen = QGuiApplication::primaryScreen();
        ASSERT_EQ(screen->devicePixelRatio(), 2.0);
        QImage picture(screen->geometry().size() * 2, QImage::Format_RGB32);
        picture.fill(kPictureColour);
        picture.setPixelColor(kMarker, kMarkerColour);
        win = std::make_unique<PosSelectWin>(desktop, picture);
        win->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    }
    QImage shown() const { return win->grab().toImage(); }

    ScriptedDesktop desktop;
    std::unique_ptr<PosSelectWin> win;
};

}  // namespace

TEST_F(ScaledScreenTest, ThePictureIsShownPixelForPixel) {
    EXPECT_EQ(win->geometry(), QGuiApplication::primaryScreen()->geometry());
    const QImage image = shown();
    EXPECT_EQ(image.size(), win->size() * 2);
    EXPECT_EQ(image.pixelColor(kMarker), kMarkerColour);
    EXPECT_EQ(image.pixelColor(kMarker - QPoint(1, 0)), kPictureColour);
    EXPECT_EQ(image.pixelColor(kMarker + QPoint(0, 1)), kPictureColour);
}

TEST_F(ScaledScreenTest, PositionsLinesAndTheRangeAreInDevicePixels) {
    QTest::mousePress(win.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 60));
    QTest::mouseMove(win.get(), QPoint(150, 110));
    EXPECT_EQ(win->DebugPos->text(),
              QStringLiteral("範囲:(100,120) - (300,220) / サイズ: 200x100"));

    // One device pixel wide.
    const QImage image = shown();
    EXPECT_EQ(image.pixelColor(100, 150), kRed);
    EXPECT_EQ(image.pixelColor(101, 150), kPictureColour);
    EXPECT_EQ(image.pixelColor(300, 150), kRed);
    EXPECT_EQ(image.pixelColor(299, 150), kPictureColour);
    EXPECT_EQ(image.pixelColor(200, 120), kRed);
    EXPECT_EQ(image.pixelColor(200, 220), kRed);
    EXPECT_EQ(image.pixelColor(200, 221), kPictureColour);

    QTest::mouseRelease(win.get(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 110));
    QTest::mouseClick(win.get(), Qt::RightButton, Qt::NoModifier, QPoint(150, 110));
    EXPECT_EQ(win->result(), QDialog::Accepted);
    EXPECT_EQ(win->captureRect(), QRect(100, 120, 200, 100));
}

// The scale must be in place before the application starts.
int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quiblo::useLanguage(app, quiblo::Language::Japanese);  // the texts checked are Japanese
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
