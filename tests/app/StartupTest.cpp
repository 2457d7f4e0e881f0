// Start-up: the image library check comes first, then the single-instance check.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/MainWin.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;

namespace {

const QString kLibraryMissing = QStringLiteral(
    "Imgctl.dllが読み込めません。\r\nクイブロと同じフォルダ内または、システムフォルダ内に\r\n"
    "Imgctl.dllを配置してください。");
const QString kLibraryUnusable =
    QStringLiteral("Imgctl.dllの処理で、\r\n予期しないエラーが発生しました。");
const QString kAlreadyRunning = QStringLiteral("クイブロは既に起動しています。");

class StartupTest : public ::testing::Test {
protected:
    // Runs start-up with the given program folder; the lock lives in lockFolder.
    bool load(const QString& programFolder) {
        state = std::make_unique<AppState>(
            AppSeams{&desktop, programFolder, lockFolder.file(QStringLiteral("quiblo.lock"))});
        win = std::make_unique<MainWin>(*state);
        return win->Form_Load();
    }
    void expectOnlyBox(const QString& text) {
        ASSERT_EQ(desktop.shownBoxes.size(), 1);
        EXPECT_EQ(desktop.shownBoxes[0].text, text);
        EXPECT_EQ(desktop.shownBoxes[0].title, QStringLiteral("エラー"));
        EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Critical);
        EXPECT_EQ(desktop.shownBoxes[0].buttons, MsgButtons::Ok);
    }
    void copyLibrary(const QString& from, const test::TempFolder& to) {
        ASSERT_TRUE(QFile::copy(from, to.file(QStringLiteral("libimgctl.so"))));
    }

    test::TempFolder lockFolder;
    ScriptedDesktop desktop;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWin> win;
};

// A copy of the real program, running on with its own lock in a private runtime folder.
class RunningCopy {
public:
    explicit RunningCopy(const QString& runtimeFolder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(env);
        process_.start(test::buildProgramFolder() + QStringLiteral("/quiblo"), {});
        lock_ = runtimeFolder + QStringLiteral("/quiblo.lock");
    }
    ~RunningCopy() {
        process_.kill();
        process_.waitForFinished();
    }
    bool waitUntilLocked() {
        QDeadlineTimer deadline(20000);
        while (!QFile::exists(lock_) && !deadline.hasExpired()) {
            if (process_.state() == QProcess::NotRunning) return false;
            QThread::msleep(20);
        }
        return QFile::exists(lock_);
    }
    bool running() { return !process_.waitForFinished(300); }
    const QString& lockPath() const { return lock_; }

private:
    QProcess process_;
    QString lock_;
};

}  // namespace

TEST_F(StartupTest, MissingLibraryEndsStartUpWithItsMessage) {
    test::TempFolder empty;
    EXPECT_FALSE(load(empty.path()));
    expectOnlyBox(kLibraryMissing);
}

TEST_F(StartupTest, FileThatIsNoLibraryCountsAsMissing) {
    test::TempFolder folder;
    folder.write(QStringLiteral("libimgctl.so"), "not a library");
    EXPECT_FALSE(load(folder.path()));
    expectOnlyBox(kLibraryMissing);
}

TEST_F(StartupTest, LibraryLackingAFunctionEndsStartUpWithTheUnexpectedErrorMessage) {
    test::TempFolder folder;
    copyLibrary(QStringLiteral(QUIBLO_TEST_BIN_DIR "/libimgctl_lacking_delete.so"), folder);
    EXPECT_FALSE(load(folder.path()));
    expectOnlyBox(kLibraryUnusable);
}

TEST_F(StartupTest, LibraryInTheProgramFolderIsUsed) {
    test::TempFolder folder;
    copyLibrary(test::buildProgramFolder() + QStringLiteral("/libimgctl.so"), folder);
    EXPECT_TRUE(load(folder.path()));
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
}

TEST_F(StartupTest, SecondCopyIsRefusedAndTheFirstRunsOn) {
    RunningCopy first(lockFolder.path());
    ASSERT_TRUE(first.waitUntilLocked()) << "the first copy did not start";
    ASSERT_EQ(first.lockPath(), lockFolder.file(QStringLiteral("quiblo.lock")));

    EXPECT_FALSE(load(test::buildProgramFolder()));
    expectOnlyBox(kAlreadyRunning);
    EXPECT_TRUE(first.running()) << "the first copy was disturbed";
    EXPECT_TRUE(QFile::exists(first.lockPath()));
}

TEST_F(StartupTest, MissingLibraryIsReportedBeforeARunningCopy) {
    RunningCopy first(lockFolder.path());
    ASSERT_TRUE(first.waitUntilLocked());
    test::TempFolder empty;
    EXPECT_FALSE(load(empty.path()));
    expectOnlyBox(kLibraryMissing);
    EXPECT_TRUE(first.running());
}

TEST_F(StartupTest, CopyThatEndedLeavesTheWayFree) {
    {
        RunningCopy first(lockFolder.path());
        ASSERT_TRUE(first.waitUntilLocked());
    }  // killed: its lock file stays behind
    EXPECT_TRUE(load(test::buildProgramFolder()));
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
}

TEST_F(StartupTest, StaleRewriteFilesGoOnceTheLockIsHeld) {
    test::TempFolder folder;
    copyLibrary(test::buildProgramFolder() + QStringLiteral("/libimgctl.so"), folder);
    folder.write(QStringLiteral("Quiblo.dat"), "kept");
    folder.write(QStringLiteral("Quiblo.dat.Ab12Cd"), "left by a killed rewrite");
    folder.write(QStringLiteral("Quiblo.ini.zZ9y8X"), "left by a killed rewrite");
    EXPECT_TRUE(load(folder.path()));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Quiblo.dat.Ab12Cd"))));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("Quiblo.ini.zZ9y8X"))));
    EXPECT_EQ(folder.read(QStringLiteral("Quiblo.dat")), "kept");
}

TEST_F(StartupTest, RewriteFilesStayWhileAnotherCopyRuns) {
    RunningCopy first(lockFolder.path());
    ASSERT_TRUE(first.waitUntilLocked());
    test::TempFolder folder;
    copyLibrary(test::buildProgramFolder() + QStringLiteral("/libimgctl.so"), folder);
    folder.write(QStringLiteral("Quiblo.dat.Ab12Cd"), "the running copy's rewrite");
    EXPECT_FALSE(load(folder.path()));
    expectOnlyBox(kAlreadyRunning);
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("Quiblo.dat.Ab12Cd"))));
}

TEST_F(StartupTest, LockThatCannotBeTakenIsNoRunningCopy) {
    // The runtime folder is gone: the lock cannot be made, yet no copy runs.
    state = std::make_unique<AppState>(AppSeams{&desktop, test::buildProgramFolder(),
                                                lockFolder.file(QStringLiteral("gone/q.lock"))});
    win = std::make_unique<MainWin>(*state);
    EXPECT_TRUE(win->Form_Load());
    EXPECT_TRUE(desktop.shownBoxes.isEmpty());
}

TEST_F(StartupTest, ProgramFolderThatCannotBeWrittenIsSaidOnceAndTheProgramRuns) {
    AppSeams seams{&desktop, test::buildProgramFolder(), lockFolder.file(QStringLiteral("q.lock"))};
    seams.programFolder = QStringLiteral("/nowhere/.local/share/quiblo");
    seams.libraryFolder = test::buildProgramFolder();
    seams.programFolderWritable = false;
    state = std::make_unique<AppState>(seams);
    win = std::make_unique<MainWin>(*state);
    EXPECT_TRUE(win->Form_Load());
    expectOnlyBox(
        QStringLiteral("設定と履歴を保存するフォルダに書き込めません。\r\n"
                       "/nowhere/.local/share/quiblo\r\n"
                       "設定の保存、画像の送信、履歴の記録は失敗します。"));
}

// The command line of the program itself: no window is made for these.
TEST(CommandLine, HelpVersionAndWrongArgumentsAnswerWithoutAWindow) {
    auto run = [](const QStringList& arguments, QByteArray* out, QByteArray* err) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));  // a window would end the program with an abort
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(env);
        process.start(test::buildProgramFolder() + QStringLiteral("/quiblo"), arguments);
        process.waitForFinished(10000);
        *out = process.readAllStandardOutput();
        *err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    QByteArray out, err;
    EXPECT_EQ(run({QStringLiteral("--version")}, &out, &err), 0);
    EXPECT_TRUE(out.startsWith("quiblo 1.3\nLicense GPL-3.0-or-later")) << out.toStdString();
    for (const char* help : {"--help", "-h"}) {
        EXPECT_EQ(run({QString::fromLatin1(help)}, &out, &err), 0) << help;
        EXPECT_TRUE(out.startsWith(
            "使い方: quiblo [--capture full|window|region] [--bind-keys] [--unbind-keys]\n"))
            << help << ": " << out.data();
    }
    EXPECT_TRUE(err.isEmpty());
    for (const QStringList& wrong :
         {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("--capture")},
          QStringList{QStringLiteral("--capture"), QStringLiteral("desk")},
          QStringList{QStringLiteral("full")}}) {
        EXPECT_EQ(run(wrong, &out, &err), 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(out.isEmpty());
        EXPECT_TRUE(err.contains("使い方: quiblo")) << err.data();
    }
}

TEST(CommandLine, CaptureTypesByName) {
    EXPECT_EQ(parseCommandLine({}).action, CommandLine::Action::Run);
    EXPECT_EQ(parseCommandLine({}).captureType, 0);
    const struct {
        QStringList arguments;
        int type;
    } cases[] = {{{QStringLiteral("--capture"), QStringLiteral("full")}, 1},
                 {{QStringLiteral("--capture=window")}, 2},
                 {{QStringLiteral("--capture"), QStringLiteral("region")}, 3}};
    for (const auto& c : cases) {
        const CommandLine line = parseCommandLine(c.arguments);
        EXPECT_EQ(line.action, CommandLine::Action::Run);
        EXPECT_EQ(line.captureType, c.type);
        EXPECT_EQ(captureTypeOfName(captureRequest(c.type).section(' ', 1)), c.type);
    }
}
