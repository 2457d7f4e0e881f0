#include "service/ServiceSettings.h"

#include <QCoreApplication>
#include <QtGlobal>

#include "platform/Lines.h"

namespace quiblo {

namespace {

ServiceAddress addressOf(const StoredServiceSetting& stored) {
    for (const QString& text :
         {qEnvironmentVariable("QUIBLO_SERVICE_HOST"), stored.host, defaultServiceHost()}) {
        if (text.isEmpty()) continue;
        if (const std::optional<ServiceAddress> address = parseServiceAddress(text))
            return *address;
    }
    return ServiceAddress{false, defaultServiceHost()};
}

int ftpPortOf(const StoredServiceSetting& stored) {
    for (const QString& text : {qEnvironmentVariable("QUIBLO_FTP_PORT"), stored.ftpPort})
        if (const std::optional<int> port = parsePort(text)) return *port;
    return defaultFtpPort();
}

QString unreadableMessage(const StoredServiceSetting& stored) {
    if (parseServiceAddress(qEnvironmentVariable("QUIBLO_SERVICE_HOST"))) return {};
    if (stored.problem.isEmpty()) return {};
    return crLf(QCoreApplication::translate(
                    "ServiceAddress",
                    "The server setting (%1) cannot be read, so Quiblo does not connect.\n"
                    "Correct it in Settings."))
        .arg(stored.problem);
}

}  // namespace

ServiceSettings serviceSettings(const StoredServiceSetting& stored) {
    ServiceSettings settings;
    settings.address = addressOf(stored);
    settings.ftpPort = ftpPortOf(stored);
    const QString key = stored.uploadKey.trimmed();
    settings.uploadKey = isUploadKey(key) ? key : QString();
    const QString lifetime = stored.lifetime.trimmed();
    settings.lifetime = isUploadLifetime(lifetime) ? lifetime : QString();
    settings.unreadable = unreadableMessage(stored);
    return settings;
}

QString ServiceSettings::hostName() const {
    const QString& host = address.host;
    if (host.startsWith(QLatin1Char('['))) return host.left(host.indexOf(QLatin1Char(']')) + 1);
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? host : host.left(colon);
}

QString ServiceSettings::ftpPasswordWithKey(const QString& password) const {
    if (uploadKey.isEmpty() || !keyMayGo(address.secure, hostName())) return password;
    return password + QLatin1Char(':') + uploadKey;
}

}  // namespace quiblo
