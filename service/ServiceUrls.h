// The address of each of the service's endpoints. Addresses are plain concatenations: every value
// put into a query is made of letters, digits, "-" and "_" only. Each is empty when the stored
// address cannot be read, so that nothing is contacted.
#pragma once

#include <QString>

#include "service/ServiceSettings.h"

namespace quiblo {

// scheme + "://" + host + path; path begins with "/".
QString servicePageUrl(const ServiceSettings& settings, const QString& path);
// scheme + "://" + host + "/" + script + query.
QString serviceScriptUrl(const ServiceSettings& settings, const QString& script,
                         const QString& query);

QString userCheckUrl(const ServiceSettings& settings, const QString& sid);
QString recordUrl(const ServiceSettings& settings, const QString& pngcode, const QString& delid,
                  const QString& sid);
QString deleteUrl(const ServiceSettings& settings, const QString& pngcode, const QString& delid);
QString viewUrl(const ServiceSettings& settings, const QString& viewingCode);
QString downloadPageUrl(const ServiceSettings& settings);
QString supportBoardUrl(const ServiceSettings& settings);

}  // namespace quiblo
