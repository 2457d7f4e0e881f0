#include "service/ServiceAddress.h"

#include <arpa/inet.h>

#include <QCoreApplication>
#include <QMutex>
#include <QRegularExpression>
#include <QtGlobal>
#include <cstring>

#include "platform/Lines.h"

namespace quiblo {

namespace {

QMutex sourceLock;
std::function<StoredServiceSetting()> storedSource;

StoredServiceSetting storedSetting() {
    QMutexLocker locked(&sourceLock);
    return storedSource ? storedSource() : StoredServiceSetting{};
}

bool isHostName(const QString& name) {
    static const QRegularExpression label(
        QStringLiteral("^(?=.{1,253}$)([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(\\.[A-Za-z0-9]("
                       "[A-Za-z0-9-]{0,61}"
                       "[A-Za-z0-9])?)*\\.?$"));
    return label.match(name).hasMatch();
}

}  // namespace

std::optional<int> parsePort(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch()) return {};
    const int port = text.toInt();
    if (port < 1 || port > 65535) return {};
    return port;
}

std::optional<ServiceAddress> parseServiceAddress(const QString& text) {
    ServiceAddress address;
    QString rest = text;
    for (const auto& [scheme, secure] :
         {std::pair{"https://", true}, std::pair{"http://", false}}) {
        if (rest.startsWith(QLatin1String(scheme), Qt::CaseInsensitive)) {
            rest = rest.mid(qsizetype(std::strlen(scheme)));
            address.secure = secure;
            break;
        }
    }
    if (rest.endsWith(QLatin1Char('/'))) rest.chop(1);  // "https://example.com/" is no path
    QString name = rest;
    QString port;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) return {};
        name = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':'))) return {};
        port = after.mid(1);
        in6_addr parsed{};
        if (::inet_pton(AF_INET6, name.toLatin1().constData(), &parsed) != 1) return {};
        if (!after.isEmpty() && !parsePort(port)) return {};
    } else {
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            name = rest.left(colon);
            port = rest.mid(colon + 1);
            if (!parsePort(port)) return {};
        }
        if (!isHostName(name)) return {};
    }
    address.host = rest;
    return address;
}

void setStoredServiceSetting(std::function<StoredServiceSetting()> source) {
    QMutexLocker locked(&sourceLock);
    storedSource = std::move(source);
}

QString defaultServiceHost() {
    return QStringLiteral(QUIBLO_DEFAULT_SERVICE_HOST);
}

int defaultFtpPort() {
    return QUIBLO_DEFAULT_FTP_PORT;
}

ServiceAddress serviceAddress() {
    for (const QString& text : {qEnvironmentVariable("QUIBLO_SERVICE_HOST"), storedSetting().host,
                                defaultServiceHost()}) {
        if (text.isEmpty()) continue;
        if (const std::optional<ServiceAddress> address = parseServiceAddress(text))
            return *address;
    }
    return ServiceAddress{false, defaultServiceHost()};
}

QString serviceHost() {
    return serviceAddress().host;
}

QString serviceHostName() {
    const QString host = serviceHost();
    if (host.startsWith(QLatin1Char('['))) return host.left(host.indexOf(QLatin1Char(']')) + 1);
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? host : host.left(colon);
}

QString uploadKey() {
    const QString key = storedSetting().uploadKey.trimmed();
    return isUploadKey(key) ? key : QString();
}

QString uploadLifetime() {
    const QString lifetime = storedSetting().lifetime.trimmed();
    return isUploadLifetime(lifetime) ? lifetime : QString();
}

bool isUploadLifetime(const QString& text) {
    return text == QLatin1String("1h") || text == QLatin1String("1d") ||
           text == QLatin1String("7d");
}

bool isUploadKey(const QString& text) {
    static const QRegularExpression key(QStringLiteral("^[A-Za-z0-9._~+/=-]{16,256}$"));
    return key.match(text).hasMatch();
}

bool isLoopbackHost(const QString& host) {
    QString name = host;
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    in_addr v4{};
    if (::inet_pton(AF_INET, name.toLatin1().constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return ::inet_pton(AF_INET6, name.toLatin1().constData(), &v6) == 1 &&
           IN6_IS_ADDR_LOOPBACK(&v6);
}

QString serviceSettingMessage() {
    if (parseServiceAddress(qEnvironmentVariable("QUIBLO_SERVICE_HOST"))) return {};
    const QString problem = storedSetting().problem;
    if (problem.isEmpty()) return {};
    return crLf(QCoreApplication::translate(
                    "ServiceAddress",
                    "The server setting (%1) cannot be read, so Quiblo does not connect.\n"
                    "Correct it in Settings."))
        .arg(problem);
}

bool keyMayGo(bool secure, const QString& host) {
    return secure || isLoopbackHost(host);
}

QString ftpPasswordWithKey(const QString& password) {
    const QString key = uploadKey();
    if (key.isEmpty() || !keyMayGo(serviceIsSecure(), serviceHostName())) return password;
    return password + QLatin1Char(':') + key;
}

bool serviceIsSecure() {
    return serviceAddress().secure;
}

int ftpPort() {
    for (const QString& text : {qEnvironmentVariable("QUIBLO_FTP_PORT"), storedSetting().ftpPort})
        if (const std::optional<int> port = parsePort(text)) return *port;
    return defaultFtpPort();
}

QString serviceScriptUrl(const QString& script, const QString& query) {
    return servicePageUrl("/" + script + query);
}

QString servicePageUrl(const QString& path) {
    if (!serviceSettingMessage().isEmpty()) return {};  // nothing is contacted
    const ServiceAddress address = serviceAddress();
    return (address.secure ? "https://" : "http://") + address.host + path;
}

QString userCheckUrl(const QString& sid) {
    return serviceScriptUrl("usercheck.cgi", "?op=chk&sid=" + sid);
}

QString recordUrl(const QString& pngcode, const QString& delid, const QString& sid) {
    return serviceScriptUrl("recode.cgi",
                            "?op=rec&pngcode=" + pngcode + "&delid=" + delid + "&sid=" + sid);
}

QString deleteUrl(const QString& pngcode, const QString& delid) {
    return serviceScriptUrl("delete2.cgi", "?op=del&pngcode=" + pngcode + "&delid=" + delid);
}

QString viewUrl(const QString& viewingCode) {
    return serviceScriptUrl("view.cgi", "?" + viewingCode);
}

QString downloadPageUrl() {
    return servicePageUrl("/download.html");
}

QString supportBoardUrl() {
    return servicePageUrl("/cgi-bin/forum/forum.cgi");
}

}  // namespace quiblo
