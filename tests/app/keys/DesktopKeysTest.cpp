// `quiblo --bind-keys` and `--unbind-keys` on KDE Plasma's global shortcuts service and on
// Xfce's settings store, each the real daemon on a private session bus, the boxes answered with
// Return under a real window manager: the program's keys are bound, the screenshot tool's keys
// freed, a second binding changes nothing, and unbinding leaves every key as it was.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "support/TestSupport.h"
#include "support/WindowManagerSession.h"

using namespace quiblo::test;

namespace {

constexpr int kPrint = 0x01000009, kShift = 0x02000000, kAlt = 0x08000000, kMeta = 0x10000000;

// A session bus of its own, whose daemons (activated on demand) keep their files in `home`.
class PrivateBus {
public:
    PrivateBus(const QString& home, const QString& runtime) {
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(QStringLiteral("HOME"), home);
        env_.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env_.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        daemon_.setProcessEnvironment(env_);
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address=1")});
        if (daemon_.waitForReadyRead(10000))
            env_.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                        QString::fromUtf8(daemon_.readLine()).trimmed());
    }
    ~PrivateBus() {
        // The daemons it started end with the bus.
        daemon_.kill();
        daemon_.waitForFinished();
    }
    bool started() const { return env_.contains(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); }
    QString run(const QString& program, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(env_);
        process.start(program, arguments);
        process.waitForFinished(15000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    QProcessEnvironment env_;

private:
    QProcess daemon_;
};

class DesktopKeys : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* file : {"quiblo", "libimgctl.so"})
            ASSERT_TRUE(QFile::copy(buildProgramFolder() + QLatin1Char('/') + QLatin1String(file),
                                    program.file(QLatin1String(file))));
        ASSERT_TRUE(bus.started());
    }
    // The program with `option` on the desktop named, each of its boxes answered as a person
    // would: once it is the active window, Return (its default button). The exit code; -1,
    // with what was active, when the program did not end.
    int run(const char* desktop, const QString& option) {
        QProcess quiblo;
        QProcessEnvironment env = bus.env_;
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QLatin1String(desktop));
        quiblo.setProcessEnvironment(env);
        quiblo.start(program.file(QStringLiteral("quiblo")), {option});
        if (!quiblo.waitForStarted()) return -1;
        QElapsedTimer clock;
        clock.start();
        QString active;
        while (quiblo.state() != QProcess::NotRunning && clock.elapsed() < 45000) {
            const unsigned long window = windowManagerSession().activeWindow();
            active = window ? windowManagerSession().windowName(window) : QString();
            if (active == QStringLiteral("確認") || active == QStringLiteral("エラー")) {
                windowManagerSession().xdotool({QStringLiteral("key"), QStringLiteral("Return")});
                // The box goes before the next one comes: Return is pressed once a box.
                QDeadlineTimer answered(10000);
                while (windowManagerSession().activeWindow() == window && !answered.hasExpired() &&
                       !quiblo.waitForFinished(50)) {
                }
                if (answered.hasExpired()) {
                    ADD_FAILURE() << "Return did not answer the box " << active.toStdString();
                    break;
                }
            }
            quiblo.waitForFinished(100);
        }
        if (quiblo.state() != QProcess::NotRunning) {
            ADD_FAILURE() << "the program did not end; active: [" << active.toStdString() << "]";
            quiblo.kill();
            quiblo.waitForFinished();
            return -1;
        }
        if (quiblo.exitCode() != 0) ADD_FAILURE() << quiblo.readAllStandardError().data();
        return quiblo.exitCode();
    }

    TempFolder program, home, runtime;
    PrivateBus bus{home.path(), runtime.path()};
};

// KDE: kglobalaccel, with Spectacle's keys as Spectacle registers them.
class KdeKeys : public DesktopKeys {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(DesktopKeys::SetUp());
        // The launcher, installed, names the actions the keys run.
        ASSERT_TRUE(QDir().mkpath(home.file(QStringLiteral(".local/share/applications"))));
        ASSERT_TRUE(QFile::copy(
            QStringLiteral(QUIBLO_SOURCE_DIR "/data/io.github.quiblo.Quiblo.desktop"),
            home.file(
                QStringLiteral(".local/share/applications/io.github.quiblo.Quiblo.desktop"))));
        const std::pair<const char*, int> spectacle[] = {
            {"_launch", kPrint},
            {"FullScreenScreenShot", kShift | kPrint},
            {"ActiveWindowScreenShot", kMeta | kPrint}};
        for (const auto& [action, key] : spectacle) {
            const QString id = actionId("org.kde.spectacle.desktop", action);
            call("doRegister", {id});
            call("setShortcut", {id, QStringLiteral("[%1]").arg(key), QStringLiteral("2")});
        }
    }
    static QString actionId(const char* component, const char* action) {
        return QStringLiteral("['%1', '%2', '', '']")
            .arg(QLatin1String(component), QLatin1String(action));
    }
    QString call(const char* method, const QStringList& arguments) {
        return bus.run(
            QStringLiteral("gdbus"),
            QStringList{QStringLiteral("call"), QStringLiteral("--session"),
                        QStringLiteral("--dest"), QStringLiteral("org.kde.kglobalaccel"),
                        QStringLiteral("--object-path"), QStringLiteral("/kglobalaccel"),
                        QStringLiteral("--method"),
                        QStringLiteral("org.kde.KGlobalAccel.") + QLatin1String(method)} +
                arguments);
    }
    QString keysOf(const char* component, const char* action) {
        return call("shortcut", {actionId(component, action)});
    }
    QString spectacleKeys() {
        QString all;
        for (const char* action : {"_launch", "FullScreenScreenShot", "ActiveWindowScreenShot"})
            all += keysOf("org.kde.spectacle.desktop", action) + QLatin1Char(' ');
        return all;
    }
};

TEST_F(KdeKeys, BoundTwiceAndUnboundSpectacleHasItsKeysBack) {
    const QString before = spectacleKeys();
    ASSERT_EQ(before, QStringLiteral("([%1],) ([%2],) ([%3],) ")
                          .arg(kPrint)
                          .arg(kShift | kPrint)
                          .arg(kMeta | kPrint));

    ASSERT_EQ(run("KDE", QStringLiteral("--bind-keys")), 0);
    const char* component = "io.github.quiblo.Quiblo.desktop";
    EXPECT_EQ(keysOf(component, "CaptureFull"), QStringLiteral("([%1],)").arg(kPrint));
    EXPECT_EQ(keysOf(component, "CaptureWindow"), QStringLiteral("([%1],)").arg(kAlt | kPrint));
    EXPECT_EQ(keysOf(component, "CaptureRegion"), QStringLiteral("([%1],)").arg(kShift | kPrint));
    EXPECT_EQ(spectacleKeys(), QStringLiteral("(@ai [],) (@ai [],) ([%1],) ").arg(kMeta | kPrint));

    const QString once = spectacleKeys() + keysOf(component, "CaptureFull");
    ASSERT_EQ(run("KDE", QStringLiteral("--bind-keys")), 0);
    EXPECT_EQ(spectacleKeys() + keysOf(component, "CaptureFull"), once);

    ASSERT_EQ(run("KDE", QStringLiteral("--unbind-keys")), 0);
    EXPECT_EQ(spectacleKeys(), before);
    for (const char* action : {"CaptureFull", "CaptureWindow", "CaptureRegion"})
        EXPECT_FALSE(keysOf(component, action).contains(QString::number(kPrint & 0xffff)))
            << action;
}

// Xfce: application shortcuts in xfconf, keyed by the accelerator; Shift+Print not set before.
class XfceKeys : public DesktopKeys {
protected:
    QString query(const QStringList& arguments) {
        return bus.run(
            QStringLiteral("xfconf-query"),
            QStringList{QStringLiteral("-c"), QStringLiteral("xfce4-keyboard-shortcuts")} +
                arguments);
    }
    QString all() { return query({QStringLiteral("-lv")}); }
};

TEST_F(XfceKeys, BoundTwiceAndUnboundTheScreenshooterHasItsKeysBack) {
    for (const auto& [key, command] :
         {std::pair{"Print", "xfce4-screenshooter -f"},
          std::pair{"<Alt>Print", "xfce4-screenshooter -w"}, std::pair{"<Super>e", "thunar"}})
        query({QStringLiteral("-p"), QStringLiteral("/commands/custom/") + QLatin1String(key),
               QStringLiteral("-n"), QStringLiteral("-t"), QStringLiteral("string"),
               QStringLiteral("-s"), QLatin1String(command)});
    const QString before = all();
    ASSERT_TRUE(before.contains(QStringLiteral("xfce4-screenshooter -w"))) << before.toStdString();
    // A copy of the program already runs for this user: the keys are changed all the same.
    QProcess running;
    QProcessEnvironment env = bus.env_;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    running.setProcessEnvironment(env);
    running.start(program.file(QStringLiteral("quiblo")), {});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QFile::exists(runtime.file(QStringLiteral("quiblo.lock"))); }, 20000));

    ASSERT_EQ(run("XFCE", QStringLiteral("--bind-keys")), 0);
    const QString path = program.file(QStringLiteral("quiblo"));
    for (const auto& [key, type] : {std::pair{"Print", "full"}, std::pair{"<Alt>Print", "window"},
                                    std::pair{"<Shift>Print", "region"}})
        EXPECT_EQ(
            query({QStringLiteral("-p"), QStringLiteral("/commands/custom/") + QLatin1String(key)}),
            QStringLiteral("%1 --capture %2").arg(path, QLatin1String(type)));
    const QString once = all();
    ASSERT_EQ(run("XFCE", QStringLiteral("--bind-keys")), 0);
    EXPECT_EQ(all(), once);

    ASSERT_EQ(run("XFCE", QStringLiteral("--unbind-keys")), 0);
    EXPECT_EQ(all(), before);
    EXPECT_EQ(running.state(), QProcess::Running);
    running.kill();
    running.waitForFinished();
}

}  // namespace
