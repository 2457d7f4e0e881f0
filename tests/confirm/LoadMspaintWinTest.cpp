// The drawing step: the editor on the work file, and nothing closes the window while it runs.
#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "confirm/LoadMspaintWin.h"
#include "support/ReferenceService.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;

namespace {

class LoadMspaintWinTest : public ::testing::Test {
protected:
    void SetUp() override { folder.write(QStringLiteral("tmp_1.png"), "prepared"); }
    QString work() const { return folder.file(QStringLiteral("tmp_1.png")); }

    test::TempFolder folder;
    ScriptedDesktop desktop;
};

}  // namespace

TEST_F(LoadMspaintWinTest, EditorRunsOnTheWorkFileAndTheWindowWaitsForItsEnd) {
    // An editor that takes a while, then saves its work over the file.
    folder.write(QStringLiteral("editor.sh"), "#!/bin/sh\nsleep 0.5\nprintf edited > \"$1\"\n");
    QFile::setPermissions(folder.file(QStringLiteral("editor.sh")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    test::ScopedEnv editor("QUIBLO_PAINT_COMMAND",
                           folder.file(QStringLiteral("editor.sh")).toUtf8());

    LoadMspaintWin win(desktop, QStringLiteral("\"") + work() + QStringLiteral("\""));
    QString statusWhileDrawing;
    bool stillOpen = false;
    // While the editor runs, neither the cancel button nor a close request ends the window.
    QTimer::singleShot(200, [&] {
        statusWhileDrawing = win.Status->text();
        win.CancelCmd->click();
        win.close();
        win.reject();
        stillOpen = win.isVisible();
    });
    QTimer::singleShot(0, [&] { win.SendMspaintCmd->click(); });
    const int result = win.exec();

    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(statusWhileDrawing,
              QStringLiteral("お絵かき中！\nペイントが終了すると自動的に送信を開始します。"));
    EXPECT_EQ(folder.read(QStringLiteral("tmp_1.png")), QByteArray("edited"))
        << "the window closed before the editor had saved";
    ASSERT_EQ(desktop.startedPrograms.size(), 1);
    EXPECT_EQ(desktop.startedPrograms[0].arguments, QStringList({work()}))
        << "the path is handed over whole, without its quotes, as one argument";
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
}

TEST_F(LoadMspaintWinTest, EditorThatCannotStartGivesOneMessageAndCancelStillSends) {
    test::ScopedEnv editor("QUIBLO_PAINT_COMMAND", "/no/such/editor");
    LoadMspaintWin win(desktop, work());
    QTimer::singleShot(0, [&] {
        win.SendMspaintCmd->click();
        win.CancelCmd->click();
    });
    EXPECT_EQ(win.exec(), QDialog::Rejected);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].title, QStringLiteral("エラー"));
    EXPECT_TRUE(desktop.shownBoxes[0].text.startsWith(
        QStringLiteral("エラーが発生しました。\r\nエラーコード:53\r\nエラーの詳細:")));
    EXPECT_FALSE(win.SendMspaintCmd->isEnabled());
    EXPECT_EQ(folder.read(QStringLiteral("tmp_1.png")), QByteArray("prepared"));
}

TEST_F(LoadMspaintWinTest, CancelRightAwayStartsNoEditor) {
    LoadMspaintWin win(desktop, work());
    QTimer::singleShot(0, [&] { win.CancelCmd->click(); });
    EXPECT_EQ(win.exec(), QDialog::Rejected);
    EXPECT_TRUE(desktop.startedPrograms.isEmpty());
    EXPECT_EQ(win.windowTitle(), QStringLiteral("クイブロ - お絵かきモード"));
    EXPECT_EQ(win.size(), QSize(312, 114));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(win.pos(), QPoint(screen.left() + (screen.width() - 312) / 2,
                                screen.top() + (screen.height() - 114) / 2))
        << "the window does not open centred";
    EXPECT_TRUE(win.SendMspaintCmd->isDefault());
}
