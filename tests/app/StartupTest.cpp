// Start-up: the image library check comes first, then the single-instance check.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "platform/ScriptedDesktop.h"
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
