// Reading the user check's reply for the usage window and the upload, and the number rules behind
// it.
#include <gtest/gtest.h>

#include "service/Replies.h"
#include "service/ReplyNumber.h"
#include "service/UserCheck.h"

using namespace quiblo;
using Kind = UsageReport::Kind;

TEST(ReplyNumber, ReadsTheLeadingNumberOfAField) {
    EXPECT_EQ(readFieldNumber(QStringLiteral("10")), 10);
    EXPECT_EQ(readFieldNumber(QStringLiteral("03")), 3);
    EXPECT_EQ(readFieldNumber(QStringLiteral("  24")), 24);
    EXPECT_EQ(readFieldNumber(QStringLiteral("-7")), -7);
    EXPECT_EQ(readFieldNumber(QStringLiteral("+2.5x")), 2.5);
    EXPECT_EQ(readFieldNumber(QStringLiteral("12abc")), 12);
    EXPECT_EQ(readFieldNumber(QStringLiteral("1.2.3")), 1.2);
    EXPECT_EQ(readFieldNumber(QStringLiteral("10\r\n")), 10);
    for (const char* none : {"", "x", "-", ".", " - 3", "abc12"})
        EXPECT_EQ(readFieldNumber(QString::fromLatin1(none)), 0) << none;
}

TEST(ReplyNumber, RoundsHalvesToEvenWithinSixteenBits) {
    EXPECT_EQ(roundToInt16(2.5), 2);
    EXPECT_EQ(roundToInt16(3.5), 4);
    EXPECT_EQ(roundToInt16(-2.5), -2);
    EXPECT_EQ(roundToInt16(2.6), 3);
    EXPECT_EQ(roundToInt16(32767.4), 32767);
    EXPECT_EQ(roundToInt16(-32768.5), -32768);
    EXPECT_EQ(roundToInt16(32767.5), std::nullopt);
    EXPECT_EQ(roundToInt16(-32769), std::nullopt);
    EXPECT_EQ(roundToInt16(1e300), std::nullopt);
}

TEST(UsageReply, SuccessShowsTheCountsAndWhatRemains) {
    const UsageReport report = readUsageReply(QStringLiteral("success|x|3|10|24"));
    EXPECT_EQ(report.kind, Kind::Usage);
    EXPECT_EQ(report.text, QStringLiteral("クイブロ 利用状況\r\n------------------------------\r\n"
                                          "現在利用回数: 3回利用済みです。\r\n"
                                          "最大: 過去24時間に10回利用できます。\r\n\r\n"
                                          "あと7回利用可能です。"));
}

TEST(UsageReply, FieldsAreShownAsSentAndTheRemainderNeverNegative) {
    UsageReport report = readUsageReply(QStringLiteral("success|x|03|10|24|more|fields"));
    EXPECT_TRUE(report.text.contains(QStringLiteral("現在利用回数: 03回利用済みです。")));
    EXPECT_TRUE(report.text.endsWith(QStringLiteral("あと7回利用可能です。")));
    report = readUsageReply(QStringLiteral("success|x|12|10|24"));
    EXPECT_TRUE(report.text.endsWith(QStringLiteral("あと0回利用可能です。")));
    report = readUsageReply(QStringLiteral("success|x|2.5|5|24\r\n"));
    EXPECT_TRUE(report.text.endsWith(QStringLiteral("あと2回利用可能です。")));
    EXPECT_TRUE(report.text.contains(QStringLiteral("過去24\r\n時間に")))
        << "the line end of the last field is kept";
}

TEST(UsageReply, ErrorShowsTheServiceMessage) {
    const UsageReport report =
        readUsageReply(QStringLiteral("error|LIMIT|10|10|24|利用回数の上限に達しました。"));
    EXPECT_EQ(report.kind, Kind::Refused);
    EXPECT_EQ(report.text, QStringLiteral("利用回数の上限に達しました。"));
}

TEST(UsageReply, ShortOrOutOfRangeRepliesEndSilently) {
    for (const char* reply : {"success", "success|x|3|10", "error|LIMIT|1|2|3",
                              "success|x|0|40000|24", "success|x|-40000|0|24"}) {
        const UsageReport report = readUsageReply(QString::fromLatin1(reply));
        EXPECT_EQ(report.kind, Kind::Silent) << reply;
        EXPECT_TRUE(report.text.isEmpty());
    }
}

TEST(UsageReply, AnythingElseIsAFailedConnection) {
    for (const char* reply : {"", "Success|x|3|10|24", "<html>404</html>", "ok|x|3|10|24"}) {
        const UsageReport report = readUsageReply(QString::fromLatin1(reply));
        EXPECT_EQ(report.kind, Kind::Failed) << reply;
        EXPECT_EQ(report.text, QStringLiteral("サーバーとの接続が失敗したため、\r\n"
                                              "一部処理は行えませんでした。\r\n終了します。"));
    }
}

// The size limit a service announces: plain digits, at most 20 MB; anything else is the limit
// of an earlier service.
TEST(AnnouncedSizeLimit, PlainDigitsUpToTheLargestElseTheDefault) {
    EXPECT_EQ(announcedSizeLimit("5000000"), 5000000);
    EXPECT_EQ(announcedSizeLimit(" 700000 "), 700000);
    EXPECT_EQ(announcedSizeLimit("999999999999"), kLargestSizeLimit);
    for (const char* other : {"", "0", "-5", "5e6", "5 000 000", "0x100", "²"})
        EXPECT_EQ(announcedSizeLimit(other), kDefaultSizeLimit) << other;
}
