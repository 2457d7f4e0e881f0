// The program as it is installed: `cmake --install` into a temporary prefix, the launcher and
// the metainfo checked by their validators, the installed copy run as the ordinary user "nobody"
// (read-only program folder, temporary HOME) under its own X server with a window manager,
// uploading to the reference service; and the .deb with its contents and dependencies, installed
// by apt and used the same way.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

#include "support/ReferenceService.h"
#include "support/TestSupport.h"
#include "support/UserFaults.h"
#include "support/WindowManagerSession.h"

namespace {

const QString kId = QStringLiteral("io.github.quiblo.Quiblo");
const QString kMainTitle = QStringLiteral("クイブロ  v1.3");
const QString kPreviewTitle = QStringLiteral("クイブロ - 確認ウィンドウ");

struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result run(const QString& program, const QStringList& arguments, int timeoutMs = 60000,
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Result result;
    if (!process.waitForStarted(10000)) {
        result.err = "cannot start " + program.toUtf8();
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) process.kill();
    process.waitForFinished();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit) result.exitCode = process.exitCode();
    return result;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (condition()) return true;
        QThread::msleep(100);
    }
    return condition();
}

// A temporary folder that the user "nobody" may enter.
class OpenFolder {
public:
    OpenFolder() { quiblo::test::openToUnprivileged(dir_.path()); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    // A folder inside, owned by nobody with the given mode.
    QString userFolder(const QString& name, int mode) const {
        const QString folder = file(name);
        QDir().mkpath(folder);
        quiblo::test::openToUnprivileged(folder, /*own=*/true);
        ::chmod(QFile::encodeName(folder).constData(), mode_t(mode));
        return folder;
    }

private:
    QTemporaryDir dir_;
};

// The build installed into a temporary prefix.
class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        const Result installed = run(QStringLiteral(QUIBLO_CMAKE_COMMAND),
                                     {QStringLiteral("--install"), QStringLiteral(QUIBLO_BUILD_DIR),
                                      QStringLiteral("--prefix"), prefix.path()});
        ASSERT_EQ(installed.exitCode, 0) << installed.err.data();
    }
    QString at(const QString& relative) const { return prefix.file(relative); }

    OpenFolder prefix;
};

// An X server of 1024 by 768 with a window manager, for the life of the object.
class XSession {
public:
    bool ready() const { return wm_.running(); }
    QString display() const { return QString::fromStdString(wm_.name()); }

    Result xdotool(const QStringList& arguments) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display());
        return run(QStringLiteral("xdotool"), arguments, 10000, env);
    }
    // The windows whose title is exactly title, as X window ids.
    QStringList windows(const QString& title) const {
        const Result found =
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), '^' + QRegularExpression::escape(title) + '$'});
        return QString::fromUtf8(found.out).split('\n', Qt::SkipEmptyParts);
    }
    qint64 pidOf(const QString& window) const {
        return xdotool({QStringLiteral("getwindowpid"), window}).out.trimmed().toLongLong();
    }
    // True once the window manager has given the focus to a window of that title, as a person
    // waits for a window to come to the front before typing.
    bool focusReaches(const QString& title) const {
        return waitFor(
            [&] {
                const QByteArray active =
                    xdotool({QStringLiteral("getactivewindow")}).out.trimmed();
                return !active.isEmpty() && windows(title).contains(QString::fromLatin1(active));
            },
            10000);
    }
    // A key pressed as on a keyboard: it goes to the window that has the focus.
    void press(const QString& key) const { xdotool({QStringLiteral("key"), key}); }

private:
    quiblo::test::WindowManagerSession wm_{QSize(1024, 768)};
};

// The installed program run as nobody with its own HOME and runtime folder.
class UserProgram {
public:
    UserProgram(const QString& program, const QProcessEnvironment& env) : program_(program) {
        env_ = env;
    }
    void start(const QStringList& arguments) {
        process_.setProcessEnvironment(env_);
        process_.start(QStringLiteral("setpriv"), asNobody(arguments));
        process_.waitForStarted(10000);
    }
    // Runs to its end: exit code, or -1.
    Result runToEnd(const QStringList& arguments, int timeoutMs) const {
        return run(QStringLiteral("setpriv"), asNobody(arguments), timeoutMs, env_);
    }
    qint64 pid() const { return process_.processId(); }
    bool running() const { return process_.state() == QProcess::Running; }
    int waitForExit(int timeoutMs) {
        if (!process_.waitForFinished(timeoutMs)) return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    QByteArray errors() { return process_.readAllStandardError(); }
    ~UserProgram() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished();
    }

private:
    QStringList asNobody(const QStringList& arguments) const {
        return QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                           QStringLiteral("--clear-groups"), QStringLiteral("--"), program_} +
               arguments;
    }

    QString program_;
    QProcessEnvironment env_;
    QProcess process_;
};

// An installed copy run as an ordinary user: the fixture for the tests that need root.
class InstalledForUser : public Installed {
protected:
    void SetUp() override {
        if (!quiblo::test::runningAsRoot())
            GTEST_SKIP() << "running the installed copy as another user needs root";
        Installed::SetUp();
        ASSERT_TRUE(session.ready()) << "no X server with a window manager";
        home = user.userFolder(QStringLiteral("home"), 0755);
        runtime = user.userFolder(QStringLiteral("runtime"), 0700);
        programPath = at(QStringLiteral("bin/quiblo"));
    }
    QProcessEnvironment environment(const QString& runtimeFolder) const {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
        env.insert(QStringLiteral("DISPLAY"), session.display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("ja"));  // a Japanese user
        return env;
    }
    std::unique_ptr<UserProgram> program(const QProcessEnvironment& env) const {
        return std::make_unique<UserProgram>(programPath, env);
    }
    bool windowShown(const QString& title, int timeoutMs = 20000) const {
        return waitFor([&] { return !session.windows(title).isEmpty(); }, timeoutMs);
    }
    QString dataFolder() const { return home + QStringLiteral("/.local/share/quiblo"); }
    // Where the program learns the service's address.
    enum class Address { Environment, SystemFile };
    void uploadsAWholeScreen(Address address = Address::Environment);
    // The code of the picture the history records once the upload is done, or empty.
    QString awaitUploadedCode(UserProgram& quiblo);
    // The text on the clipboard of the session.
    QString clipboard() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), session.display());
        return QString::fromUtf8(
            run(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")},
                10000, env)
                .out);
    }

    QString programPath;
    XSession session;
    OpenFolder user;
    QString home;
    QString runtime;
};

QStringList listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Two tests use apt at once: the second waits for the first's lock instead of failing.
const QString kWaitForAptLock = QStringLiteral("-oDPkg::Lock::Timeout=120");

// Packs the build's install rules into the .debs in folder; the path of the one of `package`,
// or nothing (and a failure).
QString buildDeb(const QString& folder, const QString& package = QStringLiteral("quiblo")) {
    const Result packed =
        run(QStringLiteral(QUIBLO_CPACK_COMMAND),
            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
             QStringLiteral(QUIBLO_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), folder},
            170000);
    EXPECT_EQ(packed.exitCode, 0) << packed.out.data() << packed.err.data();
    const QStringList debs = QDir(folder).entryList({package + QStringLiteral("_*.deb")});
    EXPECT_EQ(debs.size(), 1) << package.toStdString();
    return debs.size() == 1 ? QDir(folder).filePath(debs[0]) : QString();
}

bool packageInstalled(const QString& package = QStringLiteral("quiblo")) {
    return run(QStringLiteral("dpkg-query"),
               {QStringLiteral("-W"), QStringLiteral("-f=${Status}"), package})
        .out.contains("install ok installed");
}

// Installs a .deb with apt as a user would, its dependencies with it.
Result aptInstall(const QString& deb) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    return run(QStringLiteral("apt-get"),
               {QStringLiteral("install"), QStringLiteral("--yes"),
                QStringLiteral("--no-install-recommends"), kWaitForAptLock, deb},
               300000, env);
}

// Purges a package with apt, which waits for another apt or dpkg as installing does (dpkg
// itself fails at once on a held lock); on a lock held too long it names the lock and its holder.
Result aptPurge(const QString& package) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    return run(QStringLiteral("apt-get"),
               {QStringLiteral("purge"), QStringLiteral("--yes"), kWaitForAptLock, package}, 300000,
               env);
}

// The .deb installed by apt as a user would install it, and used by an ordinary user. The one
// test that changes the machine: it runs only as root where no quiblo package is installed
// already, and purges the package again.
class PackageInstalledForUser : public InstalledForUser {
protected:
    void SetUp() override {
        InstalledForUser::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (packageInstalled()) GTEST_SKIP() << "a quiblo package is installed here; left alone";
        const QString deb = buildDeb(debFolder.path());
        ASSERT_FALSE(deb.isEmpty());
        const Result installed = aptInstall(deb);
        installedHere = packageInstalled();
        ASSERT_EQ(installed.exitCode, 0) << installed.out.data() << installed.err.data();
        ASSERT_TRUE(installedHere);
        programPath = QStringLiteral("/usr/bin/quiblo");
    }
    void TearDown() override {
        if (!installedHere) return;
        const Result purged = aptPurge(QStringLiteral("quiblo"));
        EXPECT_EQ(purged.exitCode, 0) << purged.out.data() << purged.err.data();
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/usr/bin/quiblo")));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/usr/lib/quiblo")));
    }

    QTemporaryDir debFolder;
    bool installedHere = false;
};

}  // namespace

TEST_F(Installed, LaysOutTheProgramItsLibraryLauncherIconsAndMetainfo) {
    EXPECT_TRUE(QFileInfo(at(QStringLiteral("bin/quiblo"))).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(at(QStringLiteral("lib/quiblo/libimgctl.so"))));
    EXPECT_EQ(listing(at(QStringLiteral("bin"))), QStringList{QStringLiteral("quiblo")});

    const QString launcher = at("share/applications/" + kId + ".desktop");
    const Result desktop = run(QStringLiteral("desktop-file-validate"), {launcher});
    EXPECT_EQ(desktop.exitCode, 0) << desktop.out.data() << desktop.err.data();
    EXPECT_TRUE(desktop.out.isEmpty()) << desktop.out.data();
    const QString metainfo = at("share/metainfo/" + kId + ".metainfo.xml");
    const Result appstream =
        run(QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    EXPECT_EQ(appstream.exitCode, 0) << appstream.out.data() << appstream.err.data();

    QSettings entry(launcher, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    EXPECT_EQ(entry.value(QStringLiteral("Exec")).toString(), QStringLiteral("quiblo"));
    EXPECT_EQ(entry.value(QStringLiteral("Icon")).toString(), kId);
    EXPECT_EQ(entry.value(QStringLiteral("X-KDE-DBUS-Restricted-Interfaces")).toString(),
              QStringLiteral("org.kde.KWin.ScreenShot2"));
    entry.endGroup();
    QFile text(launcher);
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QByteArray content = text.readAll();
    EXPECT_TRUE(content.contains("\nName[ja]=クイブロ\n"));
    // Every text a person reads is there in English and in Japanese: a key with one and not the
    // other shows half a launcher to half its users.
    QStringList plain, japanese;
    for (const QByteArray& line : content.split('\n')) {
        const QByteArray key = line.left(line.indexOf('='));
        if (key.endsWith("[ja]")) japanese << QString::fromUtf8(key.chopped(4));
        if (key == "Name" || key == "GenericName" || key == "Comment" || key == "Keywords")
            plain << QString::fromUtf8(key);
    }
    EXPECT_EQ(japanese, plain);
    QFile info(metainfo);
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QString infoText = QString::fromUtf8(info.readAll());
    for (const char* element : {"name", "summary", "p"}) {
        const QString tag = QLatin1Char('<') + QLatin1String(element);
        EXPECT_EQ(infoText.count(tag + QLatin1Char('>')), infoText.count(tag + " xml:lang=\"ja\">"))
            << element;
    }
    for (const char* type : {"full", "window", "region"})
        EXPECT_TRUE(content.contains(QByteArray("\nExec=quiblo --capture ") + type + '\n')) << type;

    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(at(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + kId +
                             QStringLiteral(".png")));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
        EXPECT_TRUE(icon.hasAlphaChannel());
    }
    QFile svg(at("share/icons/hicolor/scalable/apps/" + kId + ".svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg xmlns=\"http://www.w3.org/2000/svg\""));
}

// Captures the whole screen from the command line, confirms with the keyboard and waits for the
// upload's record in the user's history.
QString InstalledForUser::awaitUploadedCode(UserProgram& quiblo) {
    const QString history = dataFolder() + QStringLiteral("/Quiblo.dat");
    static const QRegularExpression record(QStringLiteral("\r\n(\\d{18}),\\d{14},\\d{14}\r\n$"));
    QString code;
    const bool recorded = waitFor(
        [&] {
            QFile file(history);
            if (!file.open(QIODevice::ReadOnly)) return false;
            const auto match = record.match(QString::fromLatin1(file.readAll()));
            code = match.captured(1);
            return match.hasMatch();
        },
        30000);
    EXPECT_TRUE(recorded) << "no record in " << history.toStdString() << "; "
                          << quiblo.errors().data();
    return recorded ? code : QString();
}

void InstalledForUser::uploadsAWholeScreen(Address address) {
    quiblo::test::ReferenceService service;
    ASSERT_TRUE(service.started()) << service.startError().toStdString();
    QProcessEnvironment env = environment(runtime);
    const QString systemFile = QStringLiteral("/etc/xdg/quiblo/Quiblo.ini");
    std::shared_ptr<void> removeSystemFile;
    if (address == Address::Environment) {
        env.insert(QStringLiteral("QUIBLO_SERVICE_HOST"), service.host());
        env.insert(QStringLiteral("QUIBLO_FTP_PORT"), QString::number(service.ftpPort()));
    } else {
        ASSERT_FALSE(QFileInfo::exists(systemFile)) << "left alone: " << systemFile.toStdString();
        ASSERT_TRUE(QDir().mkpath(QStringLiteral("/etc/xdg/quiblo")));
        removeSystemFile.reset(static_cast<void*>(nullptr), [systemFile](void*) {
            QFile::remove(systemFile);
            QDir().rmdir(QStringLiteral("/etc/xdg/quiblo"));
        });
        QFile file(systemFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[Quiblo]\r\nServiceHost=%1\r\nFtpPort=%2\r\n")
                       .arg(service.host())
                       .arg(service.ftpPort())
                       .toLatin1());
    }
    auto quiblo = program(env);
    quiblo->start({QStringLiteral("--capture"), QStringLiteral("full")});

    ASSERT_TRUE(windowShown(kPreviewTitle)) << quiblo->errors().data();
    ASSERT_TRUE(session.focusReaches(kPreviewTitle));
    session.press(QStringLiteral("Return"));  // "はい(&Y)" is the window's default button

    const QString code = awaitUploadedCode(*quiblo);
    ASSERT_FALSE(code.isEmpty());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(dataFolder()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "the user's folder is private";
    EXPECT_EQ(info.st_uid, ::getpwnam("nobody")->pw_uid);
    EXPECT_EQ(listing(dataFolder()),
              (QStringList{QStringLiteral("Quiblo.dat"), QStringLiteral("thumbs")}))
        << "the work file stayed";
    // The history's picture of it, in the user's folder too, private to the user.
    const QString thumbs = dataFolder() + QStringLiteral("/thumbs");
    ASSERT_EQ(::lstat(QFile::encodeName(thumbs).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getpwnam("nobody")->pw_uid);
    EXPECT_EQ(listing(thumbs), QStringList{code + QStringLiteral(".png")});
    const QImage uploaded(service.pictureFile(code));
    EXPECT_EQ(uploaded.size(), QSize(1024, 768)) << "the service holds no whole screen";
    EXPECT_TRUE(quiblo->running());
}

// The service's address typed into the settings window by keys, with no variable in the
// environment: the upload goes there, and the URL copied from the main window points at it.
TEST_F(InstalledForUser, ServiceAddressTypedIntoTheSettingsIsUsed) {
    quiblo::test::ReferenceService service;
    ASSERT_TRUE(service.started()) << service.startError().toStdString();
    auto quiblo = program(environment(runtime));
    quiblo->start({});
    ASSERT_TRUE(windowShown(kMainTitle)) << quiblo->errors().data();
    ASSERT_TRUE(session.focusReaches(kMainTitle));

    const QString settingsTitle = QStringLiteral("クイブロ - 高度な設定");
    session.press(QStringLiteral("F9"));
    ASSERT_TRUE(windowShown(settingsTitle));
    ASSERT_TRUE(session.focusReaches(settingsTitle));
    const QString settings = session.windows(settingsTitle).value(0);
    // Each box clicked where it is drawn, then typed into.
    const std::pair<QPoint, QString> boxes[] = {
        {QPoint(60, 239), service.host()}, {QPoint(305, 239), QString::number(service.ftpPort())}};
    for (const auto& [at, text] : boxes) {
        session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), settings,
                         QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                         QStringLiteral("1")});
        session.xdotool(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
    }
    session.press(QStringLiteral("Escape"));  // closes with the close button: the settings kept
    ASSERT_TRUE(waitFor([&] { return session.windows(settingsTitle).isEmpty(); }, 10000))
        << "the settings window refused what was typed";
    QFile ini(dataFolder() + QStringLiteral("/Quiblo.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray stored = ini.readAll();
    EXPECT_TRUE(stored.contains("ServiceHost=" + service.host().toLatin1() + "\r\n"))
        << stored.data();
    EXPECT_TRUE(stored.contains("FtpPort=" + QByteArray::number(service.ftpPort()) + "\r\n"))
        << stored.data();

    ASSERT_TRUE(session.focusReaches(kMainTitle));
    session.press(QStringLiteral("F5"));
    ASSERT_TRUE(windowShown(kPreviewTitle)) << quiblo->errors().data();
    ASSERT_TRUE(session.focusReaches(kPreviewTitle));
    session.press(QStringLiteral("Return"));
    const QString code = awaitUploadedCode(*quiblo);
    ASSERT_FALSE(code.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(service.pictureFile(code)));

    ASSERT_TRUE(session.focusReaches(kMainTitle));
    session.press(QStringLiteral("alt+c"));  // "URLをコピー(&C)"
    ASSERT_TRUE(windowShown(QStringLiteral("確認")));
    ASSERT_TRUE(session.focusReaches(QStringLiteral("確認")));
    EXPECT_TRUE(clipboard().startsWith(QStringLiteral("http://") + service.host() +
                                       QStringLiteral("/view.cgi?")))
        << clipboard().toStdString();
    session.press(QStringLiteral("Return"));
}

TEST_F(InstalledForUser, UploadsFromAReadOnlyProgramFolderIntoTheUsersDataFolder) {
    uploadsAWholeScreen();
    EXPECT_EQ(listing(at(QStringLiteral("bin"))), QStringList{QStringLiteral("quiblo")});
}

TEST_F(InstalledForUser, CaptureFromAShortcutGoesToTheRunningCopy) {
    auto first = program(environment(runtime));
    first->start({});
    ASSERT_TRUE(windowShown(kMainTitle)) << first->errors().data();

    // A bare second start says the program runs, and ends once that is acknowledged.
    auto second = program(environment(runtime));
    second->start({});
    ASSERT_TRUE(windowShown(QStringLiteral("エラー"))) << second->errors().data();
    ASSERT_TRUE(session.focusReaches(QStringLiteral("エラー")));
    session.press(QStringLiteral("Return"));
    EXPECT_EQ(second->waitForExit(10000), 1);

    // The shortcut's start hands the capture over and ends at once, without a window.
    const Result shortcut =
        program(environment(runtime))
            ->runToEnd({QStringLiteral("--capture"), QStringLiteral("full")}, 10000);
    EXPECT_EQ(shortcut.exitCode, 0) << shortcut.err.data();
    ASSERT_TRUE(windowShown(kPreviewTitle)) << first->errors().data();
    const QStringList previews = session.windows(kPreviewTitle);
    ASSERT_EQ(previews.size(), 1);
    EXPECT_EQ(session.pidOf(previews[0]), first->pid()) << "another copy opened it";
    EXPECT_EQ(session.windows(kMainTitle).size(), 1);
    EXPECT_TRUE(first->running());
}

TEST_F(InstalledForUser, ReadOnlyRuntimeFolderIsNoRunningCopy) {
    // The runtime folder belongs to root: nobody can make the lock there.
    const QString readOnly = user.file(QStringLiteral("root-runtime"));
    ASSERT_TRUE(QDir().mkpath(readOnly));
    quiblo::test::openToUnprivileged(readOnly);
    auto quiblo = program(environment(readOnly));
    quiblo->start({});
    EXPECT_TRUE(windowShown(kMainTitle)) << quiblo->errors().data();
    EXPECT_TRUE(session.windows(QStringLiteral("エラー")).isEmpty())
        << "a lock error read as a running copy";
    EXPECT_TRUE(quiblo->running());
}

// The .deb: built by CPack from the install rules, its dependencies found by dpkg-shlibdeps.
TEST(Package, DebCarriesTheInstalledLayoutAndTheLibrariesItNeeds) {
    QTemporaryDir output;
    const QString deb = buildDeb(output.path());
    ASSERT_FALSE(deb.isEmpty());
    EXPECT_EQ(QFileInfo(deb).fileName(), QStringLiteral("quiblo_1.3_amd64.deb"));

    const QByteArray contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}).out;
    for (const QString& path :
         {QStringLiteral("./usr/bin/quiblo"), QStringLiteral("./usr/lib/quiblo/libimgctl.so"),
          "./usr/share/applications/" + kId + ".desktop",
          "./usr/share/metainfo/" + kId + ".metainfo.xml",
          "./usr/share/icons/hicolor/scalable/apps/" + kId + ".svg",
          "./usr/share/icons/hicolor/48x48/apps/" + kId + ".png",
          "./usr/share/icons/hicolor/256x256/apps/" + kId + ".png",
          QStringLiteral("./usr/share/doc/quiblo/copyright")})
        EXPECT_TRUE(contents.contains(' ' + path.toUtf8() + '\n')) << path.toStdString();
    EXPECT_FALSE(contents.contains("tests/")) << "test programs went into the package";
    EXPECT_TRUE(contents.contains("root/root")) << "files are owned by root";

    // Its dependencies resolve against this system's archive (simulated: nothing is installed).
    const Result simulated = run(QStringLiteral("apt-get"),
                                 {QStringLiteral("install"), QStringLiteral("--simulate"),
                                  QStringLiteral("--no-install-recommends"), kWaitForAptLock, deb},
                                 120000);
    EXPECT_EQ(simulated.exitCode, 0) << simulated.out.data() << simulated.err.data();
    EXPECT_TRUE(simulated.out.contains("Inst quiblo ")) << simulated.out.data();

    const QString depends = QString::fromUtf8(
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")})
            .out);
    for (const char* package :
         {"libc6", "libqt6core6", "libqt6widgets6", "libqt6network6", "libcurl4", "libdeflate0",
          "libimagequant0", "libxcb1", "qt6-qpa-plugins"})
        EXPECT_TRUE(depends.contains(QRegularExpression(
            QStringLiteral("(^|, )") + QString::fromLatin1(package) + QStringLiteral("( |,|$)"))))
            << package << " missing from: " << depends.toStdString();
}

// A fresh user of the installed package, with the service's address only in the system-wide
// settings file an administrator writes.
TEST_F(PackageInstalledForUser, UploadsAsAnOrdinaryUserToTheServiceTheSystemNames) {
    EXPECT_TRUE(QFileInfo(QStringLiteral("/usr/lib/quiblo/libimgctl.so")).isFile());
    EXPECT_TRUE(QFileInfo::exists("/usr/share/applications/" + kId + ".desktop"));
    uploadsAWholeScreen(Address::SystemFile);
}

namespace {

// A free TCP port on loopback.
int freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// The value of `key=` in the unit's text.
QString unitValue(const QString& unit, const QString& key) {
    const QRegularExpression line(QStringLiteral("^") + key + QStringLiteral("=(.*)$"),
                                  QRegularExpression::MultilineOption);
    return line.match(unit).captured(1).trimmed();
}

// The service's package installed by apt, and purged again with its user.
class ServicePackage : public ::testing::Test {
protected:
    void SetUp() override {
        if (!quiblo::test::runningAsRoot())
            GTEST_SKIP() << "installing a package and running as its user need root";
        if (packageInstalled(QStringLiteral("quiblo-service")) || ::getpwnam("quiblo-service"))
            GTEST_SKIP() << "a quiblo-service package or user is here already; left alone";
        deb = buildDeb(debFolder.path(), QStringLiteral("quiblo-service"));
        ASSERT_FALSE(deb.isEmpty());
    }
    void install() {
        const Result installed = aptInstall(deb);
        installedHere = true;
        ASSERT_EQ(installed.exitCode, 0) << installed.out.data() << installed.err.data();
    }
    void TearDown() override {
        if (!installedHere) return;
        const Result purged = aptPurge(QStringLiteral("quiblo-service"));
        EXPECT_EQ(purged.exitCode, 0) << purged.out.data() << purged.err.data();
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/var/lib/quiblo-service")));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/etc/quiblo-service")));
        run(QStringLiteral("deluser"),
            {QStringLiteral("--system"), QStringLiteral("quiblo-service")});
    }

    QTemporaryDir debFolder;
    QString deb;
    bool installedHere = false;
};

}  // namespace

// The service's .deb: its files and dependencies, its unit accepted by systemd, and the service
// started exactly as the unit starts it, as the unit's user, serving on the configured ports
// with its data in the unit's state folder.
TEST_F(ServicePackage, CarriesAHardenedUnitAndRunsAsItSays) {
    EXPECT_EQ(QFileInfo(deb).fileName(), QStringLiteral("quiblo-service_1.3_all.deb"));
    const QByteArray contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}).out;
    for (const char* path : {"./usr/bin/quiblo-service -> ../lib/quiblo-service/quiblo-service",
                             "./usr/lib/quiblo-service/quiblo-service\n",
                             "./usr/lib/quiblo-service/quiblo_service/store/postgresql.py\n",
                             "./usr/share/doc/quiblo-service/examples/postgresql.conf\n",
                             "./usr/lib/systemd/system/quiblo-service.service\n",
                             "./etc/quiblo-service/quiblo-service.conf\n",
                             "./usr/share/doc/quiblo-service/README.md\n",
                             "./usr/share/doc/quiblo-service/copyright\n"})
        EXPECT_TRUE(contents.contains(path)) << path;
    auto field = [&](const char* name) {
        return run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QLatin1String(name)})
            .out.trimmed();
    };
    EXPECT_EQ(field("Architecture"), "all");
    for (const char* package : {"python3", "python3-pyftpdlib", "python3-openssl", "adduser"})
        EXPECT_TRUE(
            QString::fromUtf8(field("Depends"))
                .contains(QRegularExpression(QStringLiteral("(^|, )") + QLatin1String(package) +
                                             QStringLiteral("( |,|$)"))))
            << package;
    EXPECT_TRUE(field("Recommends").contains("python3-psycopg"));
    EXPECT_TRUE(field("Suggests").contains("postgresql"));

    ASSERT_NO_FATAL_FAILURE(install());
    // The tests' controls never ship: no installed file names them, no help offers them. (The
    // bare word "_control" is in pyftpdlib's own option tls_control_required.)
    const Result controls =
        run(QStringLiteral("grep"),
            {QStringLiteral("-rlE"), QStringLiteral("/_control|ftp_cut|test.controls"),
             QStringLiteral("/usr/lib/quiblo-service"), QStringLiteral("/usr/bin/quiblo-service"),
             QStringLiteral("/etc/quiblo-service"), QStringLiteral("/usr/share/doc/quiblo-service"),
             QStringLiteral("/usr/lib/systemd/system/quiblo-service.service")});
    EXPECT_EQ(controls.exitCode, 1) << controls.out.data();
    for (const QStringList& help :
         {QStringList{QStringLiteral("--help")},
          QStringList{QStringLiteral("serve"), QStringLiteral("--help")}}) {
        const Result shown = run(QStringLiteral("/usr/bin/quiblo-service"), help);
        EXPECT_EQ(shown.exitCode, 0);
        EXPECT_TRUE(shown.out.contains("usage: quiblo-service"));
        for (const char* option : {"test-controls", "clock-offset", "_control"})
            EXPECT_FALSE(shown.out.contains(option)) << option;
    }
    const QString unitPath = QStringLiteral("/usr/lib/systemd/system/quiblo-service.service");
    const Result verified =
        run(QStringLiteral("systemd-analyze"), {QStringLiteral("verify"), unitPath}, 60000);
    EXPECT_EQ(verified.exitCode, 0) << verified.out.data() << verified.err.data();
    QFile unitFile(unitPath);
    ASSERT_TRUE(unitFile.open(QIODevice::ReadOnly));
    const QString unit = QString::fromUtf8(unitFile.readAll());
    for (const char* hardening : {"NoNewPrivileges", "ProtectSystem", "ProtectHome", "PrivateTmp"})
        EXPECT_FALSE(unitValue(unit, QLatin1String(hardening)).isEmpty()) << hardening;
    EXPECT_EQ(unitValue(unit, QStringLiteral("ProtectSystem")), QStringLiteral("strict"));
    EXPECT_EQ(unitValue(unit, QStringLiteral("ExecReload")),
              QStringLiteral("/bin/kill -HUP $MAINPID"));
    const QString user = unitValue(unit, QStringLiteral("User"));
    const QString stateFolder =
        QStringLiteral("/var/lib/") + unitValue(unit, QStringLiteral("StateDirectory"));
    const QStringList command =
        unitValue(unit, QStringLiteral("ExecStart")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_EQ(user, QStringLiteral("quiblo-service"));
    ASSERT_FALSE(command.isEmpty());

    // The administrator's ports, in the configuration file the unit names.
    const int httpPort = freePort(), ftpPort = freePort();
    const QString configPath = QStringLiteral("/etc/quiblo-service/quiblo-service.conf");
    QFile config(configPath);
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(config.readAll());
    config.close();
    text.replace(QRegularExpression(QStringLiteral("(?m)^http-port = .*$")),
                 QStringLiteral("http-port = %1").arg(httpPort));
    text.replace(QRegularExpression(QStringLiteral("(?m)^ftp-port = .*$")),
                 QStringLiteral("ftp-port = %1").arg(ftpPort));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write(text.toUtf8());
    config.close();

    QProcess service;
    service.start(QStringLiteral("setpriv"),
                  QStringList{QStringLiteral("--reuid=") + user, QStringLiteral("--regid=") + user,
                              QStringLiteral("--init-groups"), QStringLiteral("--")} +
                      command);
    ASSERT_TRUE(service.waitForReadyRead(20000)) << service.readAllStandardError().data();
    EXPECT_EQ(service.readLine().trimmed(),
              QStringLiteral("quiblo-service listening http=%1 ftp=%2")
                  .arg(httpPort)
                  .arg(ftpPort)
                  .toUtf8());
    const Result page =
        run(QStringLiteral("curl"),
            {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
             QStringLiteral("-w"), QStringLiteral("%{http_code}"),
             QStringLiteral("http://127.0.0.1:%1/").arg(httpPort)});
    EXPECT_EQ(page.out, "200");
    struct stat info {};
    ASSERT_EQ(::stat((stateFolder + QStringLiteral("/quiblo.sqlite3")).toUtf8().constData(), &info),
              0)
        << "no database in " << stateFolder.toStdString();
    EXPECT_EQ(info.st_uid, ::getpwnam("quiblo-service")->pw_uid);
    service.terminate();
    EXPECT_TRUE(service.waitForFinished(10000));
    EXPECT_EQ(service.exitCode(), 0) << service.readAllStandardError().data();
}
