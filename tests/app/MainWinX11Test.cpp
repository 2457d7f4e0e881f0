// The main window on a real X server whose screen is 1024 by 768 pixels.
#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "confirm/PreviewWin.h"
#include "history/HistoryFile.h"
#include "service/Codes.h"
#include "support/ReferenceService.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;

TEST(MainWinOnX11, FullScreenOptionShowsTheScreenSize) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_EQ(QGuiApplication::primaryScreen()->size(), QSize(1024, 768))
        << "the test command starts a 1024x768 screen";
    test::TempFolder lockFolder;
    ScriptedDesktop desktop;
    AppState state({&desktop, test::buildProgramFolder(), lockFolder.file(QStringLiteral("l"))});
    MainWin win(state);
    ASSERT_TRUE(win.Form_Load());
    win.show();
    EXPECT_EQ(win.QuibloType[0]->text(), QStringLiteral("全画面(1024x768)"));
    // Centred on the screen.
    const QPoint centre = win.frameGeometry().center();
    EXPECT_NEAR(centre.x(), 512, 2);
    EXPECT_NEAR(centre.y(), 384, 30);
}

// The whole chain on a real X screen: capture, confirm, upload to the reference service.
TEST(MainWinOnX11, CaptureConfirmAndUploadShowsTheViewingUrl) {
    test::ReferenceService service;
    ASSERT_TRUE(service.started());
    test::ScopedEnv host("QUIBLO_SERVICE_HOST", service.host().toUtf8());
    test::ScopedEnv ftp("QUIBLO_FTP_PORT", QByteArray::number(service.ftpPort()));
    test::TempFolder folder;
    ASSERT_TRUE(QFile::copy(test::buildProgramFolder() + QStringLiteral("/libimgctl.so"),
                            folder.file(QStringLiteral("libimgctl.so"))));

    // Something known on the screen beside the main window.
    QLabel marker;
    marker.setPixmap(QPixmap::fromImage(test::patternPicture(200, 150)));
    marker.setWindowFlags(Qt::FramelessWindowHint);
    marker.setGeometry(10, 10, 200, 150);
    marker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&marker));

    ScriptedDesktop desktop;
    std::unique_ptr<ScreenSource> screen = makeScreenSource();
    ASSERT_TRUE(screen->available());
    AppSeams seams;
    seams.desktop = &desktop;
    seams.programFolder = folder.path();
    seams.instanceLockPath = folder.file(QStringLiteral("lock"));
    seams.screen = screen.get();
    AppState state(seams);
    MainWin win(state);
    ASSERT_TRUE(win.Form_Load());
    win.show();

    QImage confirmed;
    test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* w) {
        auto* preview = static_cast<PreviewWin*>(w);
        confirmed = preview->previewPicture();
        preview->GoAheadCmd->click();
    });
    win.QuibloCmd->click();

    ASSERT_FALSE(state.UploadFailed) << desktop.shownBoxes.value(0).text.toStdString();
    ASSERT_EQ(confirmed.size(), QSize(1024, 768));
    EXPECT_EQ(confirmed.copy(10, 10, 200, 150), test::patternPicture(200, 150))
        << "the capture does not hold the screen";
    EXPECT_EQ(win.CaptureStep, 12);
    EXPECT_TRUE(win.NoticeTickerTimer->isActive());

    const HistoryEntries history = LoadHistoryEntries(folder.path());
    ASSERT_EQ(history.entries.size(), 1);
    const QString code = historyRecordOf(history.entries[0]).pngcode;
    EXPECT_EQ(win.URL->toPlainText(), QStringLiteral("http://") + service.host() +
                                          QStringLiteral("/view.cgi?") + BaseConv(code, 10, 64));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("tmp_") + code + ".png")));
    const QImage uploaded(service.pictureFile(code));
    ASSERT_FALSE(uploaded.isNull());
    EXPECT_EQ(uploaded.convertToFormat(QImage::Format_RGB32), confirmed);
    QFile stored(service.pictureFile(code));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    const QString expected = folder.file(QStringLiteral("expected.png"));
    ASSERT_TRUE(state.imgctl().writePng(confirmed, expected).written);
    QFile again(expected);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), again.readAll()) << "the server holds other bytes";
}
