// Picture codes, deletion ids, viewing codes and the upload password.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/Fault.h"
#include "service/Codes.h"

namespace quiblo {
namespace {

QDateTime at(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

TEST(BaseConvTest, DecimalToViewingCode) {
    const struct {
        const char* decimal;
        const char* base64;
    } cases[] = {
        {"100", "1A"},
        {"63", "_"},
        {"64", "10"},
        {"4095", "__"},
        {"4096", "100"},
        {"007", "7"},
        {"", "0"},
        {"0", "0"},
        {"10", "a"},
        {"61", "Z"},
        {"62", "-"},
        {"000000000000000100", "1A"},
        {"999999999999999999", "TwJHeDo___"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.decimal);
        EXPECT_EQ(BaseConv(c.decimal, 10, 64), c.base64);
    }
}

TEST(BaseConvTest, ViewingCodeBackToDecimal) {
    EXPECT_EQ(BaseConv("1A", 64, 10), "100");
    EXPECT_EQ(BaseConv("TwJHeDo___", 64, 10), "999999999999999999");
    // Lookup is case-sensitive: "A" is 36, "a" is 10.
    EXPECT_EQ(BaseConv("A", 64, 10), "36");
    EXPECT_EQ(BaseConv("a", 64, 10), "10");
}

TEST(BaseConvTest, RoundTripKeepsTheCodeWithoutLeadingZeros) {
    for (const char* code : {"000000000000000001", "123456789012345678", "500000000000000000",
                             "000000004096000000", "987654321098765432"}) {
        SCOPED_TRACE(code);
        const QString viewing = BaseConv(code, 10, 64);
        EXPECT_LE(viewing.size(), 10);
        EXPECT_EQ(BaseConv(viewing, 64, 10), QString(code).remove(QRegularExpression("^0+")));
    }
}

TEST(BaseConvTest, CharactersOutsideTheAlphabetFailTheWholeConversion) {
    EXPECT_EQ(BaseConv("1.5", 10, 64), "");
    EXPECT_EQ(BaseConv(" 12", 10, 64), "");
    EXPECT_EQ(BaseConv("12+", 10, 64), "");
    EXPECT_EQ(BaseConv(QStringLiteral("１２"), 10, 64), "");
}

TEST(BaseConvTest, DigitBeyondTheSourceBaseCountsByItsPlace) {
    // In base 10, "a" counts as 10: "1a" is 1 × 10 + 10 = 20.
    EXPECT_EQ(BaseConv("1a", 10, 64), "k");
    EXPECT_EQ(BaseConv("1a", 10, 10), "20");
}

TEST(MakeUploadCodesTest, CodesAreTheRandomDigitsAndTheTimeIsKeptApart) {
    const QString digits = QStringLiteral("01234567890123456798765432109876");
    const UploadCodes codes = MakeUploadCodes(at(2024, 12, 31, 23, 59, 58), digits);
    EXPECT_EQ(codes.pngcode, "012345678901234567");
    EXPECT_EQ(codes.delid, "98765432109876");
    EXPECT_EQ(codes.uploadedAt, "20241231235958");  // hours run 0 to 23
}

// The viewing address gives the picture code to anyone; the deletion id must not follow from it
// or from the time of the upload, as it did when it was that time.
TEST(MakeUploadCodesTest, DeletionIdsCannotBeDerivedFromTheViewingCodeOrTheTime) {
    static const QRegularExpression pngcodeForm("^[0-9]{18}$"), delidForm("^[0-9]{14}$");
    std::map<QChar, int> counts;
    std::set<QString> delids;
    for (int i = 0; i < 500; ++i) {
        const UploadCodes codes = MakeUploadCodes();
        ASSERT_TRUE(pngcodeForm.match(codes.pngcode).hasMatch()) << codes.pngcode.toStdString();
        ASSERT_TRUE(delidForm.match(codes.delid).hasMatch()) << codes.delid.toStdString();
        // Not a time within a day of the upload, which is what a guesser would try first.
        const QDateTime asTime = QDateTime::fromString(codes.delid, "yyyyMMddHHmmss");
        EXPECT_FALSE(asTime.isValid() &&
                     std::abs(asTime.secsTo(QDateTime::currentDateTime())) < 86400)
            << codes.delid.toStdString();
        EXPECT_FALSE(codes.pngcode.contains(codes.delid.right(8)));
        delids.insert(codes.delid);
        for (const QChar digit : codes.pngcode + codes.delid) ++counts[digit];
    }
    EXPECT_EQ(delids.size(), 500u) << "deletion ids repeat";
    // 16,000 digits: each of the ten near 1,600.
    ASSERT_EQ(counts.size(), 10u);
    for (const auto& [digit, count] : counts) EXPECT_NEAR(count, 1600, 250) << digit.toLatin1();
}

TEST(MakeFtpPasswordTest, VersionOnePointThree) {
    // The reference service's upload account for version 1.3 accepts exactly this password.
    EXPECT_EQ(MakeFtpPassword(1, 3), "qbl02181238");
}

TEST(MakeFtpPasswordTest, EveryVersionGetsPrefixAndEightDigits) {
    static const QRegularExpression form("^qbl[0-9]{8}$");
    for (int major : {0, 1, 2, 9, 99, 999}) {
        for (int minor : {0, 1, 3, 10, 999}) {
            SCOPED_TRACE(major * 1000 + minor);
            EXPECT_TRUE(form.match(MakeFtpPassword(major, minor)).hasMatch());
        }
    }
    // Another version is refused at login, so its password must differ.
    EXPECT_NE(MakeFtpPassword(1, 2), MakeFtpPassword(1, 3));
    EXPECT_NE(MakeFtpPassword(2, 3), MakeFtpPassword(1, 3));
}

TEST(MakeFtpPasswordTest, SixteenBitOverflowIsAFault) {
    EXPECT_THROW(MakeFtpPassword(5000, 3), RuntimeFault);
}

}  // namespace
}  // namespace quiblo
