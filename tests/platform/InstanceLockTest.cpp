#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include "platform/SingleInstance.h"
#include "support/ReferenceService.h"
#include "support/TestSupport.h"
#include "support/UserFaults.h"

using namespace quiblo;

TEST(InstanceLock, SecondHolderIsRefusedUntilTheFirstEnds) {
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("quiblo.lock"));
    {
        InstanceLock first(path);
        ASSERT_TRUE(first.tryAcquire());
        EXPECT_TRUE(first.tryAcquire()) << "the holder asking again is still the holder";
        InstanceLock second(path);
        EXPECT_FALSE(second.tryAcquire());
    }
    InstanceLock third(path);
    EXPECT_TRUE(third.tryAcquire());
}

TEST(InstanceLock, LockOfADeadCopyIsTakenOver) {
    test::TempFolder folder;
    // A lock file as a copy leaves it when it is killed: its process no longer exists.
    folder.write(QStringLiteral("quiblo.lock"),
                 QByteArray("999999999\nquiblo\n") + QSysInfo::machineHostName().toUtf8() + "\n");
    InstanceLock lock(folder.file(QStringLiteral("quiblo.lock")));
    EXPECT_TRUE(lock.tryAcquire());
}

// Only a live copy means "already running"; any other lock error lets the program run.
TEST(InstanceLock, LiveHolderIsARunningCopy) {
    test::TempFolder folder;
    InstanceLock first(folder.file(QStringLiteral("quiblo.lock")));
    ASSERT_EQ(first.acquire(), InstanceLock::Outcome::Acquired);
    InstanceLock second(folder.file(QStringLiteral("quiblo.lock")));
    EXPECT_EQ(second.acquire(), InstanceLock::Outcome::HeldByRunningCopy);
}

TEST(InstanceLock, ReadOnlyRuntimeFolderIsNoRunningCopy) {
    test::TempFolder folder;
    test::openToUnprivileged(folder.path());
    ASSERT_TRUE(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                         QFile::ReadGroup | QFile::ExeGroup |
                                                         QFile::ReadOther | QFile::ExeOther));
    const QString path = folder.file(QStringLiteral("quiblo.lock"));
    const int outcome = test::runUnprivileged([&] { return int(InstanceLock(path).acquire()); });
    EXPECT_EQ(outcome, int(InstanceLock::Outcome::Unavailable));
}

TEST(InstanceLock, ReadOnlyMountIsNoRunningCopy) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    test::TempFolder folder;
    test::TmpfsMount mount(folder.path(), "size=64k", /*readOnly=*/true);
    if (mount.refused()) GTEST_SKIP() << "this root may not mount: " << mount.error().toStdString();
    ASSERT_TRUE(mount.mounted()) << mount.error().toStdString();
    InstanceLock lock(folder.file(QStringLiteral("quiblo.lock")));
    EXPECT_EQ(lock.acquire(), InstanceLock::Outcome::Unavailable);
}

TEST(InstanceLock, FullRuntimeFolderIsNoRunningCopy) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "mounting needs root";
    test::TempFolder folder;
    test::TmpfsMount mount(folder.path(), "size=16k", /*readOnly=*/false);
    if (mount.refused()) GTEST_SKIP() << "this root may not mount: " << mount.error().toStdString();
    ASSERT_TRUE(mount.mounted()) << mount.error().toStdString();
    QFile filler(folder.file(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.close();
    InstanceLock lock(folder.file(QStringLiteral("quiblo.lock")));
    EXPECT_EQ(lock.acquire(), InstanceLock::Outcome::Unavailable);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("quiblo.lock"))));
}

TEST(InstanceLock, LockFileThatNamesNoOwnerIsTakenOver) {
    test::TempFolder folder;
    folder.write(QStringLiteral("quiblo.lock"), "");  // cut off as it was written
    InstanceLock lock(folder.file(QStringLiteral("quiblo.lock")));
    EXPECT_EQ(lock.acquire(), InstanceLock::Outcome::Acquired);
    EXPECT_FALSE(folder.read(QStringLiteral("quiblo.lock")).isEmpty()) << "the lock names us";
}

TEST(InstanceLock, MissingRuntimeFolderIsNoRunningCopy) {
    test::TempFolder folder;
    InstanceLock lock(folder.file(QStringLiteral("gone/quiblo.lock")));
    EXPECT_EQ(lock.acquire(), InstanceLock::Outcome::Unavailable);
}

// Without XDG_RUNTIME_DIR the lock lives in a folder of the user's own in the temporary folder;
// one that another user made first (and filled with a lock naming a live process of theirs) is
// refused, and the program runs without a lock rather than "already running".
TEST(InstanceLock, AnotherUsersFolderInTheTemporaryFolderIsRefused) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "needs root to act as another user";
    test::TempFolder tmp;
    ::chmod(QFile::encodeName(tmp.path()).constData(), 01777);  // as /tmp is
    test::ScopedEnv tmpdir("TMPDIR", tmp.path().toUtf8());
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", QByteArray());
    const QString squatted = tmp.file(QStringLiteral("quiblo-0"));
    const int made = test::runUnprivileged([&] {
        if (::mkdir(QFile::encodeName(squatted).constData(), 0777) != 0) return 1;
        ::chmod(QFile::encodeName(squatted).constData(), 0777);
        QFile lock(squatted + QStringLiteral("/quiblo.lock"));
        if (!lock.open(QIODevice::WriteOnly)) return 2;
        lock.write(QByteArray::number(::getpid()) + "\nquiblo\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n");
        return 0;
    });
    ASSERT_EQ(made, 0);
    EXPECT_TRUE(InstanceLock::privateFolder().isEmpty());
    InstanceLock lock(InstanceLock::defaultPath());
    EXPECT_EQ(lock.acquire(), InstanceLock::Outcome::Unavailable);

    // Gone, the folder is made anew as the user's own, with mode 0700.
    QDir(squatted).removeRecursively();
    EXPECT_EQ(InstanceLock::privateFolder(), squatted);
    EXPECT_EQ(QFileInfo(squatted).permissions() & 0x0077, 0) << "open to others";
}

// In the private folder: a pipe at the lock's place never blocks the start.
TEST(InstanceLock, PipeAtTheLocksPlaceNeverBlocks) {
    test::TempFolder folder;
    const QString path = folder.file(QStringLiteral("quiblo.lock"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    InstanceLock first(path);
    EXPECT_EQ(first.acquire(), InstanceLock::Outcome::Acquired);
    EXPECT_TRUE(QFileInfo(path).isFile());
}
