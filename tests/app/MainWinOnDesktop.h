// The main window as a person finds it on a desktop with a window manager: the program folder
// with its image library, the real screen source, the window shown and active. Keys go through
// XTest to whatever window has the focus.
#pragma once

#include <QTest>
#include <memory>

#include "app/MainWin.h"
#include "capture/ScreenSource.h"
#include "support/ProgramFolderFixture.h"
#include "support/WindowManagerSession.h"

namespace quiblo::test {

class MainWinOnDesktop : public ProgramFolderFixture {
protected:
    // Starts the program on the real screen source and waits until its main window is
    // active; call from SetUp().
    void startMainWin() {
        ASSERT_NO_FATAL_FAILURE(ProgramFolderFixture::SetUp());
        screen = makeScreenSource();
        ASSERT_TRUE(screen->available());
        win = openMainWin(*screen);
        // Where a person would click it first.
        if (!QTest::qWaitFor([&] { return session().activeWindow() == win->winId(); }, 1000))
            session().xdotool({QStringLiteral("windowactivate"), QString::number(win->winId())});
    }
    static WindowManagerSession& session() { return windowManagerSession(); }
    void key(const char* name) {
        ASSERT_TRUE(session().xdotool({QStringLiteral("key"), QString::fromLatin1(name)}));
    }

    std::unique_ptr<ScreenSource> screen;
    std::unique_ptr<MainWin> win;
};

}  // namespace quiblo::test
