// GNOME asks "Allow Applications to Take Screenshots?" at a program's first capture, in a
// session of its own that has not been answered yet: the capture waits for the answer however
// long the user takes, and when no answer can come (the portal went away) the main window comes
// back with the message about the desktop's screen capture.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "capture/PortalScreenSource.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

TEST(OnGnomeAsking, CaptureWaitsForTheAnswerAndTheWindowComesBackWhenNoneCanCome) {
    TempFolder folder;
    ASSERT_TRUE(QFile::copy(buildProgramFolder() + QStringLiteral("/libimgctl.so"),
                            folder.file(QStringLiteral("libimgctl.so"))));
    ScriptedDesktop desktop;
    PortalScreenSource source;
    AppSeams seams;
    seams.desktop = &desktop;
    seams.programFolder = folder.path();
    seams.instanceLockPath = folder.file(QStringLiteral("lock"));
    seams.screen = &source;
    AppState state(seams);
    MainWin win(state);
    ASSERT_TRUE(win.Form_Load());
    win.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&win));

    // Well past any short time-out the question is still open; then the portal goes away.
    bool waitingAfterFiveSeconds = false;
    QTimer::singleShot(5000, [&] {
        waitingAfterFiveSeconds = !win.isVisible() && desktop.shownBoxes.isEmpty();
        const auto pid = QDBusConnection::sessionBus().interface()->servicePid(
            QStringLiteral("org.freedesktop.portal.Desktop"));
        if (pid.isValid() && pid.value() > 0) ::kill(pid.value(), SIGTERM);
    });
    win.QuibloCmd->click();

    EXPECT_TRUE(waitingAfterFiveSeconds) << "the capture did not wait for the user's answer";
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].text,
              QStringLiteral("画面キャプチャーに失敗しました。\r\n"
                             "デスクトップの画面キャプチャー機能が使えません。"));
    EXPECT_TRUE(win.isVisible());
}

}  // namespace
