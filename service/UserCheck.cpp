#include "UserCheck.h"

#include <QRegularExpression>
#include <algorithm>

#include "platform/Wait.h"
#include "service/ServiceUrls.h"
#include "service/UserId.h"

namespace quiblo {

qint64 announcedSizeLimit(const QByteArray& header) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,12}$"));
    const QString text = QString::fromLatin1(header.trimmed());
    if (!digits.match(text).hasMatch()) return kDefaultSizeLimit;
    const qint64 limit = text.toLongLong();
    return limit > 0 ? std::min(limit, kLargestSizeLimit) : kDefaultSizeLimit;
}

UserCheck checkUser(const ServiceSettings& settings, const HttpLimits& limits) {
    UserCheck check;
    check.unreadableSetting = settings.unreadable;
    if (!check.unreadableSetting.isEmpty()) return check;
    const HttpRequest request{userCheckUrl(settings, GetUserId()), settings.uploadKey, limits};
    const HttpReply reply = runWaiting([&] { return httpGet(request); });
    pauseFor(200);
    check.tlsFailure = reply.tlsFailure;
    check.reply = readUserCheckReply(reply.text());
    // Only a plain path is taken: the offer cannot send the picture to another host.
    static const QRegularExpression plainPath(
        QStringLiteral("^/[A-Za-z0-9_-]+(/[A-Za-z0-9_-]+)*/$"));
    const QString offered = QString::fromLatin1(reply.header("X-Quiblo-Upload"));
    if (plainPath.match(offered).hasMatch()) check.uploadPath = offered;
    check.sizeLimit = announcedSizeLimit(reply.header("X-Quiblo-Max-Bytes"));
    return check;
}

}  // namespace quiblo
