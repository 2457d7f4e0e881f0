// GNOME asks "Allow Applications to Take Screenshots?" at a program's first capture, in a session
// of its own that has not been answered yet. A keyboard user answers as the question offers it:
// Tab to "Allow", then Return. The keys go through the compositor's remote-desktop interface, as
// from a keyboard, to whatever has the focus; the capture goes on to the confirmation window, and
// GNOME keeps the answer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <memory>

#include "WaylandSession.h"
#include "capture/PortalScreenSource.h"
#include "confirm/PreviewWin.h"
#include "support/ProgramFolderFixture.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

// What GNOME remembers for programs without an id.
QStringList rememberedAnswer() {
    QDBusInterface store(QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                         QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                         QStringLiteral("org.freedesktop.impl.portal.PermissionStore"));
    const QDBusMessage reply = store.call(QStringLiteral("Lookup"), QStringLiteral("screenshot"),
                                          QStringLiteral("screenshot"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    QMap<QString, QStringList> answers;
    reply.arguments().constFirst().value<QDBusArgument>() >> answers;
    return answers.value(QString());
}

using OnGnomeAsking = ProgramFolderFixture;

TEST_F(OnGnomeAsking, AllowedFromTheKeyboardTheCaptureGoesOnAndGnomeKeepsTheAnswer) {
    ASSERT_EQ(rememberedAnswer(), QStringList()) << "the session has been answered already";
    ShellKeyboard keyboard;
    ASSERT_TRUE(keyboard.start()) << "no remote-desktop keyboard in this session";
    PortalScreenSource source;
    const auto win = openMainWin(source);

    QImage confirmed;
    whenModalShown(QStringLiteral("PreviewWin"), [&](QWidget* p) {
        auto* preview = static_cast<PreviewWin*>(p);
        confirmed = preview->previewPicture();
        preview->QuibloStopCmd->click();
    });
    // The question opens over the desktop with the focus on "Deny"; a person reads it, then
    // answers. On a slow machine the keys may come before the question: they are given again
    // until the confirmation window shows.
    bool answered = false;
    int answers = 0;
    QTimer answer;
    answer.setInterval(2000);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != nullptr || answers == 4) return answer.stop();
        ++answers;
        answered = keyboard.press(kTab) && keyboard.press(kReturn);
    });
    answer.start();
    win->QuibloCmd->click();

    EXPECT_TRUE(answered);
    ASSERT_TRUE(desktop.shownBoxes.isEmpty()) << desktop.shownBoxes[0].text.toStdString();
    EXPECT_EQ(confirmed.size(), QGuiApplication::primaryScreen()->size());
    EXPECT_EQ(rememberedAnswer(), QStringList{QStringLiteral("yes")});
    EXPECT_TRUE(win->isVisible());
}

}  // namespace
