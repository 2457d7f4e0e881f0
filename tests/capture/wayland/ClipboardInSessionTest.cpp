// On sway, whose compositor offers the data-control protocol, the URL copied from the main window
// stays on the clipboard after the program ends: a capture through the portal, the upload to the
// reference service, the copy; wl-paste then reads the URL from the holder, and wl-copy ends it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "WaylandSession.h"
#include "app/MainWin.h"
#include "capture/ScreenSource.h"
#include "confirm/PreviewWin.h"
#include "platform/ClipboardHolder.h"
#include "support/ProgramFolderFixture.h"
#include "support/ReferenceService.h"
#include "support/TestSupport.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

QString pasted(const QString& option = QStringLiteral("--no-newline")) {
    QProcess paste;
    paste.start(QStringLiteral("wl-paste"), {option});
    paste.waitForFinished(5000);
    return QString::fromUtf8(paste.readAllStandardOutput());
}

class ClipboardInSession : public ProgramFolderFixture {
protected:
    void TearDown() override {
        for (qint64 pid : holders()) ::kill(pid_t(pid), SIGTERM);
    }
    static QList<qint64> holders() {
        return clipboardHolders("WAYLAND_DISPLAY", qgetenv("WAYLAND_DISPLAY"));
    }

    ReferenceService service;
    ScopedEnv host{"QUIBLO_SERVICE_HOST", service.host().toUtf8()};
    ScopedEnv ftp{"QUIBLO_FTP_PORT", QByteArray::number(service.ftpPort())};
};

TEST_F(ClipboardInSession, CopiedUrlOutlivesTheProgramUntilAnotherProgramTakesTheClipboard) {
    ASSERT_TRUE(service.started()) << service.startError().toStdString();
    const auto source = makeScreenSource();
    const auto win = openMainWin(*source);
    whenModalShown(QStringLiteral("PreviewWin"), [](QWidget* preview) {
        static_cast<PreviewWin*>(preview)->GoAheadCmd->click();
    });
    win->QuibloCmd->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !win->URL->toPlainText().isEmpty(); }, 60000))
        << desktop.shownBoxes.value(0).text.toStdString();
    const QString url = win->URL->toPlainText();
    win->URLCopyCmd->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::clipboard()->ownsClipboard(); }, 5000))
        << "the compositor did not take the program's clipboard";
    win->close();
    // The holder offers the X11 names of text too, which the program's own clipboard does not.
    const QString ownTypes = pasted(QStringLiteral("--list-types"));
    EXPECT_FALSE(ownTypes.contains(QStringLiteral("UTF8_STRING"))) << ownTypes.toStdString();

    EXPECT_EQ(keepClipboardText(buildProgramFolder() + QStringLiteral("/quiblo")),
              QString::fromLatin1(kHolderReady));
    ASSERT_EQ(holders().size(), 1);
    const QString heldTypes = pasted(QStringLiteral("--list-types"));
    EXPECT_TRUE(heldTypes.contains(QStringLiteral("UTF8_STRING"))) << heldTypes.toStdString();
    EXPECT_EQ(pasted(), url);
    EXPECT_EQ(pasted(), url) << "the clipboard is read more than once";

    QProcess other;
    other.start(QStringLiteral("wl-copy"),
                {QStringLiteral("--foreground"), QStringLiteral("another program's text")});
    EXPECT_TRUE(QTest::qWaitFor([] { return holders().isEmpty(); }, 5000))
        << "the holder runs on after another program took the clipboard";
    EXPECT_EQ(pasted(), QStringLiteral("another program's text"));
    other.kill();
    other.waitForFinished(5000);
}

}  // namespace
