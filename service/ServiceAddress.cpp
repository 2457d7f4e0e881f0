#include "service/ServiceAddress.h"

#include <QtGlobal>

namespace quiblo {

QString serviceHost() {
    const QString host = qEnvironmentVariable("QUIBLO_SERVICE_HOST");
    return host.isEmpty() ? QStringLiteral(QUIBLO_DEFAULT_SERVICE_HOST) : host;
}

int ftpPort() {
    bool ok = false;
    const int port = qEnvironmentVariable("QUIBLO_FTP_PORT").toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : QUIBLO_DEFAULT_FTP_PORT;
}

QString serviceScriptUrl(const QString& script, const QString& query) {
    return "http://" + serviceHost() + "/" + script + query;
}

QString servicePageUrl(const QString& path) {
    return "http://" + serviceHost() + path;
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

QStringList splitReply(const QString& reply) {
    return reply.split(QLatin1Char('|'), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

}  // namespace quiblo
