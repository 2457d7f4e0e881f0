// The history file: its header and code page, the header migration, listing and removal, and
// that a failed rewrite never costs a record.
#include <gtest/gtest.h>

#include <thread>

#include <QDir>
#include <QFile>

#include "FileSizeLimit.h"
#include "history/HistoryFile.h"
#include "platform/CodePage.h"
#include "platform/Fault.h"
#include "support/FaultyFolders.h"
#include "support/TestSupport.h"

using namespace quiblo;
using quiblo::test::FileSizeLimit;
using quiblo::test::TempFolder;

namespace {

const char* const kDat = "Quiblo.dat";

QByteArray cp932(const char* utf8) {
    return toCp932(QString::fromUtf8(utf8));
}

QByteArray currentHeader() {
    return cp932(
        "### クイブロ アップロードファイルデータ\r\n"
        "###   警告：このファイルを編集/削除すると、アップロードした画像データが\r\n"
        "###         あとで手動削除できなくなります。\r\n");
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

TEST(HistoryAppend, FirstRecordCreatesTheFileWithItsHeaderInCp932AndCrLf) {
    TempFolder folder;
    AppendHistoryRecord(folder.path(), "123456789012345678", "20051218125440");

    const QByteArray bytes = folder.read(kDat);
    EXPECT_EQ(bytes, currentHeader() + "123456789012345678,20051218125440\r\n");
    // "### クイブロ" as the Japanese systems store it, not UTF-8.
    EXPECT_TRUE(bytes.startsWith("### \x83\x4E\x83\x43\x83\x75\x83\x8D "));
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 4);
}

TEST(HistoryAppend, ExistingRecordsStayInOrderAndAnEmptyFileGetsNoHeader) {
    TempFolder folder;
    folder.write(kDat, {});
    AppendHistoryRecord(folder.path(), "111111111111111111", "20060103090507");
    AppendHistoryRecord(folder.path(), "222222222222222222", "20060103090508");
    EXPECT_EQ(folder.read(kDat), QByteArray("111111111111111111,20060103090507\r\n"
                                            "222222222222222222,20060103090508\r\n"));
}

TEST(HistoryAppend, OlderHeaderWordingIsBroughtUpToDate) {
    TempFolder folder;
    const QByteArray rest = cp932(
        "###   警告：このファイルを編集/削除すると、アップロードした画像データが\r\n"
        "###         あとで手動削除できなくなります。\r\n"
        "111111111111111111,20060103090507\r\n");
    folder.write(kDat, cp932("### クイブロッ!! アップロードファイルデータ\r\n") + rest);

    AppendHistoryRecord(folder.path(), "222222222222222222", "20060103090508");

    EXPECT_EQ(folder.read(kDat), currentHeader() +
                                     "111111111111111111,20060103090507\r\n"
                                     "222222222222222222,20060103090508\r\n");
}

TEST(HistoryAppend, OlderWordingIsMatchedByCharactersNotBytes) {
    TempFolder folder;
    // "＜" ends in the byte that starts "ク": the bytes after it read "Nイブロッ!!", which is
    // not the older wording.
    const QByteArray before = "### \x81\x83\x4E\x83\x43\x83\x75\x83\x8D\x83\x62!!\r\n";
    folder.write(kDat, before);
    AppendHistoryRecord(folder.path(), "222222222222222222", "20060103090508");
    EXPECT_EQ(folder.read(kDat), before + "222222222222222222,20060103090508\r\n");
}

TEST(HistoryAppend, FailuresRaiseFaultsAndKeepTheOldFile) {
    TempFolder folder;
    try {
        AppendHistoryRecord(folder.file("missing"), "111111111111111111", "20060103090507");
        ADD_FAILURE() << "no fault for a missing folder";
    } catch (const RuntimeFault& fault) {
        EXPECT_EQ(fault.number(), FaultNumber::PathNotFound);
    }
    EXPECT_FALSE(QFileInfo::exists(folder.file("missing")));

    const QByteArray old = currentHeader() + "111111111111111111,20060103090507\r\n";
    folder.write(kDat, old);
    {
        const FileSizeLimit limit(old.size());
        EXPECT_THROW(AppendHistoryRecord(folder.path(), "222222222222222222", "20060103090508"),
                     RuntimeFault);
    }
    EXPECT_EQ(folder.read(kDat), old);
    EXPECT_EQ(filesIn(folder.path()), QStringList{kDat}) << "no temporary file left behind";
}

TEST(HistoryAppend, LastLineWithoutItsLineEndIsEndedFirst) {
    TempFolder folder;
    folder.write(kDat, currentHeader() + "111111111111111111,20060103090507");
    AppendHistoryRecord(folder.path(), "222222222222222222", "20060103090508");
    EXPECT_EQ(folder.read(kDat), currentHeader() +
                                     "111111111111111111,20060103090507\r\n"
                                     "222222222222222222,20060103090508\r\n");
    EXPECT_EQ(LoadHistoryEntries(folder.path()).entries,
              (QStringList{"111111111111111111.png  -  2006/01/03 09:05:07",
                           "222222222222222222.png  -  2006/01/03 09:05:08"}));
    // The new record can be removed again, and so can the one that was cut short.
    EXPECT_EQ(RemoveHistoryRecord(folder.path(), "222222222222222222", "20060103090508"),
              HistoryProblem::None);
    EXPECT_EQ(RemoveHistoryRecord(folder.path(), "111111111111111111", "20060103090507"),
              HistoryProblem::None);
    EXPECT_EQ(folder.read(kDat), currentHeader());

    // A line cut after its CR gets only the LF.
    folder.write(kDat, "111111111111111111,20060103090507\r");
    AppendHistoryRecord(folder.path(), "222222222222222222", "20060103090508");
    EXPECT_EQ(folder.read(kDat), QByteArray("111111111111111111,20060103090507\r\n"
                                            "222222222222222222,20060103090508\r\n"));
}

TEST(HistoryAppend, FullOrReadOnlyDiskRaisesAFaultAndKeepsTheHistory) {
    test::SmallDisk disk(64);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    AppendHistoryRecord(disk.path(), "111111111111111111", "20060103090507");
    const QByteArray before = currentHeader() + "111111111111111111,20060103090507\r\n";
    disk.fill();
    try {
        AppendHistoryRecord(disk.path(), "222222222222222222", "20060103090508");
        ADD_FAILURE() << "no fault on a full disk";
    } catch (const RuntimeFault& fault) {
        EXPECT_EQ(fault.number(), FaultNumber::WriteFailed);
    }
    QFile file(disk.path() + "/" + kDat);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();
    EXPECT_EQ(filesIn(disk.path()), (QStringList{".filler", kDat}));

    ASSERT_TRUE(QFile::remove(disk.path() + "/.filler"));
    ASSERT_TRUE(disk.makeReadOnly());
    EXPECT_THROW(AppendHistoryRecord(disk.path(), "222222222222222222", "20060103090508"),
                 RuntimeFault);
    EXPECT_EQ(RemoveHistoryRecord(disk.path(), "111111111111111111", "20060103090507"),
              HistoryProblem::NotWritten);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

TEST(HistoryList, RecordsInFileOrderAsDisplayFormsWithoutComments) {
    TempFolder folder;
    folder.write(kDat, currentHeader() +
                           "222222222222222222,20060103090508\r\n"
                           "111111111111111111,20051218125440\r\n"
                           "#33333333333333333,20070101000000\r\n");

    const HistoryEntries history = LoadHistoryEntries(folder.path());

    EXPECT_EQ(history.problem, HistoryProblem::None);
    EXPECT_EQ(history.entries, (QStringList{"222222222222222222.png  -  2006/01/03 09:05:08",
                                            "111111111111111111.png  -  2005/12/18 12:54:40"}));
}

TEST(HistoryList, OddLinesAreListedAsTheyFallApart) {
    TempFolder folder;
    folder.write(kDat,
                 "\r\n"                                        // empty
                 "123456789012345678,20051218125440EXTRA\r\n"  // longer than a record
                 "12345\r\n"                                   // shorter
                 " #23456789012345678,20051218125440\r\n"      // not a comment
                 "999999999999999999,20070707070707");         // no line end
    const QStringList expected{
        ".png  -  // ::",
        "123456789012345678.png  -  2005/12/18 12:54:40",
        "12345.png  -  // ::",
        " #2345678901234567.png  -  ,200/51/21 81:25:44",
        "999999999999999999.png  -  2007/07/07 07:07:07",
    };
    EXPECT_EQ(LoadHistoryEntries(folder.path()).entries, expected);
}

TEST(HistoryList, MissingOrUnreadableFileIsReportedWithNoEntries) {
    TempFolder folder;
    HistoryEntries history = LoadHistoryEntries(folder.path());
    EXPECT_EQ(history.problem, HistoryProblem::Missing);
    EXPECT_TRUE(history.entries.isEmpty());
    EXPECT_EQ(LoadHistoryEntries(folder.file("no-folder")).problem, HistoryProblem::Missing);

    ASSERT_TRUE(QDir(folder.path()).mkdir(kDat));
    EXPECT_EQ(LoadHistoryEntries(folder.path()).problem, HistoryProblem::Missing)
        << "a folder is no history file";

    // A file that exists but whose reading fails even for root.
    TempFolder other;
    ASSERT_TRUE(QFile::link("/proc/self/mem", other.file(kDat)));
    history = LoadHistoryEntries(other.path());
    EXPECT_EQ(history.problem, HistoryProblem::Unreadable);
    EXPECT_TRUE(history.entries.isEmpty());
}

TEST(HistoryRecordForm, DisplayFormTurnsBackIntoTheRecord) {
    const QString shown = historyDisplayForm("012345678901234567,20051218125440");
    EXPECT_EQ(shown, "012345678901234567.png  -  2005/12/18 12:54:40");
    EXPECT_EQ(shown.size(), 46);
    const HistoryRecord record = historyRecordOf(shown);
    EXPECT_EQ(record.pngcode, "012345678901234567");
    EXPECT_EQ(record.delid, "20051218125440");
}

// A record now carries its upload time, since its deletion id no longer is that time: listed by
// the time, its record kept beside the display, and removed whole; older records as before.
TEST(HistoryRecordForm, RecordsWithTheirTimeAreListedAndRemovedBesideOlderOnes) {
    TempFolder folder;
    AppendHistoryRecord(folder.path(), "111111111111111111", "20060103090507");
    AppendHistoryRecord(folder.path(), "222222222222222222", "98765432109876", "20261208093000");
    EXPECT_TRUE(
        folder.read(kDat).endsWith("111111111111111111,20060103090507\r\n"
                                   "222222222222222222,98765432109876,20261208093000\r\n"));
    const HistoryEntries history = LoadHistoryEntries(folder.path());
    EXPECT_EQ(history.entries, (QStringList{"111111111111111111.png  -  2006/01/03 09:05:07",
                                            "222222222222222222.png  -  2026/12/08 09:30:00"}));
    ASSERT_EQ(history.records.size(), 2);
    EXPECT_EQ(history.records[0].delid, "20060103090507");
    EXPECT_EQ(history.records[1].pngcode, "222222222222222222");
    EXPECT_EQ(history.records[1].delid, "98765432109876");
    EXPECT_EQ(historyRecordOf(history.entries[0]).delid, history.records[0].delid);

    const QByteArray before = folder.read(kDat);
    EXPECT_EQ(RemoveHistoryRecord(folder.path(), "222222222222222222", "98765432109876"),
              HistoryProblem::None);
    EXPECT_EQ(folder.read(kDat), before.left(before.indexOf("222222222222222222")));
    EXPECT_EQ(RemoveHistoryRecord(folder.path(), "111111111111111111", "20060103090507"),
              HistoryProblem::None);
    EXPECT_TRUE(LoadHistoryEntries(folder.path()).entries.isEmpty());
}

TEST(HistoryRemove, EveryCopyGoesAndEverythingElseStaysByteForByte) {
    TempFolder folder;
    // A hand-edited file: the older header, an NEC-encoded character that the code page
    // converter would write back differently, and bytes that are no CP932 at all.
    const QByteArray before = cp932("### クイブロッ!! アップロードファイルデータ\r\n") +
                              "### \xEE\xEF \xFF\xA0\x81\r\n"
                              "111111111111111111,20060103090507\r\n"
                              "222222222222222222,20060103090508\r\n"
                              "111111111111111111,20060103090507\r\n"
                              "x111111111111111111,20060103090507\r\n"
                              "111111111111111111,20060103090507";
    folder.write(kDat, before);

    EXPECT_EQ(RemoveHistoryRecord(folder.path(), "111111111111111111", "20060103090507"),
              HistoryProblem::None);

    EXPECT_EQ(folder.read(kDat), cp932("### クイブロッ!! アップロードファイルデータ\r\n") +
                                     "### \xEE\xEF \xFF\xA0\x81\r\n"
                                     "222222222222222222,20060103090508\r\n"
                                     "x"  // the record text after a stray character goes too
                                     "111111111111111111,20060103090507");  // no CR LF: stays
}

TEST(HistoryRemove, UnknownRecordLeavesTheContent) {
    TempFolder folder;
    const QByteArray before = currentHeader() + "111111111111111111,20060103090507\r\n";
    folder.write(kDat, before);
    EXPECT_EQ(RemoveHistoryRecord(folder.path(), "111111111111111111", "20060103090508"),
              HistoryProblem::None);
    EXPECT_EQ(folder.read(kDat), before);
}

TEST(HistoryRemove, MissingFileIsReportedAndNotCreated) {
    TempFolder folder;
    EXPECT_EQ(RemoveHistoryRecord(folder.path(), "111111111111111111", "20060103090507"),
              HistoryProblem::Missing);
    EXPECT_FALSE(QFileInfo::exists(folder.file(kDat)));
}

TEST(HistoryRemove, FailedRewriteLeavesTheOldFileWhole) {
    TempFolder folder;
    const QByteArray before = currentHeader() +
                              "111111111111111111,20060103090507\r\n"
                              "222222222222222222,20060103090508\r\n";
    folder.write(kDat, before);
    {
        const FileSizeLimit limit(10);
        EXPECT_EQ(RemoveHistoryRecord(folder.path(), "111111111111111111", "20060103090507"),
                  HistoryProblem::NotWritten);
    }
    EXPECT_EQ(folder.read(kDat), before);
    EXPECT_EQ(filesIn(folder.path()), QStringList{kDat}) << "no temporary file left behind";
}

// Two copies of the program recording uploads at the same moment: every record of both is kept.
TEST(HistoryAppend, TwoWritersAtOnceLoseNoRecord) {
    TempFolder folder;
    auto writer = [&folder](char digit) {
        for (int i = 0; i < 300; ++i)
            AppendHistoryRecord(folder.path(), QString(18, QLatin1Char(digit)),
                                QStringLiteral("%1").arg(i, 14, 10, QLatin1Char('0')));
    };
    std::thread first(writer, '1'), second(writer, '2');
    first.join();
    second.join();
    EXPECT_EQ(LoadHistoryEntries(folder.path()).records.size(), 600);
}
