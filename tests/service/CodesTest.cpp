// Picture codes, deletion ids, viewing codes and the upload password.
#include <gtest/gtest.h>

#include <QRegularExpression>
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

TEST(MakeCodeTest, LastDecimalDigit) {
    EXPECT_EQ(MakeCode(0), 0);
    EXPECT_EQ(MakeCode(7), 7);
    EXPECT_EQ(MakeCode(10), 0);
    EXPECT_EQ(MakeCode(486), 6);
    EXPECT_EQ(MakeCode(32767), 7);
}

TEST(MakeUploadCodesTest, DeletionIdIsTheLocalTimeDigits) {
    EXPECT_EQ(MakeUploadCodes(at(2006, 1, 3, 9, 5, 7), {1, 2, 3, 4}).delid, "20060103090507");
    // Hours run 0 to 23.
    EXPECT_EQ(MakeUploadCodes(at(2024, 12, 31, 23, 59, 58), {1, 2, 3, 4}).delid, "20241231235958");
    EXPECT_EQ(MakeUploadCodes(at(2000, 2, 29, 0, 0, 0), {1, 2, 3, 4}).delid, "20000229000000");
}

TEST(MakeUploadCodesTest, ZeroRandomDigitsGiveAllZeros) {
    const UploadCodes codes = MakeUploadCodes(at(2006, 1, 3, 9, 5, 7), {0, 0, 0, 0});
    EXPECT_EQ(codes.pngcode, QString(18, '0'));
    EXPECT_EQ(BaseConv(codes.pngcode, 10, 64), "0");
}

TEST(MakeUploadCodesTest, PictureCodeMixesTimeAndRandomDigits) {
    // Time digits 2 0 2 4 1 2 3 1 2 3 5 9 5 8, random digits 7 3 9 4. Two of the rows:
    //   d0 = (t4 + t0 + t8 + 1) × r0 = (1 + 2 + 2 + 1) × 7 = 42 → 2
    //   d3 = (t7 + t3 + t11 + 7) × r3 = (1 + 4 + 9 + 7) × 4 = 84 → 4
    const UploadCodes codes = MakeUploadCodes(at(2024, 12, 31, 23, 59, 58), {7, 3, 9, 4});
    EXPECT_EQ(codes.pngcode, "245466809442517394");
    EXPECT_EQ(codes.delid, "20241231235958");
}

TEST(MakeUploadCodesTest, ZeroInOneRandomDigitClearsItsRowsOnly) {
    // r1 is used by rows 1, 5, 9 and 13.
    const QString code = MakeUploadCodes(at(2024, 12, 31, 23, 59, 58), {7, 0, 9, 4}).pngcode;
    EXPECT_EQ(code, "205460809042507094");
}

TEST(MakeUploadCodesTest, SameSecondAndDigitsGiveTheSameCodes) {
    const UploadCodes first = MakeUploadCodes(at(2006, 1, 3, 9, 5, 7), {5, 1, 8, 2});
    const UploadCodes second = MakeUploadCodes(at(2006, 1, 3, 9, 5, 7), {5, 1, 8, 2});
    EXPECT_EQ(first.pngcode, second.pngcode);
    EXPECT_EQ(first.delid, second.delid);
}

TEST(MakeUploadCodesTest, ClockAndGeneratorMakeWellFormedCodes) {
    static const QRegularExpression pngcodeForm("^[0-9]{18}$");
    std::set<int> seenDigits;
    std::set<QString> seenRandomParts;
    for (int i = 0; i < 200; ++i) {
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const UploadCodes codes = MakeUploadCodes();
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        ASSERT_TRUE(pngcodeForm.match(codes.pngcode).hasMatch()) << codes.pngcode.toStdString();
        const QDateTime made = QDateTime::fromString(codes.delid, "yyyyMMddHHmmss");
        ASSERT_TRUE(made.isValid()) << codes.delid.toStdString();
        EXPECT_TRUE(before <= made && made <= after);
        // The mixed digits follow from the deletion id and the four random digits at the end.
        const QString randomPart = codes.pngcode.right(4);
        std::array<int, 4> digits{};
        for (int k = 0; k < 4; ++k) digits[k] = randomPart[k].digitValue();
        EXPECT_EQ(MakeUploadCodes(made, digits).pngcode, codes.pngcode);
        seenDigits.insert(digits.begin(), digits.end());
        seenRandomParts.insert(randomPart);
    }
    // 800 uniform draws: every digit shows up and the four-digit tails vary.
    EXPECT_EQ(seenDigits, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_GT(seenRandomParts.size(), 100u);
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
