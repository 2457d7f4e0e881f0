#include "service/UserId.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>

namespace quiblo {

namespace {

// At most 8 bytes of an address make the identifier (16 digits): a machine keeps the id its
// users' counts are kept under, whatever the length of its first interface's address.
constexpr int maxAddressBytes = 8;

struct IfAddrsDeleter {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};
using IfAddrsList = std::unique_ptr<ifaddrs, IfAddrsDeleter>;

// An all-zero address is what interfaces without hardware report.
bool hasHardwareAddress(const QByteArray& address) {
    return std::any_of(address.begin(), address.end(), [](char byte) { return byte != 0; });
}

NetworkInterface fromPacketEntry(const ifaddrs& entry) {
    const auto* link = reinterpret_cast<const sockaddr_ll*>(entry.ifa_addr);
    const int length = std::min<int>(link->sll_halen, sizeof link->sll_addr);
    return {QString::fromLocal8Bit(entry.ifa_name), (entry.ifa_flags & IFF_LOOPBACK) != 0,
            QByteArray(reinterpret_cast<const char*>(link->sll_addr), length)};
}

}  // namespace

QString BytesToHex(const unsigned char* bytes, int length) {
    static const char digits[] = "0123456789ABCDEF";
    QString hex;
    for (int i = 0; i < length; ++i) {
        hex += QLatin1Char(digits[bytes[i] >> 4]);
        hex += QLatin1Char(digits[bytes[i] & 0x0F]);
    }
    return hex;
}

QString userIdFromInterfaces(const std::vector<NetworkInterface>& interfaces) {
    for (const NetworkInterface& candidate : interfaces) {
        if (candidate.loopback || !hasHardwareAddress(candidate.hardwareAddress)) continue;
        const int length = std::min<int>(candidate.hardwareAddress.size(), maxAddressBytes);
        return BytesToHex(reinterpret_cast<const unsigned char*>(candidate.hardwareAddress.data()),
                          length);
    }
    return QStringLiteral("DEFAULT");
}

std::optional<std::vector<NetworkInterface>> systemNetworkInterfaces() {
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) return std::nullopt;
    IfAddrsList list(raw);
    // Each interface has one AF_PACKET entry, listed in interface index order.
    std::vector<NetworkInterface> interfaces;
    for (const ifaddrs* entry = list.get(); entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_PACKET)
            interfaces.push_back(fromPacketEntry(*entry));
    }
    return interfaces;
}

QString GetUserId() {
    const auto interfaces = systemNetworkInterfaces();
    return interfaces ? userIdFromInterfaces(*interfaces) : QString();
}

}  // namespace quiblo
