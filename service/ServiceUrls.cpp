#include "service/ServiceUrls.h"

namespace quiblo {

QString servicePageUrl(const ServiceSettings& settings, const QString& path) {
    if (!settings.unreadable.isEmpty()) return {};  // nothing is contacted
    return (settings.address.secure ? "https://" : "http://") + settings.address.host + path;
}

QString serviceScriptUrl(const ServiceSettings& settings, const QString& script,
                         const QString& query) {
    return servicePageUrl(settings, "/" + script + query);
}

QString userCheckUrl(const ServiceSettings& settings, const QString& sid) {
    return serviceScriptUrl(settings, "usercheck.cgi", "?op=chk&sid=" + sid);
}

QString recordUrl(const ServiceSettings& settings, const QString& pngcode, const QString& delid,
                  const QString& sid) {
    return serviceScriptUrl(settings, "recode.cgi",
                            "?op=rec&pngcode=" + pngcode + "&delid=" + delid + "&sid=" + sid);
}

QString deleteUrl(const ServiceSettings& settings, const QString& pngcode, const QString& delid) {
    return serviceScriptUrl(settings, "delete2.cgi",
                            "?op=del&pngcode=" + pngcode + "&delid=" + delid);
}

QString viewUrl(const ServiceSettings& settings, const QString& viewingCode) {
    return serviceScriptUrl(settings, "view.cgi", "?" + viewingCode);
}

QString downloadPageUrl(const ServiceSettings& settings) {
    return servicePageUrl(settings, "/download.html");
}

QString supportBoardUrl(const ServiceSettings& settings) {
    return servicePageUrl(settings, "/cgi-bin/forum/forum.cgi");
}

}  // namespace quiblo
