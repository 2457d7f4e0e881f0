// HTTP requests to the service. Plain blocking functions, safe to call from any thread; the
// windows run them through runWaiting (or in the background) so that they never freeze.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>

namespace quiblo {

// How long a request may wait and how much it may take. A dead host ends after the connect
// limit; a service that stops sending (less than one byte a second) ends after the stall limit;
// one that keeps sending slowly ends at the overall deadline. Real replies are under a kilobyte:
// a longer one than the reply cap is refused rather than held in memory.
struct HttpLimits {
    long connectSeconds = 10;
    long stallSeconds = 10;
    long totalSeconds = 60;
    qsizetype maxReplyBytes = 1 << 20;
};

// One request to the service, and the one function that makes it: a GET, or a POST of JSON.
struct HttpRequest {
    QString url;
    // Sent in the X-Quiblo-Key header; left out over plain text to another machine.
    QString uploadKey = {};
    HttpLimits limits = {};
    QByteArray jsonBody = {};  // not empty: POSTed as application/json
    // Asked about once a second at least; true ends the request at once (a window that closed).
    std::function<bool()> abandoned = {};
};
struct HttpReply {
    // The body whatever the HTTP status; a transfer that breaks off gives what arrived. Empty
    // when nothing arrived, and for a reply past the overall deadline, longer than the cap, or a
    // redirect (none is followed), so that the caller takes its failure path.
    QByteArray body;
    // What to tell the user when the request failed in TLS itself (a certificate that does not
    // verify, no TLS where https asked for it) or was redirected from https to plain text.
    QString tlsFailure;
    long status = 0;  // the HTTP status; 0 when no answer came
    // The answer's header lines, name and value, as they came.
    QList<QPair<QByteArray, QByteArray>> headers;
    // The body decoded from CP932.
    QString text() const;
    // The value of the header NAME (any case), without the blanks around it; empty when absent.
    QByteArray header(const QByteArray& name) const;
};
// An empty url gives an empty reply without contacting anything. (A GET unless jsonBody is set.)
HttpReply httpGet(const HttpRequest& request);

}  // namespace quiblo
