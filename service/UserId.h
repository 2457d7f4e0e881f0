// The user identifier: the hardware address of the machine's first network interface. The
// service knows a user only by it.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace quiblo {

// One network interface as the system lists it.
struct NetworkInterface {
    QString name;
    bool loopback = false;
    QByteArray hardwareAddress;  // empty when the interface has none
};

// Two upper-case hexadecimal digits per byte, no separators; empty for a length of 0.
QString BytesToHex(const unsigned char* bytes, int length);

// The identifier for interfaces in the system's order: the first one that is not loopback and
// has a hardware address (at most 8 bytes of it), or "DEFAULT" when there is none.
QString userIdFromInterfaces(const std::vector<NetworkInterface>& interfaces);

// The system's interfaces in its own order; nothing when the query fails.
std::optional<std::vector<NetworkInterface>> systemNetworkInterfaces();

// The identifier of this machine; empty when the system cannot be asked.
QString GetUserId();

}  // namespace quiblo
