// The user identifier from the machine's network interfaces.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "service/UserId.h"

namespace quiblo {
namespace {

QByteArray bytes(std::initializer_list<unsigned char> values) {
    QByteArray result;
    for (unsigned char value : values) result += char(value);
    return result;
}

const NetworkInterface loopback{"lo", true, bytes({0, 0, 0, 0, 0, 0})};

TEST(BytesToHexTest, TwoUpperCaseDigitsPerByte) {
    const unsigned char address[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(BytesToHex(address, 6), "001A2B3C4D5E");
    const unsigned char edges[] = {0x0F, 0xF0, 0xFF, 0x09};
    EXPECT_EQ(BytesToHex(edges, 4), "0FF0FF09");
    EXPECT_EQ(BytesToHex(edges, 1), "0F");
    EXPECT_EQ(BytesToHex(edges, 0), "");
}

TEST(UserIdTest, FirstInterfaceWithHardwareAddressThatIsNotLoopback) {
    const NetworkInterface first{"eth0", false, bytes({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E})};
    const NetworkInterface second{"wlan0", false, bytes({0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF})};
    EXPECT_EQ(userIdFromInterfaces({loopback, first, second}), "001A2B3C4D5E");
    EXPECT_EQ(userIdFromInterfaces({second, first}), "AABBCCDDEEFF");
}

TEST(UserIdTest, InterfacesWithoutHardwareAddressAreSkipped) {
    const NetworkInterface tunnel{"tun0", false, {}};
    const NetworkInterface dummy{"dummy0", false, bytes({0, 0, 0, 0, 0, 0})};
    const NetworkInterface ethernet{"eth1", false, bytes({0x02, 0x42, 0xAC, 0x11, 0x00, 0x02})};
    EXPECT_EQ(userIdFromInterfaces({tunnel, dummy, ethernet}), "0242AC110002");
}

TEST(UserIdTest, NoUsableInterfaceGivesDefault) {
    EXPECT_EQ(userIdFromInterfaces({}), "DEFAULT");
    EXPECT_EQ(userIdFromInterfaces({loopback}), "DEFAULT");
    const NetworkInterface loopbackWithAddress{"lo1", true, bytes({1, 2, 3, 4, 5, 6})};
    EXPECT_EQ(userIdFromInterfaces({loopbackWithAddress}), "DEFAULT");
}

TEST(UserIdTest, LongAddressesGiveAtMostEightBytes) {
    QByteArray infiniband(20, char(0x80));
    infiniband[0] = char(0x12);
    EXPECT_EQ(userIdFromInterfaces({{"ib0", false, infiniband}}), "1280808080808080");
}

TEST(UserIdTest, ThisMachine) {
    const auto interfaces = systemNetworkInterfaces();
    ASSERT_TRUE(interfaces.has_value());
    // Linux always has the loopback interface, and must report it as such.
    bool loopbackSeen = false;
    for (const NetworkInterface& candidate : *interfaces)
        if (candidate.name == "lo") loopbackSeen = candidate.loopback;
    EXPECT_TRUE(loopbackSeen);

    static const QRegularExpression form("^(DEFAULT|([0-9A-F]{2}){1,8})$");
    const QString id = GetUserId();
    EXPECT_TRUE(form.match(id).hasMatch()) << id.toStdString();
    EXPECT_EQ(GetUserId(), id);
}

}  // namespace
}  // namespace quiblo
