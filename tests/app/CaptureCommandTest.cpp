// The capture command: type choice, the chain of windows, the clipboard, the failures and the
// notice blink. The screen is a scripted source; the windows are real.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <future>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "confirm/PreviewWin.h"
#include "platform/SingleInstance.h"
#include "support/ReferenceService.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;

namespace {

// A screen that hands out fixed pictures and notes when it was asked.
class ScriptedScreen : public ScreenSource {
public:
    bool available() const override { return true; }
    void prepare() override { preparedAt = clock.elapsed(); }
    QImage grabScreen() override {
        grabbedAt = clock.elapsed();
        return screen;
    }
    QImage grabActiveWindow() override {
        grabbedAt = clock.elapsed();
        return window;
    }

    QImage screen = test::patternPicture(640, 480);
    QImage window = test::patternPicture(200, 100);
    QElapsedTimer clock;
    qint64 preparedAt = -1;
    qint64 grabbedAt = -1;
};

class CaptureCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        screen.clock.start();
        ASSERT_TRUE(QFile::copy(test::buildProgramFolder() + QStringLiteral("/libimgctl.so"),
                                folder.file(QStringLiteral("libimgctl.so"))));
        start(&screen);
    }
    void start(ScreenSource* source) {
        AppSeams seams;
        seams.desktop = &desktop;
        seams.programFolder = folder.path();
        seams.instanceLockPath = folder.file(QStringLiteral("lock"));
        seams.screen = source;
        win.reset();
        state = std::make_unique<AppState>(seams);
        win = std::make_unique<MainWin>(*state);
        ASSERT_TRUE(win->Form_Load());
        win->show();
    }
    // Answers the confirmation window: notes its picture, then presses one of its buttons.
    void answerPreview(bool goAhead) {
        test::whenModalShown(QStringLiteral("PreviewWin"), [this, goAhead](QWidget* w) {
            auto* preview = static_cast<PreviewWin*>(w);
            previewShownAt = screen.clock.elapsed();
            previewPicture = preview->previewPicture();
            mainVisibleDuringPreview = win->isVisible();
            (goAhead ? preview->GoAheadCmd : preview->QuibloStopCmd)->click();
        });
    }

    test::TempFolder folder;
    ScriptedScreen screen;
    ScriptedDesktop desktop;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWin> win;
    QImage previewPicture;
    qint64 previewShownAt = -1;
    bool mainVisibleDuringPreview = false;
};

}  // namespace

TEST_F(CaptureCommandTest, TypeChoiceKeepsOptionsAndMenuInStep) {
    win->PosSelectMenuCmd[2]->trigger();
    EXPECT_EQ(state->CaptureType, 3);
    EXPECT_TRUE(win->QuibloType[2]->isChecked());
    EXPECT_FALSE(win->PosSelectMenuCmd[0]->isChecked());
    EXPECT_TRUE(win->PosSelectMenuCmd[2]->isChecked());

    win->QuibloType[1]->click();
    EXPECT_EQ(state->CaptureType, 2);
    EXPECT_TRUE(win->PosSelectMenuCmd[1]->isChecked());
    EXPECT_FALSE(win->PosSelectMenuCmd[2]->isChecked());

    // Choosing the checked entry again keeps it checked.
    win->PosSelectMenuCmd[1]->trigger();
    EXPECT_TRUE(win->PosSelectMenuCmd[1]->isChecked());
    EXPECT_EQ(state->CaptureType, 2);
}

TEST_F(CaptureCommandTest, FullScreenShowsTheWholeScreenAndKeepsTheClipboardText) {
    QGuiApplication::clipboard()->setText(QStringLiteral("text from before"));
    answerPreview(false);
    win->QuibloCmd->click();

    EXPECT_EQ(previewPicture, screen.screen);
    EXPECT_TRUE(mainVisibleDuringPreview);
    EXPECT_EQ(state->CaptureRect.Width, 640);
    EXPECT_EQ(state->CaptureRect.Height, 480);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("text from before"));
    EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_RGB32),
              screen.screen);
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
    EXPECT_EQ(win->CaptureStep, 12);
}

TEST_F(CaptureCommandTest, EmptyClipboardTextIsNotWrittenBack) {
    QGuiApplication::clipboard()->clear();
    answerPreview(false);
    win->QuibloCmd->click();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->hasText());
    EXPECT_TRUE(data->hasImage());
}

TEST_F(CaptureCommandTest, ActiveWindowIsShownWholeFromTheCorner) {
    win->QuibloType[1]->click();
    answerPreview(false);
    win->QuibloCmd->click();
    EXPECT_EQ(previewPicture, screen.window);
    EXPECT_EQ(state->CaptureRect.Left, 0);
    EXPECT_EQ(state->CaptureRect.Top, 0);
    EXPECT_EQ(state->CaptureRect.Width, 200);
    EXPECT_EQ(state->CaptureRect.Height, 100);
}

TEST_F(CaptureCommandTest, TheWaitIsSleptBeforeAndAfterTheGrab) {
    folder.write(QStringLiteral("Quiblo.ini"), "[Quiblo]\r\nWait=300\r\n");
    answerPreview(false);
    win->QuibloCmd->click();
    ASSERT_GE(screen.preparedAt, 0);
    EXPECT_GE(screen.grabbedAt - screen.preparedAt, 290);
    EXPECT_GE(previewShownAt - screen.grabbedAt, 300);
}

TEST_F(CaptureCommandTest, NoActiveWindowGivesTheWindowMessageAndNoPreview) {
    screen.window = QImage();
    win->QuibloType[1]->click();
    state->UploadFailed = false;
    win->QuibloCmd->click();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(
        desktop.shownBoxes[0].text,
        QStringLiteral("画面キャプチャーに失敗しました。\r\n対象ウィンドウがあるかチェックして、"
                       "\r\nもう一度やり直してください。"));
    EXPECT_EQ(desktop.shownBoxes[0].title, QStringLiteral("エラー"));
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(win->isVisible());
    EXPECT_TRUE(previewPicture.isNull());
    EXPECT_FALSE(win->NoticeTickerTimer->isActive());
    EXPECT_FALSE(state->UploadFailed);
}

TEST_F(CaptureCommandTest, FailedScreenGrabGivesTheShortMessage) {
    screen.screen = QImage();
    win->QuibloCmd->click();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text,
              QStringLiteral("画面キャプチャーに失敗しました。\r\nもう一度やり直してください。"));
}

TEST_F(CaptureCommandTest, NoScreenSourceEndsTheProgramWithTheVersionMessage) {
    NullScreenSource none;
    start(&none);
    // The program's own loop must end, although the window closes while hidden.
    QTimer::singleShot(0, win->QuibloCmd, &QPushButton::click);
    QTimer stuck;
    stuck.setSingleShot(true);
    QObject::connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    stuck.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the program went on without a window";
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text, QStringLiteral("OSバージョンの取得に失敗しました。"));
    EXPECT_EQ(desktop.shownBoxes[0].title, QStringLiteral("エラー"));
    EXPECT_FALSE(win->isVisible());
}

TEST_F(CaptureCommandTest, OversizedPictureIsAnOverflowReportedWithItsStep) {
    screen.screen = QImage(40000, 1, QImage::Format_RGB32);
    win->QuibloCmd->click();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text,
              QStringLiteral("エラーが発生しました。\r\nエラーコード:6\r\nエラーの詳細:"
                             "オーバーフローしました。\r\nエラー位置:4"));
    EXPECT_TRUE(win->isVisible());
}

TEST_F(CaptureCommandTest, StoppedChainDoesNotBlink) {
    answerPreview(false);
    win->QuibloCmd->click();
    EXPECT_TRUE(state->UploadFailed);
    EXPECT_FALSE(win->NoticeTickerTimer->isActive());
    EXPECT_FALSE(win->NoticeURL->isVisible());
}

TEST_F(CaptureCommandTest, FinishedChainBlinksFiveTimesAndEndsHidden) {
    test::ReferenceService service;
    ASSERT_TRUE(service.started());
    test::ScopedEnv host("QUIBLO_SERVICE_HOST", service.host().toUtf8());
    test::ScopedEnv ftp("QUIBLO_FTP_PORT", QByteArray::number(service.ftpPort()));
    answerPreview(true);
    win->QuibloCmd->click();
    ASSERT_FALSE(state->UploadFailed) << desktop.shownBoxes.value(0).text.toStdString();
    EXPECT_TRUE(win->URL->toPlainText().startsWith(QStringLiteral("http://") + service.host()));
    ASSERT_TRUE(win->NoticeTickerTimer->isActive());
    EXPECT_EQ(win->NoticeTickerTimer->interval(), 500);
    EXPECT_EQ(win->BlinkCount, 0);

    QList<bool> shown;
    for (int tick = 0; tick < 10; ++tick) {
        win->NoticeTickerTimer_Timer();
        shown << win->NoticeURL->isVisible();
    }
    EXPECT_EQ(shown,
              QList<bool>({true, false, true, false, true, false, true, false, true, false}));
    EXPECT_FALSE(win->NoticeTickerTimer->isActive());
}

TEST_F(CaptureCommandTest, NewStartDuringABlinkGivesTenMoreTicks) {
    win->startNoticeBlink();
    for (int tick = 0; tick < 3; ++tick) win->NoticeTickerTimer_Timer();
    EXPECT_TRUE(win->NoticeURL->isVisible());
    win->startNoticeBlink();
    for (int tick = 0; tick < 9; ++tick) win->NoticeTickerTimer_Timer();
    EXPECT_TRUE(win->NoticeTickerTimer->isActive());
    win->NoticeTickerTimer_Timer();
    EXPECT_FALSE(win->NoticeTickerTimer->isActive());
    EXPECT_EQ(win->BlinkCount, 10);
    // It toggles on from where it stood (shown after 3 ticks), yet still ends hidden.
    EXPECT_FALSE(win->NoticeURL->isVisible());
}

TEST_F(CaptureCommandTest, MarkedRegionIsWhatTheConfirmationShows) {
    win->PosSelectMenuCmd[2]->trigger();
    test::whenModalShown(QStringLiteral("PosSelectWin"), [](QWidget* overlay) {
        QTest::mousePress(overlay, Qt::LeftButton, Qt::NoModifier, QPoint(40, 30));
        QTest::mouseMove(overlay, QPoint(240, 130));
        QTest::mouseRelease(overlay, Qt::LeftButton, Qt::NoModifier, QPoint(240, 130));
        QTest::mouseClick(overlay, Qt::RightButton, Qt::NoModifier, QPoint(240, 130));
    });
    answerPreview(false);
    win->QuibloCmd->click();
    EXPECT_EQ(state->CaptureRect.Left, 40);
    EXPECT_EQ(state->CaptureRect.Top, 30);
    EXPECT_EQ(state->CaptureRect.Width, 200);
    EXPECT_EQ(state->CaptureRect.Height, 100);
    EXPECT_EQ(previewPicture, screen.screen.copy(40, 30, 200, 100));
}

TEST_F(CaptureCommandTest, GivingUpTheRegionEndsTheChainQuietly) {
    win->PosSelectMenuCmd[2]->trigger();
    state->UploadFailed = false;
    test::whenModalShown(QStringLiteral("PosSelectWin"), [](QWidget* overlay) {
        QTest::mouseClick(overlay, Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
    });
    win->QuibloCmd->click();  // the question "範囲選択されていません。" is answered Yes
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_TRUE(desktop.shownBoxes[0].text.startsWith(QStringLiteral("範囲選択されていません。")));
    EXPECT_TRUE(state->RegionCancelled);
    EXPECT_TRUE(previewPicture.isNull()) << "a confirmation window was opened";
    EXPECT_FALSE(state->UploadFailed);
    EXPECT_FALSE(win->NoticeTickerTimer->isActive());
    EXPECT_TRUE(win->isVisible());
}

// A later start (a desktop shortcut) hands its capture to this copy over the socket.
namespace {

HandOver sendFromLaterStart(const QString& lockPath, const QString& request) {
    auto sent = std::async(std::launch::async, [=] {
        return handToRunningCopy(InstanceLock::socketPathFor(lockPath), request, 5000);
    });
    while (sent.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return sent.get();
}

}  // namespace

TEST_F(CaptureCommandTest, CaptureHandedOverByALaterStartRunsWithItsType) {
    answerPreview(false);
    EXPECT_EQ(
        sendFromLaterStart(folder.file(QStringLiteral("lock")), QStringLiteral("capture window")),
        HandOver::Taken);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !previewPicture.isNull(); }, 5000))
        << "no confirmation window";
    EXPECT_EQ(previewPicture, screen.window);
    EXPECT_EQ(state->CaptureType, 2);
    EXPECT_TRUE(win->PosSelectMenuCmd[1]->isChecked());
}

TEST_F(CaptureCommandTest, HandedOverCaptureIsRefusedWhileAWindowIsOpen) {
    HandOver answer = HandOver::NoCopy;
    test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* w) {
        answer = sendFromLaterStart(folder.file(QStringLiteral("lock")),
                                    QStringLiteral("capture region"));
        static_cast<PreviewWin*>(w)->QuibloStopCmd->click();
    });
    win->QuibloCmd->click();
    EXPECT_EQ(answer, HandOver::Busy);
    EXPECT_EQ(state->CaptureType, 1) << "the refused request changed the type";
    EXPECT_EQ(
        sendFromLaterStart(folder.file(QStringLiteral("lock")), QStringLiteral("capture nothing")),
        HandOver::Busy);
}
