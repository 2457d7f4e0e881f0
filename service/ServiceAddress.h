// Where the service lives and the address of each of its endpoints. Addresses are plain
// concatenations: every value put into a query is made of letters, digits, "-" and "_" only.
#pragma once

#include <QString>
#include <QStringList>

namespace quiblo {

// host[:port] of the HTTP service: QUIBLO_SERVICE_HOST, else the build-time setting.
QString serviceHost();
// Port of the upload server: QUIBLO_FTP_PORT, else the build-time setting.
int ftpPort();

// "http://" + host + "/" + script + query.
QString serviceScriptUrl(const QString& script, const QString& query);
// "http://" + host + path; path begins with "/".
QString servicePageUrl(const QString& path);

QString userCheckUrl(const QString& sid);
QString recordUrl(const QString& pngcode, const QString& delid, const QString& sid);
QString deleteUrl(const QString& pngcode, const QString& delid);
QString viewUrl(const QString& viewingCode);
QString downloadPageUrl();
QString supportBoardUrl();

// A reply cut at every "|" into fields, nothing trimmed; field 0 is the status word. An empty
// reply gives one empty field, which no caller takes for a status.
QStringList splitReply(const QString& reply);

}  // namespace quiblo
