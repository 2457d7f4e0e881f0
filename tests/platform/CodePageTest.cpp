#include <gtest/gtest.h>

#include "platform/CodePage.h"

using namespace quiblo;

TEST(CodePage, JapaneseTextBecomesShiftJisBytes) {
    EXPECT_EQ(toCp932(QStringLiteral("クイブロ")), QByteArray("\x83\x4E\x83\x43\x83\x75\x83\x8D"));
    EXPECT_EQ(toCp932(QStringLiteral("Quiblo|1,2\r\n")), QByteArray("Quiblo|1,2\r\n"));
}

TEST(CodePage, WindowsOnlyCharactersUseTheWindowsTable) {
    // The circled digit and the full-width tilde exist in CP932 but not in plain Shift-JIS.
    EXPECT_EQ(toCp932(QStringLiteral("①～")), QByteArray("\x87\x40\x81\x60"));
    EXPECT_EQ(fromCp932(QByteArray("\x87\x40\x81\x60")), QStringLiteral("①～"));
}

TEST(CodePage, RoundTripKeepsEveryCharacter) {
    const QString text = QStringLiteral("予期しないエラーが発生しました。サポートBBSで報告を|ａ1");
    EXPECT_EQ(fromCp932(toCp932(text)), text);
}

TEST(CodePage, UnconvertibleInputIsReplacedAndTheRestKept) {
    EXPECT_EQ(toCp932(QStringLiteral("a😀b")), QByteArray("a?b"));
    // 0xFF is never a CP932 byte; a lead byte at the very end is cut short.
    EXPECT_EQ(fromCp932(QByteArray("a\xFF"
                                   "b")),
              QStringLiteral("a\uFFFDb"));
    EXPECT_EQ(fromCp932(QByteArray("ab\x83")), QStringLiteral("ab\uFFFD"));
}

TEST(CodePage, LongTextIsConvertedWhole) {
    QString text;
    for (int i = 0; i < 5000; ++i) text += QStringLiteral("画像");
    const QByteArray bytes = toCp932(text);
    EXPECT_EQ(bytes.size(), 20000);
    EXPECT_EQ(fromCp932(bytes), text);
}
