#include <gtest/gtest.h>

#include <thread>

#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "settings/IniFile.h"
#include "support/FaultyFolders.h"
#include "support/TestSupport.h"
#include "support/UserFaults.h"

using namespace quiblo;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void store(const QByteArray& content) { folder.write(QStringLiteral("Quiblo.ini"), content); }
    QByteArray stored() const { return folder.read(QStringLiteral("Quiblo.ini")); }
    int wait() const { return readCaptureWait(folder.path()); }
    int read(const char* section, const char* key, qint16 def) const {
        return ReadIniInt(folder.path(), QString::fromLatin1(section), QString::fromLatin1(key),
                          def);
    }

    test::TempFolder folder;
};

}  // namespace

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(wait(), 100);
    EXPECT_EQ(read("Quiblo", "Wait", -7), -7) << "the default is handed back with its sign";
    store("[Other]\r\nWait=500\r\n");
    EXPECT_EQ(wait(), 100);
    store("[Quiblo]\r\nDelay=500\r\n");
    EXPECT_EQ(wait(), 100);
    store("[Quiblo]\r\nWait=\r\n");
    EXPECT_EQ(read("Quiblo", "Wait", 77), 77) << "an empty value reads as missing";
}

TEST_F(IniFileTest, AcceptedWaitsAreUsedAsStored) {
    for (int v : {100, 200, 500, 1000}) {
        store("[Quiblo]\r\nWait=" + QByteArray::number(v) + "\r\n");
        EXPECT_EQ(wait(), v);
    }
}

TEST_F(IniFileTest, EveryOtherStoredWaitIsUsedAs100) {
    for (const char* v : {"1100", "50", "0", "-200", "250", "abc", "99", "1001"}) {
        store(QByteArray("[Quiblo]\r\nWait=") + v + "\r\n");
        EXPECT_EQ(wait(), 100) << v;
    }
}

TEST_F(IniFileTest, ValuesReadTheirLeadingDecimalNumber) {
    store("[Quiblo]\r\nA=300ms\r\nB=abc\r\nC=  -200 \r\nD=\"400\"\r\nE=12.9\r\nF=+7x\r\n");
    EXPECT_EQ(read("Quiblo", "A", 1), 300);
    EXPECT_EQ(read("Quiblo", "B", 1), 0);
    EXPECT_EQ(read("Quiblo", "C", 1), -200);
    EXPECT_EQ(read("Quiblo", "D", 1), 400);
    EXPECT_EQ(read("Quiblo", "E", 1), 12);
    EXPECT_EQ(read("Quiblo", "F", 1), 7);
    store("[Quiblo]\r\nWait=300ms\r\n");
    EXPECT_EQ(wait(), 300);
}

TEST_F(IniFileTest, NamesMatchRegardlessOfCaseAndBlanks) {
    store("; comment\n[ quiblo ]\n  WAIT = 700\n");
    EXPECT_EQ(wait(), 700);
    // Only the first section and key of a name count.
    store("[Quiblo]\r\nWait=200\r\nWait=300\r\n[QUIBLO]\r\nWait=400\r\n");
    EXPECT_EQ(wait(), 200);
    // A key of the same name in a later section is not this section's key.
    store("[Quiblo]\r\nOther=1\r\n[Next]\r\nWait=900\r\n");
    EXPECT_EQ(wait(), 100);
}

TEST_F(IniFileTest, FirstWriteCreatesTheFileWithSectionAndKey) {
    WriteIniValue(folder.path(), QStringLiteral("Quiblo"), QStringLiteral("Wait"), 300);
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nWait=300\r\n"));
    EXPECT_EQ(wait(), 300);
}

TEST_F(IniFileTest, RewriteKeepsEveryOtherLineByteForByte) {
    const QByteArray before =
        "[Window]\r\nLeft=10\r\n\r\n[quiblo]\r\nName=\x83\x4E\x83\x43\r\nwait=200\r\n"
        "Extra=1\r\n\r\n[Tail]\nX=1";
    store(before);
    WriteIniValue(folder.path(), QStringLiteral("Quiblo"), QStringLiteral("Wait"), 800);
    QByteArray after = before;
    after.replace("wait=200", "Wait=800");
    EXPECT_EQ(stored(), after);
    EXPECT_EQ(wait(), 800);
}

TEST_F(IniFileTest, NewKeyGoesAtTheEndOfItsSectionAndNewSectionAtTheEnd) {
    store("[Quiblo]\r\nName=x\r\n\r\n[Tail]\r\nX=1");
    WriteIniValue(folder.path(), QStringLiteral("Quiblo"), QStringLiteral("Wait"), 400);
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nName=x\r\nWait=400\r\n\r\n[Tail]\r\nX=1"));
    WriteIniValue(folder.path(), QStringLiteral("New"), QStringLiteral("K"), QStringLiteral("v"));
    EXPECT_EQ(stored(), QByteArray("[Quiblo]\r\nName=x\r\nWait=400\r\n\r\n[Tail]\r\nX=1\r\n"
                                   "[New]\r\nK=v\r\n"));
    EXPECT_EQ(read("Tail", "X", 0), 1);
}

TEST_F(IniFileTest, WriteThatCannotBeDoneIsIgnoredAndLosesNothing) {
    store("[Quiblo]\r\nWait=500\r\n");
    // The tests run as root, so a folder that does not exist stands in for one without access.
    const QString missing = folder.file(QStringLiteral("no/such/folder"));
    WriteIniValue(missing, QStringLiteral("Quiblo"), QStringLiteral("Wait"), 300);
    EXPECT_FALSE(QFile::exists(missing + QStringLiteral("/Quiblo.ini")));
    EXPECT_EQ(readCaptureWait(missing), 100);
    EXPECT_EQ(wait(), 500);
}

namespace {

const QByteArray kSettings = "[Window]\r\nLeft=10\r\n\r\n[Quiblo]\r\nWait=500\r\nName=x\r\n";

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

}  // namespace

TEST(IniFileFaults, FullDiskLeavesTheSettingsWhole) {
    test::SmallDisk disk(64);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    const QString ini = disk.path() + QStringLiteral("/Quiblo.ini");
    ASSERT_TRUE(WriteIniValue(disk.path(), QStringLiteral("Window"), QStringLiteral("Left"), 10));
    ASSERT_TRUE(WriteIniValue(disk.path(), QStringLiteral("Quiblo"), QStringLiteral("Wait"), 500));
    const QByteArray before = contentOf(ini);
    disk.fill();

    EXPECT_FALSE(WriteIniValue(disk.path(), QStringLiteral("Quiblo"), QStringLiteral("Wait"), 800));

    EXPECT_EQ(contentOf(ini), before);
    EXPECT_EQ(readCaptureWait(disk.path()), 500);
    EXPECT_EQ(entriesOf(disk.path()), (QStringList{".filler", "Quiblo.ini"}))
        << "no temporary file left behind";
}

TEST(IniFileFaults, ReadOnlyDiskIsNotWrittenAndCountsAsFailed) {
    test::SmallDisk disk(64);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    QFile file(disk.path() + QStringLiteral("/Quiblo.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kSettings);
    file.close();
    ASSERT_TRUE(disk.makeReadOnly());

    EXPECT_FALSE(WriteIniValue(disk.path(), QStringLiteral("Quiblo"), QStringLiteral("Wait"), 800));
    EXPECT_EQ(contentOf(file.fileName()), kSettings);
    EXPECT_EQ(readCaptureWait(disk.path()), 500);
}

TEST(IniFileFaults, ExistingFileThatCannotBeReadIsLeftUntouched) {
    test::TempFolder folder;
    folder.write(QStringLiteral("Quiblo.ini"), kSettings);
    // A folder anyone may write in, holding settings only their owner may read.
    ASSERT_TRUE(
        QFile::setPermissions(folder.path(), QFileDevice::ReadOther | QFileDevice::WriteOther |
                                                 QFileDevice::ExeOther | QFileDevice::ReadOwner |
                                                 QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    ASSERT_TRUE(QFile::setPermissions(folder.file(QStringLiteral("Quiblo.ini")),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    {
        const test::AsOrdinaryUser user;
        EXPECT_EQ(readCaptureWait(folder.path()), 100);
        EXPECT_FALSE(
            WriteIniValue(folder.path(), QStringLiteral("Quiblo"), QStringLiteral("Wait"), 800));
    }
    EXPECT_EQ(folder.read(QStringLiteral("Quiblo.ini")), kSettings);
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"Quiblo.ini"});
}

// The new file is written, but it cannot take the old one's place: root's settings file in a
// sticky folder open to all, rewritten by another user. The write reports the failure, and the
// file and the folder stay as they were.
TEST_F(IniFileTest, CommitThatFailsIsReportedAndKeepsTheFile) {
    if (!test::runningAsRoot()) GTEST_SKIP() << "needs root to give the file to another user";
    const QByteArray before = "[Quiblo]\r\nWait=200\r\n";
    store(before);
    ::chmod(QFile::encodeName(folder.file(QStringLiteral("Quiblo.ini"))).constData(), 0666);
    ::chmod(QFile::encodeName(folder.path()).constData(), 01777);
    const int result = test::runUnprivileged([&] {
        return WriteIniValue(folder.path(), QStringLiteral("Quiblo"), QStringLiteral("Wait"), 500)
                   ? 1
                   : 0;
    });
    ::chmod(QFile::encodeName(folder.path()).constData(), 0700);
    EXPECT_EQ(result, 0) << "the write was reported as done";
    EXPECT_EQ(stored(), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Quiblo.ini"});
}

// Two copies changing their own keys at the same moment: neither change is lost.
TEST_F(IniFileTest, TwoWritersAtOnceKeepEachOthersKeys) {
    auto writer = [this](const char* key) {
        for (int i = 1; i <= 200; ++i)
            WriteIniValue(folder.path(), QStringLiteral("Quiblo"), QString::fromLatin1(key), i);
    };
    std::thread first(writer, "A"), second(writer, "B");
    first.join();
    second.join();
    EXPECT_EQ(read("Quiblo", "A", 0), 200);
    EXPECT_EQ(read("Quiblo", "B", 0), 200);
}
