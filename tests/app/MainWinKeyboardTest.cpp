// The main window under a real window manager, driven by keys and clicks through XTest: after
// every end of the capture chain, and after a window opened from it closes, the keyboard is
// back in the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "MainWinOnDesktop.h"
#include "app/AppState.h"
#include "app/MainWin.h"
#include "capture/ScreenSource.h"
#include "confirm/PreviewWin.h"
#include "imagelib/ImgctlLibrary.h"
#include "support/ReferenceService.h"
#include "service/SimpleHttp.h"
#include "support/ScriptedDesktop.h"
#include "support/TestAuthority.h"
#include "support/TestSupport.h"
#include "support/WindowManagerSession.h"

using namespace quiblo;

namespace {

class MainWinKeyboardTest : public test::MainWinOnDesktop {
protected:
    void SetUp() override {
        // The desktop holds another program's window, which takes the focus whenever the
        // main window lets it go (as when it hides for the capture).
        otherProgram = session().showOtherProgram(QRect(40, 40, 500, 400));
        ASSERT_NO_FATAL_FAILURE(startMainWin());
        ASSERT_TRUE(hasTheKeyboard()) << "the main window is not active at start";
    }
    // Both the window manager and Qt hold the main window as the active one.
    bool hasTheKeyboard(QWidget* window = nullptr) {
        if (!window) window = win.get();
        return QTest::qWaitFor(
            [&] {
                return session().activeWindow() == window->winId() &&
                       QApplication::activeWindow() == window;
            },
            5000);
    }
    // F2, F3, F4 choose the capture type: a key that acts shows in the chosen option.
    void expectKeysReachTheMainWindow() {
        ASSERT_TRUE(hasTheKeyboard()) << "the main window did not get the keyboard back";
        const int before = state->CaptureType;
        const char* next = before == 2 ? "F4" : "F3";
        const int expected = before == 2 ? 3 : 2;
        key(next);
        EXPECT_TRUE(QTest::qWaitFor([&] { return state->CaptureType == expected; }, 3000))
            << next << " did not reach the main window";
        EXPECT_TRUE(win->QuibloType[expected - 1]->isChecked());
    }

    unsigned long otherProgram = 0;
};

}  // namespace

TEST_F(MainWinKeyboardTest, RegionGivenUpReturnsTheKeyboard) {
    key("F4");  // the region type, by key
    ASSERT_TRUE(QTest::qWaitFor([&] { return state->CaptureType == 3; }, 3000));
    bool overlayShown = false;
    test::whenModalShown(QStringLiteral("PosSelectWin"), [&](QWidget* overlay) {
        overlayShown = QTest::qWaitForWindowExposed(overlay);
        // The right button with nothing marked: the overlay asks, and is given up.
        session().xdotool({QStringLiteral("mousemove"), QStringLiteral("500"),
                           QStringLiteral("400"), QStringLiteral("click"), QStringLiteral("3")});
    });
    key("F5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlayShown && state->RegionCancelled; }, 10000));
    expectKeysReachTheMainWindow();
}

TEST_F(MainWinKeyboardTest, ConfirmationCancelledReturnsTheKeyboard) {
    bool previewShown = false;
    test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* preview) {
        previewShown = hasTheKeyboard(preview);
        session().xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QTimer::singleShot(5000, preview, &QWidget::close);  // the test fails, but never hangs
    });
    key("F5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return previewShown && state->UploadFailed; }, 10000));
    expectKeysReachTheMainWindow();
}

TEST_F(MainWinKeyboardTest, WindowsOpenedByKeyReturnTheKeyboardWhenClosed) {
    const std::pair<const char*, const char*> openers[] = {{"F8", "DeleteWin"},
                                                           {"F9", "SettingsWin"}};
    for (const auto& [opener, window] : openers) {
        bool escapeSent = false;
        test::whenModalShown(QString::fromLatin1(window), [&](QWidget* shown) {
            escapeSent = hasTheKeyboard(shown) &&
                         session().xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            QTimer::singleShot(5000, shown, &QWidget::close);  // the test fails, but never hangs
        });
        key(opener);
        const bool closed = QTest::qWaitFor(
            [&] { return escapeSent && !QApplication::activeModalWidget(); }, 10000);
        if (QWidget* left = QApplication::activeModalWidget()) left->close();  // no hang
        ASSERT_TRUE(closed) << window << " was not closed by Esc";
        expectKeysReachTheMainWindow();
    }
}

// The whole chain by keys: F5, Enter on the confirmation, the upload to the reference service,
// meanwhile the user looks at another program; then F6 copies the new URL without a click on
// the main window first.
TEST_F(MainWinKeyboardTest, AfterAnUploadF6CopiesTheUrl) {
    test::ReferenceService service;
    ASSERT_TRUE(service.started());
    test::ScopedEnv host("QUIBLO_SERVICE_HOST", service.host().toUtf8());
    test::ScopedEnv ftp("QUIBLO_FTP_PORT", QByteArray::number(service.ftpPort()));
    test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* preview) {
        EXPECT_TRUE(hasTheKeyboard(preview));
        session().xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    });
    // While the upload runs, the user turns to the other program.
    bool turnedAway = false;
    test::whenModalShown(QStringLiteral("SendDataWin"), [&](QWidget*) {
        turnedAway = session().xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                        QString::number(otherProgram)});
    });
    key("F5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !win->URL->toPlainText().isEmpty(); }, 20000))
        << "no upload: " << desktop.shownBoxes.value(0).text.toStdString();
    ASSERT_FALSE(state->UploadFailed);
    ASSERT_TRUE(turnedAway);
    ASSERT_TRUE(hasTheKeyboard()) << "the main window did not get the keyboard back";
    const int boxes = desktop.shownBoxes.size();
    key("F6");
    ASSERT_TRUE(QTest::qWaitFor([&] { return desktop.shownBoxes.size() > boxes; }, 3000))
        << "F6 went nowhere";
    EXPECT_EQ(desktop.shownBoxes.last().text,
              QStringLiteral("URLがクリップボードへ転送されました。"));
}

// A team's service on one HTTPS port, without FTP: the capture goes by keys, the upload over
// HTTPS, and the viewing page shows exactly the captured screen.
TEST_F(MainWinKeyboardTest, OnOneHttpsPortTheUploadByKeysShowsThePictureExactly) {
    const test::TestAuthority authority;
    ASSERT_TRUE(authority.made) << "openssl could not make the test authority";
    test::ReferenceService service({"--no-ftp", "--tls-cert", authority.file("server.pem").toUtf8(),
                                    "--tls-key", authority.file("server.key").toUtf8()});
    ASSERT_TRUE(service.started()) << service.startError().toStdString();
    ASSERT_EQ(service.ftpPort(), 0) << "the service serves FTP";
    const QString address =
        QStringLiteral("https://localhost:") + service.host().section(QLatin1Char(':'), 1);
    test::ScopedEnv host("QUIBLO_SERVICE_HOST", address.toUtf8());
    test::ScopedEnv trusted("SSL_CERT_FILE", authority.file("ca.pem").toUtf8());
    test::ScopedEnv bundle("CURL_CA_BUNDLE", "");
    test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* preview) {
        EXPECT_TRUE(hasTheKeyboard(preview));
        session().xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    });
    key("F5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !win->URL->toPlainText().isEmpty(); }, 20000))
        << "no upload: " << desktop.shownBoxes.value(0).text.toStdString();
    ASSERT_FALSE(state->UploadFailed);
    const QString viewing = win->URL->toPlainText();
    ASSERT_TRUE(viewing.startsWith(address + QStringLiteral("/view.cgi?"))) << viewing.toStdString();
    const HttpReply page = httpGet({viewing});
    const QRegularExpressionMatch image =
        QRegularExpression(QStringLiteral("<img src=\"(/img/[0-9]{18}\\.png)\"")).match(page.text());
    ASSERT_TRUE(image.hasMatch()) << page.text().toStdString();
    const HttpReply shown = httpGet({address + image.captured(1)});
    ASSERT_TRUE(shown.tlsFailure.isEmpty()) << shown.tlsFailure.toStdString();
    EXPECT_EQ(QImage::fromData(shown.body, "PNG").convertToFormat(QImage::Format_RGB32),
              win->TempPic->picture.convertToFormat(QImage::Format_RGB32));
}

// A capture the service refuses (the usage limit), by keys: after the limit's message the
// picture is offered, and Yes keeps exactly the file the local copy would have been; the
// keyboard then returns to the main window.
TEST_F(MainWinKeyboardTest, ARefusedCaptureIsOfferedAndKeptAsTheLocalCopyWouldBe) {
    test::ReferenceService service({"--max-uploads", "0"});
    ASSERT_TRUE(service.started());
    test::ScopedEnv host("QUIBLO_SERVICE_HOST", service.host().toUtf8());
    test::ScopedEnv ftp("QUIBLO_FTP_PORT", QByteArray::number(service.ftpPort()));
    const QString kept = folder.file(QStringLiteral("kept.png"));
    desktop.savePaths << kept;  // the limit's box, then the question, take their defaults
    test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* preview) {
        EXPECT_TRUE(hasTheKeyboard(preview));
        session().xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    });
    key("F5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(kept); }, 20000))
        << "nothing kept: " << desktop.shownBoxes.value(0).text.toStdString();
    ASSERT_TRUE(hasTheKeyboard()) << "the main window did not get the keyboard back";
    EXPECT_TRUE(state->UploadFailed);
    ASSERT_EQ(desktop.shownBoxes.size(), 2);
    EXPECT_TRUE(desktop.shownBoxes[0].text.startsWith(
        QStringLiteral("アップロード回数の上限に達しました。")));
    EXPECT_EQ(desktop.shownBoxes[1].text, QStringLiteral("画像を保存しますか？"));
    const CaptureRectangle& r = state->CaptureRect;
    const QImage captured = win->TempPic->picture.copy(r.Left, r.Top, r.Width, r.Height);
    const QString expected = folder.file(QStringLiteral("expected.png"));
    ASSERT_TRUE(state->imgctl().writePng(captured, expected).written);
    QFile keptFile(kept), expectedFile(expected);
    ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly) && expectedFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = keptFile.readAll();
    EXPECT_EQ(bytes, expectedFile.readAll());
    EXPECT_EQ(QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32),
              captured.convertToFormat(QImage::Format_RGB32));
}

// Started from the main window, the active-window capture takes the window the user sees once
// the program is out of the way: the other program's, with the frame the window manager drew.
TEST_F(MainWinKeyboardTest, ActiveWindowCaptureTakesTheOtherProgramNotTheHiddenMainWindow) {
    key("F3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return state->CaptureType == 2; }, 3000));
    QImage confirmed;
    test::whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* w) {
        confirmed = static_cast<PreviewWin*>(w)->previewPicture();
        w->close();
    });
    key("F5");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !confirmed.isNull(); }, 10000))
        << desktop.shownBoxes.value(0).text.toStdString();
    // The window's 500x400 inside a frame with a title bar.
    EXPECT_GT(confirmed.width(), 500);
    EXPECT_GT(confirmed.height(), 400);
    EXPECT_LT(confirmed.width(), 540);
    EXPECT_LT(confirmed.height(), 460);
    const QPoint inside(confirmed.width() / 2, confirmed.height() - 200);
    EXPECT_EQ(confirmed.pixel(inside) & 0xffffff, 0x3070b0u) << "not the other program's window";
}
