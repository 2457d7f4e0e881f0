// The main window on a real X server whose screen is 1024 by 768 pixels.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "platform/ScriptedDesktop.h"
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
