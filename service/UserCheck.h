// The user check: usercheck.cgi asked for this user with the upload key, one request for the
// usage window and the upload alike (Replies.h reads its reply for each).
#pragma once

#include <QString>

#include "service/Replies.h"
#include "service/ServiceSettings.h"
#include "service/SimpleHttp.h"

namespace quiblo {

inline constexpr qint64 kDefaultSizeLimit = 500000;
// What the program sends at most, whatever a service announces: a picture is held in memory.
inline constexpr qint64 kLargestSizeLimit = 20000000;

// The size limit of an X-Quiblo-Max-Bytes value: plain digits, at most kLargestSizeLimit;
// anything else (or nothing) is the default.
qint64 announcedSizeLimit(const QByteArray& header);

struct UserCheck {
    // A service setting that cannot be read: no service was asked (the message names it).
    QString unreadableSetting;
    // The request failed in TLS itself (see Tls.h).
    QString tlsFailure;
    UserCheckReply reply;
    // Where the service takes the picture over HTTP ("/upload/"), when it offers that; empty:
    // the upload goes by FTP, as to earlier services.
    QString uploadPath;
    // The size limit the service announces, at most kLargestSizeLimit; an earlier service
    // announces none, and means kDefaultSizeLimit.
    qint64 sizeLimit = kDefaultSizeLimit;
};
// Asks the service of these settings: the request runs waiting without freezing the windows,
// and a short pause follows, as the program has always made.
UserCheck checkUser(const ServiceSettings& settings, const HttpLimits& limits = {});

}  // namespace quiblo
