// What a screen reader hears: every control that takes the keyboard focus, in every window,
// has a name through the accessibility interface.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "app/VersionWin.h"
#include "capture/PosSelectWin.h"
#include "confirm/LoadMspaintWin.h"
#include "confirm/PreviewWin.h"
#include "history/DeleteWin.h"
#include "settings/SettingsWin.h"
#include "support/RealInput.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"
#include "upload/SendDataWin.h"

using namespace quiblo;

namespace {

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name).trimmed() : QString();
}

// Every focusable control of `window` without a name, listed for the failure message.
QStringList unnamedControls(QWidget* window) {
    QStringList unnamed;
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!(child->focusPolicy() & Qt::TabFocus)) continue;
        if (accessibleName(child).isEmpty()) unnamed << test::describe(child);
    }
    return unnamed;
}

}  // namespace

TEST(Accessibility, EveryFocusableControlOfEveryWindowHasAName) {
    test::TempFolder folder;
    folder.write(QStringLiteral("Quiblo.dat"), "123456789012345678,12345678901234\r\n");
    ScriptedDesktop desktop;
    AppSeams seams;
    seams.desktop = &desktop;
    seams.programFolder = test::buildProgramFolder();
    seams.instanceLockPath = folder.file(QStringLiteral("lock"));
    AppState state(seams);
    state.CaptureRect = {0, 0, 40, 30};
    const QImage picture = test::patternPicture(200, 100);

    MainWin main(state);
    ASSERT_TRUE(main.Form_Load());
    PreviewWin preview(desktop, state.imgctl(), picture, QRect(0, 0, 40, 30));
    UploadHooks hooks;
    hooks.desktop = &desktop;
    hooks.imgctl = &state.imgctl();
    SendDataWin upload(hooks, preview.previewPicture(), false);
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.push_back(std::make_unique<VersionWin>(desktop));
    windows.push_back(std::make_unique<PosSelectWin>(desktop, picture));
    windows.push_back(std::make_unique<LoadMspaintWin>(desktop, folder.file("tmp_1.png")));
    windows.push_back(std::make_unique<DeleteWin>(desktop, folder.path()));
    windows.push_back(std::make_unique<SettingsWin>(desktop, folder.path()));

    std::vector<QWidget*> all = {&main, &preview, &upload};
    for (const auto& w : windows) all.push_back(w.get());
    for (QWidget* window : all) {
        EXPECT_TRUE(unnamedControls(window).isEmpty())
            << window->objectName().toStdString() << " has controls without a name: "
            << unnamedControls(window).join(QStringLiteral(", ")).toStdString();
    }
    // Named although they take no focus: the banner picture and the wait's two arrows.
    SettingsWin settings(desktop, folder.path());
    for (QWidget* unfocused :
         std::initializer_list<QWidget*>{main.Title, settings.QuibloWaitTimeUD->upButton,
                                         settings.QuibloWaitTimeUD->downButton})
        EXPECT_FALSE(accessibleName(unfocused).isEmpty())
            << test::describe(unfocused).toStdString();
}
