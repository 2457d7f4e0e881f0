// Which pictures the service still shows: one request (POST /api/exists) for a list of picture
// codes, answered yes or no for each.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include "service/SimpleHttp.h"

namespace quiblo {

// The service takes at most this many codes in one request.
inline constexpr qsizetype kCodesPerExistsRequest = 1000;

struct ExistsAnswer {
    bool answered = false;  // false: no service, or one that does not know the question
    QSet<QString> gone;     // the codes it said no to
};

// ["code", ...]
QByteArray existsQuery(const QStringList& codes);
// The codes a 200 answer {"code": false, ...} says no to; a code it leaves out or answers
// with anything but true or false is taken as still there.
ExistsAnswer readExistsReply(const HttpReply& reply);

// Asks url (the service's /api/exists), kCodesPerExistsRequest codes at a time; stops at the
// first request that gets no answer, keeping what the others said.
ExistsAnswer askWhichAreGone(const QString& url, const QString& uploadKey, const QStringList& codes,
                             const HttpLimits& limits, const std::function<bool()>& abandoned = {});

}  // namespace quiblo
