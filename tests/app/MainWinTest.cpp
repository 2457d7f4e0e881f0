// The main window after start-up, its URL commands, copy, open and exit.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "support/RealInput.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;

namespace {

const QString kViewUrl = QStringLiteral("http://127.0.0.1:8780/view.cgi?1A2b3C_-");

class MainWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        state = std::make_unique<AppState>(AppSeams{&desktop, test::buildProgramFolder(),
                                                    lockFolder.file(QStringLiteral("q.lock"))});
        win = std::make_unique<MainWin>(*state);
        ASSERT_TRUE(win->Form_Load());
        win->show();
    }
    void pressKey(QWidget* target, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    }
    bool urlCommandsEnabled(bool expected) {
        return win->URLCopyCmd->isEnabled() == expected &&
               win->CheckImgCmd->isEnabled() == expected &&
               win->URLCopyMenuCmd->isEnabled() == expected &&
               win->CheckImgMenuCmd->isEnabled() == expected;
    }

    test::TempFolder lockFolder;
    ScriptedDesktop desktop;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWin> win;
};

}  // namespace

TEST_F(MainWinTest, StartsWithNoResultAndFullScreenChosen) {
    EXPECT_EQ(win->windowTitle(), QStringLiteral("クイブロ  v1.3"));
    EXPECT_TRUE(win->URL->toPlainText().isEmpty());
    EXPECT_TRUE(urlCommandsEnabled(false));
    EXPECT_TRUE(win->QuibloType[0]->isChecked());
    EXPECT_TRUE(win->PosSelectMenuCmd[0]->isChecked());
    EXPECT_FALSE(win->PosSelectMenuCmd[1]->isChecked());
    EXPECT_FALSE(win->PosSelectMenuCmd[2]->isChecked());
    EXPECT_EQ(state->CaptureType, 1);
    EXPECT_FALSE(state->UploadFailed);
    EXPECT_FALSE(win->NoticeURL->isVisible());
    EXPECT_FALSE(win->NoticeTickerTimer->isActive());
    EXPECT_FALSE(win->TempPic->isVisible());
    EXPECT_EQ(win->TempPic->size(), screenPixelSize());
}

TEST_F(MainWinTest, ControlsStandWhereTheyWereDesigned) {
    // Designed 298 wide with frames of 266: ConfirmGuide's first line needs 384 pixels in this
    // font, so the frames widen by 138 and the client area by 136, keeping a 15-pixel margin.
    EXPECT_EQ(win->centralWidget()->size(), QSize(434, 473));
    EXPECT_EQ(win->Type1->geometry(), QRect(16, 120, 404, 81));
    EXPECT_EQ(win->Type2->geometry(), QRect(15, 208, 404, 81));
    EXPECT_EQ(win->Type3->geometry(), QRect(15, 296, 404, 133));
    EXPECT_EQ(win->QuibloCmd->geometry(), QRect(148, 0, 69, 33));
    EXPECT_EQ(win->DeleteCmd->geometry(), QRect(36, 440, 89, 21));
    EXPECT_EQ(win->URLCopyCmd->geometry(), QRect(156, 440, 105, 21));
    EXPECT_EQ(win->URL->geometry(), QRect(4, 48, 241, 33));
    // The notice frame surrounds the result frame by 50 twips (3 pixels) on every side.
    EXPECT_EQ(win->NoticeURL->geometry(), win->Type3->geometry().adjusted(-3, -3, 3, 3));
    // The exit button lies below the client area and is never seen.
    EXPECT_GE(win->ExitCmd->geometry().top(), win->centralWidget()->height());
    EXPECT_FALSE(win->isMaximized());
    EXPECT_FALSE(win->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(win->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(MainWinTest, CaptionsTooltipsAndMenusReadAsDesigned) {
    EXPECT_EQ(win->QuibloCmd->text(), QStringLiteral("クイブロ"));
    EXPECT_EQ(win->QuibloCmd->toolTip(), QStringLiteral("撮影ボタンです。"));
    EXPECT_EQ(win->CheckImgCmd->toolTip(), QStringLiteral("ブラウザで今の画像を確認します。"));
    EXPECT_EQ(win->URLCopyCmd->text(), QStringLiteral("URLをコピー(&C)"));
    EXPECT_EQ(win->Type1->title(), QStringLiteral("1.撮影範囲"));
    EXPECT_EQ(win->QuibloType[1]->text(),
              QStringLiteral("アクティブウィンドウ\n(一番手前のウィンドウ)"));

    const QList<QAction*> top = win->menuBar()->actions();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top[0]->text(), QStringLiteral("クイブロ(&P)"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("その他(&O)"));
    QStringList quiblo, other;
    for (QAction* a : win->QuibloMenu->actions())
        quiblo << (a->isSeparator() ? QStringLiteral("-")
                                    : a->text() + QLatin1Char(' ') + a->shortcut().toString());
    for (QAction* a : win->OtherMenu->actions())
        other << (a->isSeparator() ? QStringLiteral("-")
                                   : a->text() + QLatin1Char(' ') + a->shortcut().toString());
    EXPECT_EQ(quiblo,
              QStringList({"全画面(&A) F2", "アクティブウィンドウ(&W) F3", "任意指定(&S) F4", "-",
                           "クイブロ（撮影）(&P) F5", "-", "終了(&X)/(Esc) "}));
    EXPECT_EQ(other,
              QStringList({"URLをコピー(&C) F6", "アップロード画像を確認...(&O) F7",
                           "履歴の確認／転送した画像の削除...(&D) F8", "-", "高度な設定...(&S) F9",
                           "利用状況チェック(&K) ", "-", "バージョン情報(&V) "}));
}

TEST_F(MainWinTest, UrlCommandsFollowTheUrlText) {
    win->URL->setPlainText(kViewUrl);
    EXPECT_TRUE(urlCommandsEnabled(true));
    win->URL->setPlainText(QString());
    EXPECT_TRUE(urlCommandsEnabled(false));
    win->URL->setPlainText(kViewUrl);
    EXPECT_TRUE(urlCommandsEnabled(true));
    EXPECT_TRUE(win->URL->isReadOnly());
}

TEST_F(MainWinTest, CopyReplacesTheClipboardAndAlwaysConfirms) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("what was there before"));
    win->URL->setPlainText(kViewUrl);

    win->URLCopyCmd->click();
    EXPECT_EQ(clipboard->text(), kViewUrl);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text, QStringLiteral("URLがクリップボードへ転送されました。"));
    EXPECT_EQ(desktop.shownBoxes[0].title, QStringLiteral("確認"));
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(desktop.shownBoxes[0].buttons, MsgButtons::Ok);

    clipboard->setText(QStringLiteral("changed again"));
    win->URLCopyMenuCmd->trigger();  // the menu entry runs the button's handler
    EXPECT_EQ(clipboard->text(), kViewUrl);
    EXPECT_EQ(desktop.shownBoxes.size(), 2);
}

TEST_F(MainWinTest, OpenHandsTheUrlToTheDesktopOnly) {
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    win->URL->setPlainText(kViewUrl);
    win->CheckImgCmd->click();
    win->CheckImgMenuCmd->trigger();
    EXPECT_EQ(desktop.openedUrls, QList<QString>({kViewUrl, kViewUrl}));
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

TEST_F(MainWinTest, EnterOnACaptureOptionPressesTheCaptureButton) {
    QSignalSpy capture(win->QuibloCmd, &QPushButton::clicked);
    QSignalSpy copy(win->URLCopyCmd, &QPushButton::clicked);
    win->URL->setPlainText(kViewUrl);
    pressKey(win->QuibloType[2], Qt::Key_Return);
    EXPECT_EQ(capture.count(), 1);
    // On another button, Enter presses that button instead.
    pressKey(win->URLCopyCmd, Qt::Key_Return);
    EXPECT_EQ(capture.count(), 1);
    EXPECT_EQ(copy.count(), 1);
}

TEST_F(MainWinTest, EscEndsTheProgramLikeTheExitEntry) {
    pressKey(win->QuibloType[0], Qt::Key_Escape);
    EXPECT_FALSE(win->isVisible());

    win->show();
    win->ExitMenuCmd->trigger();
    EXPECT_FALSE(win->isVisible());
}

TEST_F(MainWinTest, ClosingTheMainWindowUnloadsEveryOtherWindow) {
    QWidget other;
    other.setWindowTitle(QStringLiteral("another window"));
    other.show();
    ASSERT_TRUE(other.isVisible());
    win->close();
    EXPECT_FALSE(win->isVisible());
    EXPECT_FALSE(other.isVisible());
}

TEST_F(MainWinTest, CommandsOpenTheirWindowsModally) {
    const std::pair<QAction*, const char*> commands[] = {
        {win->ManualDeleteMenuCmd, "DeleteWin"},
        {win->OpenSettingsWinMenuCmd, "SettingsWin"},
        {win->ShowVersionMenuCmd, "VersionWin"},
    };
    for (const auto& [entry, window] : commands) {
        bool opened = false;
        test::whenModalShown(QString::fromLatin1(window), [&](QWidget* shown) {
            opened = shown->parentWidget() == win.get();
            shown->close();
        });
        entry->trigger();
        EXPECT_TRUE(opened) << window;
    }
    bool opened = false;
    test::whenModalShown(QStringLiteral("DeleteWin"), [&](QWidget* shown) {
        opened = true;
        shown->close();
    });
    win->DeleteCmd->click();
    EXPECT_TRUE(opened);
}

// Tab walks only through controls a person can see; the unseen Exit button is never one, so
// Tab, Tab, ..., Space cannot end the program while the focus is invisible.
TEST_F(MainWinTest, TabNeverReachesTheUnseenExitButton) {
    win->URL->setPlainText(kViewUrl);  // every command enabled: the longest Tab round
    win->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win.get()));
    const QRect client = win->centralWidget()->rect();
    QSet<QWidget*> visited;
    for (int i = 0; i < 20; ++i) {
        ASSERT_NE(test::pressKey(Qt::Key_Tab), nullptr);
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        visited.insert(focused);
        EXPECT_NE(focused, win->ExitCmd) << "after Tab " << i + 1;
        const QRect shown(focused->mapTo(win->centralWidget(), QPoint(0, 0)), focused->size());
        EXPECT_TRUE(client.intersects(shown))
            << test::describe(focused).toStdString() << " has the focus out of sight";
    }
    EXPECT_TRUE(visited.contains(win->URLCopyCmd)) << "the Tab round is cut short";
    // Esc still presses it.
    test::pressKey(Qt::Key_Escape);
    EXPECT_FALSE(win->isVisible());
}
