#include "service/ServiceAddress.h"

#include <arpa/inet.h>

#include <QRegularExpression>
#include <QtGlobal>
#include <cstring>

namespace quiblo {

namespace {

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

QString defaultServiceHost() {
    return QStringLiteral(QUIBLO_DEFAULT_SERVICE_HOST);
}

int defaultFtpPort() {
    return QUIBLO_DEFAULT_FTP_PORT;
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

bool keyMayGo(bool secure, const QString& host) {
    return secure || isLoopbackHost(host);
}

}  // namespace quiblo
