#include <gtest/gtest.h>

#include "platform/Fault.h"

using namespace quiblo;

TEST(RuntimeFault, CarriesNumberAndJapaneseDescription) {
    const RuntimeFault fault(FaultNumber::FileNotFound);
    EXPECT_EQ(fault.number(), 53);
    EXPECT_EQ(fault.description(), QStringLiteral("ファイルが見つかりません。"));
    EXPECT_EQ(RuntimeFault(6).description(), QStringLiteral("オーバーフローしました。"));
    EXPECT_EQ(RuntimeFault(9).description(),
              QStringLiteral("インデックスが有効範囲にありません。"));
    EXPECT_EQ(RuntimeFault(76).description(), QStringLiteral("パスが見つかりません。"));
    EXPECT_EQ(RuntimeFault(481).description(), QStringLiteral("ピクチャが不正です。"));
    EXPECT_EQ(RuntimeFault(12345, QStringLiteral("x")).description(), QStringLiteral("x"));
}

TEST(RuntimeFault, SixteenBitRangeRaisesOverflowOutsideIt) {
    EXPECT_EQ(toInt16(32767), 32767);
    EXPECT_EQ(toInt16(-32768), -32768);
    for (long long outside : {32768LL, -32769LL, 1LL << 40}) {
        try {
            toInt16(outside);
            ADD_FAILURE() << outside << " did not overflow";
        } catch (const RuntimeFault& fault) {
            EXPECT_EQ(fault.number(), FaultNumber::Overflow);
        }
    }
}
