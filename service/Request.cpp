#include "service/Request.h"

#include <QUrl>

#include "service/ServiceAddress.h"
#include "service/Tls.h"

namespace quiblo {

void setUpRequest(CURL* curl, const QByteArray& url, CurlList& headers, const QString& uploadKey,
                  TimeLimits limits) {
    const QUrl parsed(QString::fromUtf8(url));
    appendLanguageHeader(headers);
    const bool secure = parsed.scheme() == QLatin1String("https");
    if (!uploadKey.isEmpty() && keyMayGo(secure, parsed.host()))
        appendHeader(headers, ("X-Quiblo-Key: " + uploadKey.toLatin1()).constData());
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quiblo");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    // No redirect is followed: the service never sends one, and one followed could carry the
    // user's id, the deletion id, the picture and the key elsewhere, or from TLS to plain text.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    // No signals: requests run on worker threads.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
    useCertificateStore(curl);
}

}  // namespace quiblo
