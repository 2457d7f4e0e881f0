// The advanced settings window: the capture wait it shows and stores, and the cleaning of
// left-over work files.
#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <memory>

#include "settings/LanguageSetting.h"
#include "settings/SettingsWin.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"
#include "support/UserFaults.h"

using namespace quiblo;

namespace {

const QString kIni = QStringLiteral("Quiblo.ini");

class SettingsWinTest : public ::testing::Test {
protected:
    void store(const QByteArray& wait) { folder.write(kIni, "[Quiblo]\r\nWait=" + wait + "\r\n"); }
    QByteArray stored() const { return folder.read(kIni); }
    // Opens the window as the main window does: anew, from the stored setting.
    SettingsWin& open(const QString& programFolder = QString()) {
        win = std::make_unique<SettingsWin>(
            desktop, programFolder.isEmpty() ? folder.path() : programFolder);
        win->show();
        return *win;
    }
    QString shown() const { return win->QuibloWaitTime->text(); }

    test::TempFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<SettingsWin> win;
};

}  // namespace

TEST_F(SettingsWinTest, LaysOutItsControlsAsDesigned) {
    open();
    EXPECT_EQ(win->windowTitle(), QStringLiteral("クイブロ - 高度な設定"));
    // Designed 347 wide: the introduction's one designed line needs 552 pixels in this font.
    EXPECT_EQ(win->size(), QSize(584, 423));
    EXPECT_FALSE(win->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(win->CleanTmpFileCmd->text(), QStringLiteral("クリーニング(&C)"));
    EXPECT_EQ(win->CleanTmpFileCmd->geometry(), QRect(31, 112, 285, 21));
    EXPECT_EQ(win->Label3->text(),
              QStringLiteral("・正常に削除されなかった作業ファイル(tmp_***.png)の削除"));
    EXPECT_EQ(win->Label4->text(),
              QStringLiteral("・撮影時のウェイト時間 (デフォルト100ms)\n"
                             "　(画像にクイブロの残影が残ってしまう場合、長めにする)"));
    EXPECT_EQ(win->QuibloWaitTime->geometry(), QRect(132, 180, 35, 18));
    EXPECT_EQ(win->QuibloWaitTimeUD->geometry(), QRect(167, 180, 17, 18));
    EXPECT_EQ(win->Label5->text(), QStringLiteral("ms"));
    EXPECT_EQ(win->CloseCmd->text(), QStringLiteral("閉じる(&C)"));
    EXPECT_EQ(win->Label6->text(),
              QStringLiteral("・アップロード先のサーバー (例: example.com:8780)"));
    EXPECT_EQ(win->ServiceHost->accessibleName(), QStringLiteral("アップロード先のサーバー"));
    EXPECT_EQ(win->Label7->text(), QStringLiteral("FTP ポート"));
    EXPECT_EQ(win->FtpPort->accessibleName(), QStringLiteral("FTP ポート"));
    EXPECT_EQ(win->ServiceHost->geometry(), QRect(31, 230, 179, 18));
    EXPECT_EQ(win->FtpPort->geometry(), QRect(287, 230, 42, 18));
    // The port's caption sits between the two boxes with the window's spacing on both sides.
    EXPECT_GE(win->Label7->geometry().left() - win->ServiceHost->geometry().right(), 6);
    EXPECT_GE(win->FtpPort->geometry().left() - win->Label7->geometry().right(), 6);
    EXPECT_EQ(win->UploadKey->accessibleName(), QStringLiteral("アップロードキー"));
    EXPECT_EQ(win->UploadKey->echoMode(), QLineEdit::Password);
    EXPECT_EQ(win->UploadKey->geometry().left(), win->ServiceHost->geometry().left());
    EXPECT_EQ(win->UploadKey->geometry().right(), win->FtpPort->geometry().right());
    EXPECT_GE(win->UploadKey->geometry().top() - win->Label8->geometry().bottom(), 2);
    EXPECT_EQ(win->Label9->text(), QStringLiteral("・保存期間 (サーバーに画像を残す期間)"));
    EXPECT_EQ(win->Lifetime->geometry(), QRect(31, 318, 179, 20));
    EXPECT_GE(win->Lifetime->geometry().top() - win->Label9->geometry().bottom(), 2);
    EXPECT_EQ(win->CloseCmd->text(), QStringLiteral("閉じる(&C)"));
    EXPECT_EQ(win->Label10->text(), QStringLiteral("・言語 / Language"));
    EXPECT_EQ(win->Language->geometry(), QRect(31, 362, 179, 20));
    EXPECT_EQ(win->Label11->text(), QStringLiteral("次回の起動から有効"));
    EXPECT_GE(win->CloseCmd->geometry().top() - win->Language->geometry().bottom(), 10);
    EXPECT_EQ(win->CloseCmd->geometry(), QRect(244, 392, 85, 21));
}

TEST_F(SettingsWinTest, ShowsTheStoredWaitOr100) {
    open();
    EXPECT_EQ(shown(), QStringLiteral("100")) << "no settings file";
    for (const char* value : {"700", "1000", "100"}) {
        store(value);
        open();
        EXPECT_EQ(shown(), QString::fromLatin1(value));
        EXPECT_EQ(win->QuibloWaitTimeUD->value(), QByteArray(value).toInt());
    }
    for (const char* value : {"750", "250", "abc", "1100", "50", "0", "-200"}) {
        store(value);
        open();
        EXPECT_EQ(shown(), QStringLiteral("100")) << value;
    }
}

TEST_F(SettingsWinTest, UpDownStepsByHundredWithin100To1000) {
    open();
    win->QuibloWaitTimeUD->downButton->click();
    EXPECT_EQ(shown(), QStringLiteral("100"));
    QStringList seen;
    for (int i = 0; i < 10; ++i) {
        win->QuibloWaitTimeUD->upButton->click();
        seen << shown();
    }
    EXPECT_EQ(seen, QStringList(
                        {"200", "300", "400", "500", "600", "700", "800", "900", "1000", "1000"}));
    win->QuibloWaitTimeUD->downButton->click();
    EXPECT_EQ(shown(), QStringLiteral("900"));
    EXPECT_EQ(win->QuibloWaitTimeUD->value(), 900);
}

TEST_F(SettingsWinTest, TextCannotBeTypedButArrowKeysStep) {
    store("500");
    open();
    EXPECT_TRUE(win->QuibloWaitTime->isReadOnly());
    QTest::keyClicks(win->QuibloWaitTime, QStringLiteral("9"));
    QTest::keyClick(win->QuibloWaitTime, Qt::Key_Backspace);
    EXPECT_EQ(shown(), QStringLiteral("500"));
    QTest::keyClick(win->QuibloWaitTime, Qt::Key_Up);
    EXPECT_EQ(shown(), QStringLiteral("600"));
    QTest::keyClick(win->QuibloWaitTimeUD, Qt::Key_Down);
    QTest::keyClick(win->QuibloWaitTimeUD, Qt::Key_Down);
    EXPECT_EQ(shown(), QStringLiteral("400"));
}

namespace {

// One notch of the mouse wheel (away from the user when up) over a point of the screen,
// delivered to whatever widget is there as the window system delivers it: a widget that does not
// take the wheel hands it on to its parent.
void wheelAt(const QPoint& global, bool up) {
    QWidget* target = QApplication::widgetAt(global);
    ASSERT_NE(target, nullptr) << "nothing on the screen there";
    QWheelEvent notch(target->mapFromGlobal(QPointF(global)), QPointF(global), QPoint(),
                      QPoint(0, up ? 120 : -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QSpontaneKeyEvent::setSpontaneous(&notch);
    qApp->notify(target, &notch);  // sendEvent would take the spontaneity away
}

QPoint centreOf(const QWidget* widget) {
    return widget->mapToGlobal(widget->rect().center());
}

}  // namespace

// Turning the wheel away from you raises the wait, towards you lowers it, over the text box
// and over the arrows alike.
TEST_F(SettingsWinTest, MouseWheelStepsTheWaitUpAndDown) {
    store("500");
    open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    wheelAt(centreOf(win->QuibloWaitTime), true);
    EXPECT_EQ(shown(), QStringLiteral("600"));
    wheelAt(centreOf(win->QuibloWaitTimeUD->upButton), true);
    EXPECT_EQ(shown(), QStringLiteral("700"));
    wheelAt(centreOf(win->QuibloWaitTimeUD->downButton), false);
    wheelAt(centreOf(win->QuibloWaitTime), false);
    wheelAt(centreOf(win->QuibloWaitTime), false);
    EXPECT_EQ(shown(), QStringLiteral("400"));
    win->CloseCmd->click();
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=400\r\n"));
}

TEST_F(SettingsWinTest, CloseCmdCreatesTheFileWithTheChosenWait) {
    open();
    win->CloseCmd->click();
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=100\r\n"));
    EXPECT_FALSE(win->isVisible());

    open();
    win->QuibloWaitTimeUD->upButton->click();
    win->QuibloWaitTimeUD->upButton->click();
    win->CloseCmd->click();
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=300\r\n"));
    EXPECT_EQ(win->result(), QDialog::Accepted);
}

TEST_F(SettingsWinTest, EscStoresLikeCloseCmdAlsoFromTheTextBox) {
    store("200");
    open();
    win->QuibloWaitTimeUD->upButton->click();
    QTest::keyClick(win.get(), Qt::Key_Escape);
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=300\r\n"));
    EXPECT_FALSE(win->isVisible());

    open();
    win->QuibloWaitTimeUD->upButton->click();
    QTest::keyClick(win->QuibloWaitTime, Qt::Key_Escape);
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=400\r\n"));
    EXPECT_FALSE(win->isVisible());
}

TEST_F(SettingsWinTest, TitleBarCloseStoresNothing) {
    open();
    win->QuibloWaitTimeUD->upButton->click();
    EXPECT_TRUE(win->close());
    EXPECT_FALSE(QFile::exists(folder.file(kIni))) << "no file is created";

    store("500");
    open();
    win->QuibloWaitTimeUD->upButton->click();
    EXPECT_TRUE(win->close());
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=500\r\n"));
    open();
    EXPECT_EQ(shown(), QStringLiteral("500")) << "the next opening starts from the stored value";
}

TEST_F(SettingsWinTest, CleaningDeletesOnlyWorkFilesOfTheProgramFolder) {
    const QStringList workFiles = {"tmp_123456789012345678.png", "tmp_1.png", "tmp_.png",
                                   "tmp_a b.png"};
    const QStringList otherFiles = {"tmp_1.png.bak", "xtmp_1.png", "tmp_1.jpg",
                                    "tmp1.png",      "Quiblo.ini", "Quiblo.dat"};
    for (const QString& name : workFiles + otherFiles) folder.write(name, "x");
    QDir dir(folder.path());
    ASSERT_TRUE(dir.mkpath(QStringLiteral("tmp_folder.png")));
    folder.write(QStringLiteral("tmp_folder.png/tmp_2.png"), "x");
    ASSERT_TRUE(dir.mkpath(QStringLiteral("sub")));
    folder.write(QStringLiteral("sub/tmp_3.png"), "x");
    // A link named like a work file, pointing at a file outside: neither is touched.
    test::TempFolder outside;
    outside.write(QStringLiteral("tmp_9.png"), "keep");
    ASSERT_TRUE(QFile::link(outside.file(QStringLiteral("tmp_9.png")),
                            folder.file(QStringLiteral("tmp_link.png"))));

    open();
    win->CleanTmpFileCmd->click();

    for (const QString& name : workFiles)
        EXPECT_FALSE(QFile::exists(folder.file(name))) << name.toStdString();
    for (const QString& name : otherFiles)
        EXPECT_TRUE(QFile::exists(folder.file(name))) << name.toStdString();
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("tmp_folder.png/tmp_2.png"))));
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("sub/tmp_3.png"))));
    EXPECT_TRUE(QFileInfo(folder.file(QStringLiteral("tmp_link.png"))).isSymLink());
    EXPECT_EQ(outside.read(QStringLiteral("tmp_9.png")), QByteArray("keep"));

    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    const MessageBoxRequest& box = desktop.shownBoxes[0];
    EXPECT_EQ(box.title, QStringLiteral("情報"));
    EXPECT_EQ(box.text, QStringLiteral("クリーニング作業は完了しました。"));
    EXPECT_EQ(box.icon, MsgIcon::Information);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_TRUE(win->isVisible()) << "the window stays open";
}

TEST_F(SettingsWinTest, CleaningWithNothingLeftOverCompletes) {
    folder.write(QStringLiteral("Quiblo.dat"), "x");
    open();
    win->CleanTmpFileCmd->click();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text, QStringLiteral("クリーニング作業は完了しました。"));
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("Quiblo.dat"))));
}

// The pictures kept for the history go with the entries they belonged to.
TEST_F(SettingsWinTest, CleaningRemovesThePicturesOfEntriesNoLongerInTheHistory) {
    folder.write(QStringLiteral("Quiblo.dat"), "111111111111111111,20261210120000\r\n");
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("thumbs")));
    folder.write(QStringLiteral("thumbs/111111111111111111.png"), "listed");
    folder.write(QStringLiteral("thumbs/222222222222222222.png"), "deleted meanwhile");
    open();
    win->CleanTmpFileCmd->click();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text, QStringLiteral("クリーニング作業は完了しました。"));
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("thumbs/111111111111111111.png"))));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("thumbs/222222222222222222.png"))));
}

TEST_F(SettingsWinTest, CleaningAFolderThatCannotBeReadReportsTheFailure) {
    // The tests run as root, so a program folder that does not exist stands in for one
    // without access.
    open(folder.file(QStringLiteral("no/such/folder")));
    win->CleanTmpFileCmd->click();
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    const MessageBoxRequest& box = desktop.shownBoxes[0];
    EXPECT_EQ(box.title, QStringLiteral("エラー"));
    EXPECT_EQ(box.text, QStringLiteral("クリーニング作業は失敗しました。"));
    EXPECT_EQ(box.icon, MsgIcon::Critical);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_TRUE(win->isVisible());
}

// A wait that cannot be stored is said, not lost without a word.
TEST_F(SettingsWinTest, WaitThatCannotBeStoredIsSaid) {
    store("300");
    open();
    win->QuibloWaitTimeUD->upButton->click();
    // The settings file has become a folder: the store's rewrite cannot replace it.
    ASSERT_TRUE(QFile::remove(folder.file(kIni)));
    ASSERT_TRUE(QDir(folder.path()).mkdir(kIni));
    QTest::mouseClick(win->CloseCmd, Qt::LeftButton);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].title, QStringLiteral("エラー"));
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Critical);
    EXPECT_EQ(
        desktop.shownBoxes[0].text,
        QStringLiteral("撮影時のウェイト時間を保存できませんでした。\r\n") + folder.file(kIni));
}

TEST_F(SettingsWinTest, WaitOnAReadOnlyMountIsSaid) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    test::TempFolder mountPoint;
    test::TmpfsMount mount(mountPoint.path(), "size=64k", /*readOnly=*/true);
    if (mount.refused()) GTEST_SKIP() << "this root may not mount: " << mount.error().toStdString();
    ASSERT_TRUE(mount.mounted()) << mount.error().toStdString();
    open(mountPoint.path());
    QTest::mouseClick(win->CloseCmd, Qt::LeftButton);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_TRUE(desktop.shownBoxes[0].text.startsWith(
        QStringLiteral("撮影時のウェイト時間を保存できませんでした。")));
}

TEST_F(SettingsWinTest, StoredWaitSaysNothing) {
    open();
    win->QuibloWaitTimeUD->upButton->click();
    QTest::mouseClick(win->CloseCmd, Qt::LeftButton);
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
    EXPECT_EQ(stored(), "[Quiblo]\r\nWait=200\r\n");
}

// An address that is none is refused in the window: a message, the window left open, and
// nothing saved, the wait neither; mended, everything is saved and the box shows it next time.
TEST_F(SettingsWinTest, UploadKeyIsTypedMaskedSavedAndABadOneRefused) {
    store("200");
    open();
    QTest::keyClicks(win->UploadKey, QStringLiteral("too short"));
    QTest::keyClick(win->UploadKey, Qt::Key_Escape);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_TRUE(desktop.shownBoxes[0].text.startsWith(
        QStringLiteral("アップロードキーが正しくありません。")));
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=200\r\n"));
    win->UploadKey->clear();
    QTest::keyClicks(win->UploadKey, QStringLiteral("team-key-0123456789abcdef"));
    EXPECT_NE(win->UploadKey->displayText(), win->UploadKey->text());  // masked on the screen
    QTest::keyClick(win->UploadKey, Qt::Key_Escape);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(stored(),
              QByteArray("[Quiblo]\r\nWait=200\r\nUploadKey=team-key-0123456789abcdef\r\n"));
    open();
    EXPECT_EQ(win->UploadKey->text(), QStringLiteral("team-key-0123456789abcdef"));
}

// The pictures' lifetime: the service's own unless chosen; the choice is kept as the registration
// sends it.
TEST_F(SettingsWinTest, LifetimeIsChosenSavedAndShownAgain) {
    store("200");
    open();
    QStringList shownChoices;
    for (int i = 0; i < win->Lifetime->count(); ++i) shownChoices << win->Lifetime->itemText(i);
    EXPECT_EQ(shownChoices, (QStringList{"サーバーの既定", "1時間", "1日", "1週間"}));
    EXPECT_EQ(win->Lifetime->currentIndex(), 0);
    win->Lifetime->setFocus();
    QTest::keyClick(win->Lifetime, Qt::Key_Down);
    QTest::keyClick(win->Lifetime, Qt::Key_Escape);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=200\r\nLifetime=1h\r\n"));
    open();
    EXPECT_EQ(win->Lifetime->currentText(), QStringLiteral("1時間"));
}

TEST_F(SettingsWinTest, BadServiceAddressIsRefusedAndNothingSaved) {
    store("200");
    open();
    win->QuibloWaitTimeUD->upButton->click();
    QTest::keyClicks(win->ServiceHost, QStringLiteral("example.com/upload"));
    QTest::keyClick(win->ServiceHost, Qt::Key_Escape);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(desktop.shownBoxes[0].text.startsWith(
        QStringLiteral("アップロード先のサーバーの指定が正しくありません。")));
    EXPECT_TRUE(win->isVisible());
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=200\r\n"));

    win->ServiceHost->clear();
    QTest::keyClicks(win->ServiceHost, QStringLiteral("https://team.example:8443"));
    QTest::keyClicks(win->FtpPort, QStringLiteral("70000"));
    QTest::keyClick(win->FtpPort, Qt::Key_Escape);
    ASSERT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_EQ(desktop.shownBoxes[1].text,
              QStringLiteral("FTP ポートには 1 から 65535 までの数を入力してください。"));
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=200\r\n"));

    win->FtpPort->clear();
    QTest::keyClicks(win->FtpPort, QStringLiteral("2121"));
    QTest::keyClick(win->FtpPort, Qt::Key_Escape);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=300\r\nServiceHost=https://team.example:8443"
                                   "\r\nFtpPort=2121\r\n"));
    open();
    EXPECT_EQ(win->ServiceHost->text(), QStringLiteral("https://team.example:8443"));
    EXPECT_EQ(win->FtpPort->text(), QStringLiteral("2121"));
}

// The language: the desktop's unless chosen, kept as the program reads it at its next start;
// "auto" is written only over a language the file named.
TEST_F(SettingsWinTest, LanguageIsChosenSavedAndShownAgain) {
    store("200");
    open();
    QStringList shownChoices;
    for (int i = 0; i < win->Language->count(); ++i) shownChoices << win->Language->itemText(i);
    EXPECT_EQ(shownChoices, (QStringList{"自動", "日本語", "English"}));
    EXPECT_EQ(win->Language->currentIndex(), 0);
    win->Language->setFocus();
    QTest::keyClick(win->Language, Qt::Key_End);
    QTest::keyClick(win->Language, Qt::Key_Escape);
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=200\r\nLanguage=en\r\n"));
    EXPECT_EQ(readLanguageSetting(folder.path()), QStringLiteral("en"));
    open();
    EXPECT_EQ(win->Language->currentText(), QStringLiteral("English"));
    win->Language->setFocus();
    QTest::keyClick(win->Language, Qt::Key_Home);
    QTest::keyClick(win->Language, Qt::Key_Escape);
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=200\r\nLanguage=auto\r\n"));
    EXPECT_EQ(readLanguageSetting(folder.path()), QStringLiteral("auto"));
}
