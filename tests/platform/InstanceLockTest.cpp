#include <gtest/gtest.h>

#include <QFile>

#include "platform/SingleInstance.h"
#include "support/TestSupport.h"

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
