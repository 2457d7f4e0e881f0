// `quiblo --bind-keys` and `--unbind-keys` in a headless GNOME session, answered from the
// keyboard: the settings daemon gets the three custom shortcuts and the shell's screenshot keys
// lose Print, Alt+Print and Shift+Print; unbinding puts every key back as it was, value by value.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTest>

#include "capture/wayland/WaylandSession.h"
#include "support/TestSupport.h"

using namespace quiblo::test;

namespace {

const QString kMediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString kShell = QStringLiteral("org.gnome.shell.keybindings");

QString gsettings(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("gsettings"), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString custom(const QString& type, const QString& key) {
    return gsettings({QStringLiteral("get"),
                      kMediaKeys +
                          QStringLiteral(".custom-keybinding:/org/gnome/settings-daemon/"
                                         "plugins/media-keys/custom-keybindings/quiblo-") +
                          type + QLatin1Char('/'),
                      key});
}

// Every key of the two schemas and of the program's three shortcuts.
QString allKeys() {
    QString all = gsettings({QStringLiteral("list-recursively"), kMediaKeys}) +
                  gsettings({QStringLiteral("list-recursively"), kShell});
    for (const char* type : {"full", "window", "region"})
        for (const char* key : {"name", "command", "binding"})
            all += QLatin1Char('\n') + custom(QLatin1String(type), QLatin1String(key));
    return all;
}

class GnomeKeys : public ::testing::Test {
protected:
    void SetUp() override {
        // A portable copy of the program, whose settings file lands beside it.
        for (const char* file : {"quiblo", "libimgctl.so"})
            ASSERT_TRUE(QFile::copy(buildProgramFolder() + QLatin1Char('/') + QLatin1String(file),
                                    folder.file(QLatin1String(file))));
        ASSERT_TRUE(keyboard.start()) << "no remote-desktop keyboard in this session";
    }

    // Runs the program with `option`, answering each of its boxes as a person would: once the
    // box is on the screen with the keyboard focus, Return (its default button). Gives the exit
    // code; -1, with what was on the screen, when the program did not end.
    int run(const QString& option) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        program.setProcessEnvironment(env);
        program.start(folder.file(QStringLiteral("quiblo")), {option});
        if (!program.waitForStarted()) return -1;
        QElapsedTimer clock;
        clock.start();
        QSet<quint64> answered;
        QString seen;
        while (program.state() != QProcess::NotRunning && clock.elapsed() < 45000) {
            const std::optional<QList<ShellWindow>> windows = shellWindows();
            if (!windows) {
                ADD_FAILURE() << "the shell's window list cannot be read";
                break;
            }
            seen.clear();
            for (const ShellWindow& window : *windows) {
                seen += QStringLiteral("[%1 %2%3] ")
                            .arg(QString::number(window.id), window.title,
                                 window.focused ? QStringLiteral(", focused") : QString());
                if (!window.focused || answered.contains(window.id) || !isBox(window)) continue;
                answered << window.id;
                keyboard.press(kReturn);
            }
            program.waitForFinished(100);
        }
        if (program.state() != QProcess::NotRunning) {
            QStringList ids;
            for (quint64 id : answered) ids << QString::number(id);
            ADD_FAILURE() << "the program did not end; boxes answered: "
                          << ids.join(' ').toStdString()
                          << "; on the screen: " << seen.toStdString() << "\n"
                          << stacksOf(program.processId()).toStdString();
            program.kill();
            program.waitForFinished();
            return -1;
        }
        return program.exitCode();
    }
    // Where a program that did not end waits: each of its threads' stack, as gdb reads it.
    static QString stacksOf(qint64 pid) {
        QProcess gdb;
        gdb.setProcessChannelMode(QProcess::MergedChannels);
        gdb.start(QStringLiteral("gdb"),
                  {QStringLiteral("-p"), QString::number(pid), QStringLiteral("-batch"),
                   QStringLiteral("-ex"), QStringLiteral("thread apply all bt")});
        if (!gdb.waitForFinished(60000))
            return QStringLiteral("gdb: ") + gdb.errorString() +
                   QString::fromLocal8Bit(gdb.readAllStandardOutput());
        return QString::fromLocal8Bit(gdb.readAllStandardOutput());
    }
    static bool isBox(const ShellWindow& window) {
        return window.title == QStringLiteral("確認") || window.title == QStringLiteral("エラー");
    }

    TempFolder folder;
    ShellKeyboard keyboard;
};

TEST_F(GnomeKeys, BoundTwiceAndUnboundEveryKeyIsAsItWas) {
    const QString before = allKeys();
    ASSERT_EQ(gsettings({QStringLiteral("get"), kShell, QStringLiteral("show-screenshot-ui")}),
              QStringLiteral("['Print']"));

    ASSERT_EQ(run(QStringLiteral("--bind-keys")), 0);
    const QString folderPath = QStringLiteral(
        "/org/gnome/settings-daemon/plugins/media-keys/"
        "custom-keybindings/quiblo-%1/");
    EXPECT_EQ(
        gsettings({QStringLiteral("get"), kMediaKeys, QStringLiteral("custom-keybindings")}),
        QStringLiteral("['%1', '%2', '%3']")
            .arg(folderPath.arg(QStringLiteral("full")), folderPath.arg(QStringLiteral("window")),
                 folderPath.arg(QStringLiteral("region"))));
    const QString program = folder.file(QStringLiteral("quiblo"));
    const std::pair<const char*, const char*> bound[] = {
        {"full", "Print"}, {"window", "<Alt>Print"}, {"region", "<Shift>Print"}};
    for (const auto& [type, key] : bound) {
        EXPECT_EQ(custom(QLatin1String(type), QStringLiteral("binding")),
                  QStringLiteral("'%1'").arg(QLatin1String(key)));
        EXPECT_EQ(custom(QLatin1String(type), QStringLiteral("command")),
                  QStringLiteral("'%1 --capture %2'").arg(program, QLatin1String(type)));
    }
    for (const char* key : {"show-screenshot-ui", "screenshot-window", "screenshot"})
        EXPECT_EQ(gsettings({QStringLiteral("get"), kShell, QLatin1String(key)}),
                  QStringLiteral("@as []"))
            << key;
    EXPECT_TRUE(folder.read(QStringLiteral("Quiblo.ini")).contains("show-screenshot-ui"));

    const QString bindOnce = allKeys();
    ASSERT_EQ(run(QStringLiteral("--bind-keys")), 0);
    EXPECT_EQ(allKeys(), bindOnce) << "the second binding changed something";

    ASSERT_EQ(run(QStringLiteral("--unbind-keys")), 0);
    EXPECT_EQ(allKeys(), before);
}

TEST_F(GnomeKeys, KeysTheUserAddedSinceStayWhenUnbound) {
    const QString before = allKeys();
    ASSERT_EQ(run(QStringLiteral("--bind-keys")), 0);
    gsettings({QStringLiteral("set"), kShell, QStringLiteral("screenshot"),
               QStringLiteral("['<Super>s']")});
    ASSERT_EQ(run(QStringLiteral("--unbind-keys")), 0);
    EXPECT_EQ(gsettings({QStringLiteral("get"), kShell, QStringLiteral("screenshot")}),
              QStringLiteral("['<Super>s', '<Shift>Print']"));
    EXPECT_EQ(gsettings({QStringLiteral("get"), kShell, QStringLiteral("show-screenshot-ui")}),
              QStringLiteral("['Print']"));
    gsettings({QStringLiteral("reset"), kShell, QStringLiteral("screenshot")});
    EXPECT_EQ(allKeys(), before);
}

}  // namespace
