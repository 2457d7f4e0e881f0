// A service address as the user writes it, and the rules its parts keep: the port, the upload
// key, the lifetime, and where a key may go.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quiblo {

// A service address as the user gives it: "host", "host:port", "[v6]:port", each optionally
// after "http://" or "https://". With https every request and page goes over TLS and the upload
// uses explicit TLS.
struct ServiceAddress {
    bool secure = false;
    QString host;  // host[:port], as it goes into an address
};
// The address, or nothing for spaces, a path, a user name, a bad host or a port out of range.
std::optional<ServiceAddress> parseServiceAddress(const QString& text);
// A port of 1 to 65535 written in decimal digits, or nothing.
std::optional<int> parsePort(const QString& text);

// True when a key may go to a service at this address: over TLS, or to this machine.
bool keyMayGo(bool secure, const QString& host);
bool isUploadLifetime(const QString& text);
// True for 16 to 256 of A-Z a-z 0-9 . _ ~ + / = -, the keys a service lists.
bool isUploadKey(const QString& text);
// True for "localhost" and the loopback addresses (127.0.0.0/8, ::1), with or without brackets.
bool isLoopbackHost(const QString& host);

// The build-time settings, which an empty box in the settings window stands for.
QString defaultServiceHost();
int defaultFtpPort();

}  // namespace quiblo
