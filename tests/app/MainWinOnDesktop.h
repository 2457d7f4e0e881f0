// The main window as a person finds it on a desktop with a window manager: the program folder
// with its image library, the real screen source, the window shown and active. Keys go through
// XTest to whatever window has the focus.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTest>
#include <memory>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "capture/ScreenSource.h"
#include "platform/ScriptedDesktop.h"
#include "support/TestSupport.h"
#include "support/WindowManagerSession.h"

namespace quiblo::test {

class MainWinOnDesktop : public ::testing::Test {
protected:
    // Starts the program and waits until its main window is active; call from SetUp().
    void startMainWin() {
        ASSERT_TRUE(QFile::copy(buildProgramFolder() + QStringLiteral("/libimgctl.so"),
                                folder.file(QStringLiteral("libimgctl.so"))));
        screen = makeScreenSource();
        ASSERT_TRUE(screen->available());
        AppSeams seams;
        seams.desktop = &desktop;
        seams.programFolder = folder.path();
        seams.instanceLockPath = folder.file(QStringLiteral("lock"));
        seams.screen = screen.get();
        state = std::make_unique<AppState>(seams);
        win = std::make_unique<MainWin>(*state);
        ASSERT_TRUE(win->Form_Load());
        win->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
        // Where a person would click it first.
        if (!QTest::qWaitFor([&] { return session().activeWindow() == win->winId(); }, 1000))
            session().xdotool({QStringLiteral("windowactivate"), QString::number(win->winId())});
    }
    static WindowManagerSession& session() { return windowManagerSession(); }
    void key(const char* name) {
        ASSERT_TRUE(session().xdotool({QStringLiteral("key"), QString::fromLatin1(name)}));
    }

    TempFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<ScreenSource> screen;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWin> win;
};

}  // namespace quiblo::test
