// A test of the whole program: a program folder of its own holding the image library, the
// scripted desktop, and the main window opened over a given screen source.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <memory>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "capture/ScreenSource.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

namespace quiblo::test {

class ProgramFolderFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(buildProgramFolder() + QStringLiteral("/libimgctl.so"),
                                folder.file(QStringLiteral("libimgctl.so"))));
    }

    // The main window loaded and shown, as at the program's start.
    std::unique_ptr<MainWin> openMainWin(ScreenSource& source) {
        AppSeams seams;
        seams.desktop = &desktop;
        seams.programFolder = folder.path();
        seams.instanceLockPath = folder.file(QStringLiteral("lock"));
        seams.screen = &source;
        state = std::make_unique<AppState>(seams);
        auto win = std::make_unique<MainWin>(*state);
        EXPECT_TRUE(win->Form_Load());
        win->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(win.get()));
        return win;
    }

    TempFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<AppState> state;
};

}  // namespace quiblo::test
