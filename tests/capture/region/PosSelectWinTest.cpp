// The region overlay as the user meets it: synthesized mouse and keys on the window and on its
// labels, the questions answered by a scripted desktop.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "capture/PosSelectWin.h"
#include "support/ScriptedDesktop.h"

using namespace quiblo;

namespace {

const QColor kPictureColour(20, 40, 90);
const QColor kRed(255, 0, 0);
const QString kTooSmallText = QStringLiteral(
    "範囲が小さすぎです。10ピクセル四方以上を指定してください。\r\nキャンセルしますか？");
const QString kNotSelectedText = QStringLiteral("範囲選択されていません。\r\nキャンセルしますか？");

QImage screenPicture() {
    QImage picture(QGuiApplication::primaryScreen()->geometry().size(), QImage::Format_RGB32);
    picture.fill(kPictureColour);
    return picture;
}

// Records the areas the window repaints.
class PaintRecorder : public QObject {
public:
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

class PosSelectWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        win = std::make_unique<PosSelectWin>(desktop, screenPicture());
        win->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    }

    // Window positions as seen by the control the event is sent to.
    QPoint at(QWidget* target, QPoint windowPos) const {
        return target == win.get() ? windowPos : target->mapFrom(win.get(), windowPos);
    }
    void press(QWidget* target, Qt::MouseButton button, QPoint windowPos) {
        QTest::mousePress(target, button, Qt::NoModifier, at(target, windowPos));
    }
    void moveHeld(QWidget* target, QPoint windowPos) {
        QTest::mouseMove(target, at(target, windowPos));
    }
    void release(QWidget* target, Qt::MouseButton button, QPoint windowPos) {
        QTest::mouseRelease(target, button, Qt::NoModifier, at(target, windowPos));
    }
    void leftDrag(QPoint from, QPoint to) {
        press(win.get(), Qt::LeftButton, from);
        moveHeld(win.get(), to);
        release(win.get(), Qt::LeftButton, to);
    }
    void rightClick(QWidget* target, QPoint windowPos) {
        press(target, Qt::RightButton, windowPos);
        release(target, Qt::RightButton, windowPos);
    }
    QColor shownAt(QPoint pos) const { return win->grab().toImage().pixelColor(pos); }

    ScriptedDesktop desktop;
    std::unique_ptr<PosSelectWin> win;
};

}  // namespace

TEST_F(PosSelectWinTest, CoversTheScreenWithoutFrameAndCentresTheHelp) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(win->geometry(), screen);
    EXPECT_TRUE(win->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(win->cancelled());

    ASSERT_EQ(win->findChild<QWidget*>(QStringLiteral("ShapeWaku")), win->ShapeWaku);
    ASSERT_EQ(win->findChild<QLabel*>(QStringLiteral("Indication")), win->Indication);
    ASSERT_EQ(win->findChild<QLabel*>(QStringLiteral("DebugPos")), win->DebugPos);
    ASSERT_EQ(win->findChild<QWidget*>(QStringLiteral("ShapeBG")), win->ShapeBG);

    EXPECT_EQ(win->Indication->text(),
              QStringLiteral("[範囲選択] - ドラッグで範囲指定、右クリックで確定\n       "
                             "(スペースキーでこの説明文の表示切替)"));
    const QRect help = win->Indication->geometry();
    EXPECT_EQ(help.topLeft(),
              QPoint((screen.width() - help.width()) / 2, (screen.height() - help.height()) / 2));
    const QRect backdrop = win->ShapeBG->geometry();
    EXPECT_EQ(backdrop.size(), QSize(qRound(help.width() * 1.2), qRound(help.height() * 1.5)));
    EXPECT_EQ(backdrop.topLeft(), QPoint((screen.width() - backdrop.width()) / 2,
                                         (screen.height() - backdrop.height()) / 2));
    // 500 twips below the top of the help text.
    EXPECT_EQ(win->DebugPos->pos(), help.topLeft() + QPoint(0, 33));
    EXPECT_TRUE(win->DebugPos->text().isEmpty());
    EXPECT_EQ(win->ShapeWaku->geometry(), QRect(QPoint(0, 0), screen.size()));
}

TEST_F(PosSelectWinTest, ShowsThePictureWithARedFrameAlongTheScreenEdges) {
    const QImage shown = win->grab().toImage();
    const int right = shown.width() - 1, bottom = shown.height() - 1;
    for (QPoint edge :
         {QPoint(0, 100), QPoint(2, 100), QPoint(right, 100), QPoint(right - 2, 100),
          QPoint(100, 0), QPoint(100, 2), QPoint(100, bottom), QPoint(100, bottom - 2)})
        EXPECT_EQ(shown.pixelColor(edge), kRed) << edge.x() << "," << edge.y();
    for (QPoint inside :
         {QPoint(3, 100), QPoint(right - 3, 100), QPoint(100, 3), QPoint(100, bottom - 3)})
        EXPECT_EQ(shown.pixelColor(inside), kPictureColour) << inside.x() << "," << inside.y();
    // Yellow help text on black.
    const QImage help = win->Indication->grab().toImage();
    bool yellow = false;
    for (int y = 0; y < help.height() && !yellow; ++y)
        for (int x = 0; x < help.width() && !yellow; ++x)
            yellow = help.pixelColor(x, y) == QColor(Qt::yellow);
    EXPECT_TRUE(yellow);
    EXPECT_EQ(shownAt(win->ShapeBG->geometry().topLeft()), QColor(Qt::black));
}

TEST_F(PosSelectWinTest, ADragAndARightClickCloseWithTheRange) {
    leftDrag(QPoint(100, 200), QPoint(200, 250));
    rightClick(win.get(), QPoint(200, 250));
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(win->result(), QDialog::Accepted);
    EXPECT_FALSE(win->cancelled());
    EXPECT_EQ(win->captureRect(), QRect(100, 200, 100, 50));
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
}

TEST_F(PosSelectWinTest, ReversedDragClosesWithTheSameRange) {
    leftDrag(QPoint(200, 250), QPoint(100, 200));
    rightClick(win.get(), QPoint(50, 50));
    EXPECT_EQ(win->result(), QDialog::Accepted);
    EXPECT_EQ(win->captureRect(), QRect(100, 200, 100, 50));
}

TEST_F(PosSelectWinTest, MouseOverTheLabelsActsAsOverTheWindow) {
    const QPoint onHelp = win->Indication->geometry().center();
    const QPoint onReadOut = win->DebugPos->geometry().center();
    const QPoint onBackdrop = win->ShapeBG->geometry().topLeft() + QPoint(1, 1);
    ASSERT_GE(onReadOut.y() - onHelp.y(), 10);

    // Hovering: the pointer itself moves over a label.
    QTest::mouseMove(win->DebugPos, at(win->DebugPos, onReadOut));
    EXPECT_EQ(win->DebugPos->text(), RegionSelection::startText(onReadOut));

    press(win->Indication, Qt::LeftButton, onHelp);
    moveHeld(win->DebugPos, onReadOut);
    EXPECT_EQ(win->DebugPos->text(), RegionSelection::rangeText(onHelp, onReadOut));
    release(win->ShapeBG, Qt::LeftButton, onBackdrop);
    rightClick(win->DebugPos, onReadOut);

    EXPECT_EQ(win->result(), QDialog::Accepted);
    EXPECT_EQ(win->captureRect(), QRect(onBackdrop.x(), onBackdrop.y(), onHelp.x() - onBackdrop.x(),
                                        onHelp.y() - onBackdrop.y()));
}

TEST_F(PosSelectWinTest, ReadOutFollowsThePointer) {
    press(win.get(), Qt::LeftButton, QPoint(10, 20));
    moveHeld(win.get(), QPoint(110, 220));
    EXPECT_EQ(win->DebugPos->text(), QStringLiteral("範囲:(10,20) - (110,220) / サイズ: 100x200"));
    release(win.get(), Qt::LeftButton, QPoint(110, 220));
    EXPECT_EQ(win->DebugPos->text(),
              QStringLiteral("始点:(110,220) - (   ,   ) / サイズ:    x   "));
    // Moving with no button pressed (the pointer itself moves, as a person's would).
    QTest::mouseMove(win.get(), QPoint(300, 123));
    EXPECT_EQ(win->DebugPos->text(),
              QStringLiteral("始点:(300,123) - (   ,   ) / サイズ:    x   "));
}

TEST_F(PosSelectWinTest, TooSmallAsksWithNoAsDefaultAndNoKeepsTheMarks) {
    leftDrag(QPoint(100, 100), QPoint(109, 150));
    desktop.answers.enqueue(MsgAnswer::No);
    rightClick(win.get(), QPoint(109, 150));

    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    const MessageBoxRequest& box = desktop.shownBoxes[0];
    EXPECT_EQ(box.title, QStringLiteral("確認"));
    EXPECT_EQ(box.text, kTooSmallText);
    EXPECT_EQ(box.icon, MsgIcon::Question);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.defaultButton, MsgAnswer::No);

    EXPECT_TRUE(win->isVisible());
    EXPECT_FALSE(win->cancelled());
    EXPECT_EQ(shownAt(QPoint(100, 120)), kRed);
    EXPECT_EQ(shownAt(QPoint(109, 120)), kRed);

    // The user widens the range and confirms.
    leftDrag(QPoint(100, 100), QPoint(110, 150));
    rightClick(win.get(), QPoint(110, 150));
    EXPECT_EQ(win->result(), QDialog::Accepted);
    EXPECT_EQ(win->captureRect(), QRect(100, 100, 10, 50));
}

TEST_F(PosSelectWinTest, ClickWithoutMovementAsksTheTooSmallQuestionAndYesCancels) {
    press(win.get(), Qt::LeftButton, QPoint(300, 300));
    release(win.get(), Qt::LeftButton, QPoint(300, 300));
    desktop.answers.enqueue(MsgAnswer::Yes);
    rightClick(win.get(), QPoint(300, 300));

    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text, kTooSmallText);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(win->result(), QDialog::Rejected);
    EXPECT_TRUE(win->cancelled());
}

TEST_F(PosSelectWinTest, RightClickBeforeMarkingAsksWithYesAsDefault) {
    desktop.answers.enqueue(MsgAnswer::No);
    rightClick(win.get(), QPoint(300, 300));
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    const MessageBoxRequest& box = desktop.shownBoxes[0];
    EXPECT_EQ(box.title, QStringLiteral("確認"));
    EXPECT_EQ(box.text, kNotSelectedText);
    EXPECT_EQ(box.icon, MsgIcon::Question);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.defaultButton, MsgAnswer::Yes);
    EXPECT_TRUE(win->isVisible());
    EXPECT_FALSE(win->cancelled());

    // Answered with the default this time.
    rightClick(win.get(), QPoint(300, 300));
    ASSERT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_FALSE(win->isVisible());
    EXPECT_TRUE(win->cancelled());
}

TEST_F(PosSelectWinTest, LeftDragsDrawTheRangeAndRightDragsNothing) {
    press(win.get(), Qt::LeftButton, QPoint(100, 100));
    moveHeld(win.get(), QPoint(200, 150));
    const QImage dragging = win->grab().toImage();
    for (QPoint line : {QPoint(100, 100), QPoint(150, 100), QPoint(150, 150), QPoint(200, 150),
                        QPoint(100, 125), QPoint(200, 125)})
        EXPECT_EQ(dragging.pixelColor(line), kRed) << line.x() << "," << line.y();
    for (QPoint off :
         {QPoint(150, 125), QPoint(150, 99), QPoint(150, 151), QPoint(99, 125), QPoint(201, 125)})
        EXPECT_EQ(dragging.pixelColor(off), kPictureColour) << off.x() << "," << off.y();
    release(win.get(), Qt::LeftButton, QPoint(200, 150));

    // A right-button drag elsewhere leaves the marks as they were and draws nothing new.
    press(win.get(), Qt::RightButton, QPoint(300, 300));
    moveHeld(win.get(), QPoint(400, 400));
    const QImage afterRight = win->grab().toImage();
    EXPECT_EQ(afterRight.pixelColor(150, 100), kRed);
    EXPECT_EQ(afterRight.pixelColor(350, 300), kPictureColour);
    EXPECT_EQ(afterRight.pixelColor(300, 350), kPictureColour);
    desktop.answers.enqueue(MsgAnswer::No);
    release(win.get(), Qt::RightButton, QPoint(400, 400));

    // The next left drag replaces the old marks.
    press(win.get(), Qt::LeftButton, QPoint(300, 300));
    moveHeld(win.get(), QPoint(350, 350));
    const QImage next = win->grab().toImage();
    EXPECT_EQ(next.pixelColor(150, 100), kPictureColour);
    EXPECT_EQ(next.pixelColor(325, 300), kRed);
    release(win.get(), Qt::LeftButton, QPoint(350, 350));
}

TEST_F(PosSelectWinTest, ADragRepaintsOnlyTheLinesThatChange) {
    PaintRecorder recorder;
    win->installEventFilter(&recorder);
    press(win.get(), Qt::LeftButton, QPoint(100, 100));
    moveHeld(win.get(), QPoint(300, 400));
    QCoreApplication::processEvents();
    recorder.painted = QRegion();
    moveHeld(win.get(), QPoint(310, 410));
    QCoreApplication::processEvents();
    release(win.get(), Qt::LeftButton, QPoint(310, 410));

    // Old and new lines are repainted ...
    for (QPoint line : {QPoint(300, 250), QPoint(310, 250), QPoint(200, 400), QPoint(200, 410)})
        EXPECT_TRUE(recorder.painted.contains(line)) << line.x() << "," << line.y();
    // ... but not the picture between them.
    EXPECT_FALSE(recorder.painted.contains(QPoint(200, 250)));
    qint64 area = 0;
    for (const QRect& part : recorder.painted) area += qint64(part.width()) * part.height();
    EXPECT_LT(area, qint64(win->width()) * win->height() / 20);
}

TEST_F(PosSelectWinTest, SpaceTogglesHelpBackdropAndReadOutButNotTheFrame) {
    QTest::keyClick(win.get(), Qt::Key_Space);
    EXPECT_FALSE(win->Indication->isVisible());
    EXPECT_FALSE(win->ShapeBG->isVisible());
    EXPECT_FALSE(win->DebugPos->isVisible());
    EXPECT_TRUE(win->ShapeWaku->isVisible());

    QTest::keyClick(win.get(), Qt::Key_Space);
    EXPECT_TRUE(win->Indication->isVisible());
    EXPECT_TRUE(win->ShapeBG->isVisible());
    EXPECT_TRUE(win->DebugPos->isVisible());
    EXPECT_TRUE(win->ShapeWaku->isVisible());
}

TEST_F(PosSelectWinTest, OtherKeysDoNothing) {
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_A})
        QTest::keyClick(win.get(), key);
    EXPECT_TRUE(win->isVisible());
    EXPECT_FALSE(win->cancelled());
    EXPECT_TRUE(win->Indication->isVisible());
}

TEST(PosSelectWinModal, ExecReturnsOnceTheRangeIsConfirmed) {
    ScriptedDesktop desktop;
    PosSelectWin win(desktop, screenPicture());
    QTimer::singleShot(0, &win, [&win] {
        QTest::mousePress(&win, Qt::LeftButton, Qt::NoModifier, QPoint(40, 30));
        QTest::mouseMove(&win, QPoint(240, 130));
        QTest::mouseRelease(&win, Qt::LeftButton, Qt::NoModifier, QPoint(240, 130));
        QTest::mouseClick(&win, Qt::RightButton, Qt::NoModifier, QPoint(240, 130));
    });
    EXPECT_EQ(win.exec(), QDialog::Accepted);
    EXPECT_EQ(win.captureRect(), QRect(40, 30, 200, 100));
    EXPECT_FALSE(win.cancelled());
}
