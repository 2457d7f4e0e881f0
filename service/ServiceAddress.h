// Where the service lives and the address of each of its endpoints. Addresses are plain
// concatenations: every value put into a query is made of letters, digits, "-" and "_" only.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
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

// The address and FTP port as stored in the settings (empty when not set there); the program
// sets where they come from once at start.
struct StoredServiceSetting {
    QString host;
    QString ftpPort;
    QString uploadKey;
    QString lifetime;  // the pictures' lifetime: "1h", "1d" or "7d"; empty: the service's own
    // A setting present but unreadable, named with its file ("ServiceHost in Quiblo.ini"; empty
    // when none): it is not passed over for the next source, and no service is contacted.
    QString problem;
};
void setStoredServiceSetting(std::function<StoredServiceSetting()> source);

// The service's address; the first that applies: QUIBLO_SERVICE_HOST, the stored setting, the
// build-time setting. Read again for every request, so a changed setting holds from the next.
ServiceAddress serviceAddress();
// host[:port] of the HTTP service.
QString serviceHost();
// The host alone, without the HTTP port: the upload server's host.
QString serviceHostName();
bool serviceIsSecure();
// Port of the upload server: QUIBLO_FTP_PORT, the stored setting, the build-time setting.
int ftpPort();
// The upload key of the settings (empty when none): it goes with the user check, the
// registration and the FTP login, but never in plain text to another machine.
QString uploadKey();
// The lifetime the user chose for the pictures sent ("1h", "1d" or "7d"), sent with each
// registration; empty for the service's own keeping time.
QString uploadLifetime();
bool isUploadLifetime(const QString& text);
// True for 16 to 256 of A-Z a-z 0-9 . _ ~ + / = -, the keys a service lists.
bool isUploadKey(const QString& text);
// True for "localhost" and the loopback addresses (127.0.0.0/8, ::1), with or without brackets.
bool isLoopbackHost(const QString& host);
// What to tell the user when the stored address cannot be read (empty when it can, or when
// QUIBLO_SERVICE_HOST names a service instead).
QString serviceSettingMessage();

// True when a key may go to a service at this address: over TLS, or to this machine.
bool keyMayGo(bool secure, const QString& host);
// The upload password, with the upload key after a colon when there is one to send.
QString ftpPasswordWithKey(const QString& password);

// The build-time settings, which an empty box in the settings window stands for.
QString defaultServiceHost();
int defaultFtpPort();

// scheme + "://" + host + "/" + script + query.
QString serviceScriptUrl(const QString& script, const QString& query);
// scheme + "://" + host + path; path begins with "/".
QString servicePageUrl(const QString& path);

QString userCheckUrl(const QString& sid);
QString recordUrl(const QString& pngcode, const QString& delid, const QString& sid);
QString deleteUrl(const QString& pngcode, const QString& delid);
QString viewUrl(const QString& viewingCode);
QString downloadPageUrl();
QString supportBoardUrl();

}  // namespace quiblo
