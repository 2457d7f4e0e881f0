// The portal screen source and the capture command inside a headless GNOME Shell session, whose
// portal writes every shot as a new file in the user's folders and asks before it lets a
// program take screenshots (the session has said yes for programs without an id; one test says
// no). GNOME places windows itself: the test window's pattern is looked for in the picture.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <optional>

#include "../screen/ScreenPictures.h"
#include "../screen/XvfbDisplay.h"
#include "app/AppState.h"
#include "app/MainWin.h"
#include "capture/PortalScreenSource.h"
#include "confirm/PreviewWin.h"
#include "support/ProgramFolderFixture.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const QSize kPrimary(1280, 720);
const QSize kWindow(240, 160);

QStringList picturesIn(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) found << it.next();
    return found;
}

// The answer GNOME remembers for programs without an id: "yes" or "no".
bool rememberScreenshotAnswer(const QString& answer) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
        QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
        QStringLiteral("SetPermission"));
    call << QStringLiteral("screenshot") << true << QStringLiteral("screenshot") << QString()
         << QStringList{answer};
    return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
}

class OnGnome : public ProgramFolderFixture {
protected:
    void SetUp() override {
        ProgramFolderFixture::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
        ASSERT_EQ(QGuiApplication::primaryScreen()->size(), kPrimary);
        marker.setPixmap(QPixmap::fromImage(pattern(kWindow, 31)));
        marker.setWindowFlag(Qt::FramelessWindowHint);
        marker.setFixedSize(kWindow);
        marker.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&marker));
        QTest::qWait(500);  // drawn by the shell, its opening animation over
    }

    QLabel marker;
};

TEST_F(OnGnome, FullScreenHoldsTheWindowPixelForPixelAndLeavesNoFileBehind) {
    PortalScreenSource source;
    const QImage shot = source.grabScreen();
    ASSERT_EQ(source.lastFailure(), GrabFailure::None);
    ASSERT_EQ(shot.size(), kPrimary);
    EXPECT_TRUE(find(shot, pattern(kWindow, 31))) << "the test window is not in the picture";
    EXPECT_EQ(picturesIn(QDir::homePath()), QStringList()) << "the portal's file is left behind";
}

TEST_F(OnGnome, RegionMarkedOnTheFrozenPictureIsTheWindow) {
    PortalScreenSource source;
    const QImage before = source.grabScreen();
    const auto at = find(before, pattern(kWindow, 31));
    ASSERT_TRUE(at);
    const auto win = openMainWin(source);
    win->QuibloType[2]->click();

    QImage confirmed;
    whenModalShown(QStringLiteral("PosSelectWin"), [&](QWidget* w) {
        QTest::qWait(500);
        whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* p) {
            auto* preview = static_cast<PreviewWin*>(p);
            confirmed = preview->previewPicture();
            preview->QuibloStopCmd->click();
        });
        const QPoint end = *at + QPoint(kWindow.width(), kWindow.height());
        QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, *at);
        QTest::mouseMove(w, end);
        QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, end);
        QTest::mouseClick(w, Qt::RightButton, Qt::NoModifier, end);
    });
    win->QuibloCmd->click();

    ASSERT_TRUE(desktop.shownBoxes.isEmpty()) << desktop.shownBoxes[0].text.toStdString();
    EXPECT_EQ(differenceOf(confirmed, pattern(kWindow, 31)), "");
    EXPECT_EQ(picturesIn(QDir::homePath()), QStringList());
}

TEST_F(OnGnome, RefusedScreenshotsAreAMessageAndTheMainWindowComesBack) {
    ASSERT_TRUE(rememberScreenshotAnswer(QStringLiteral("no")));
    PortalScreenSource source;
    const auto win = openMainWin(source);
    win->QuibloCmd->click();
    ASSERT_TRUE(rememberScreenshotAnswer(QStringLiteral("yes")));

    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].title, QStringLiteral("エラー"));
    EXPECT_EQ(desktop.shownBoxes[0].text,
              QStringLiteral("画面キャプチャーに失敗しました。\r\n"
                             "デスクトップの画面キャプチャーが許可されませんでした。"));
    EXPECT_TRUE(win->isVisible());
    EXPECT_EQ(source.lastFailure(), GrabFailure::Refused);
}

}  // namespace
