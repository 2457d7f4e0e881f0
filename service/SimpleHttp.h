// HTTP GET requests to the service. Plain blocking functions, safe to call from any thread; the
// windows run them through runWaiting so that they never freeze.
#pragma once

#include <QByteArray>
#include <QString>

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

// The limits of every request that is not given its own; tests shorten them.
HttpLimits defaultHttpLimits();
void setDefaultHttpLimits(const HttpLimits& limits);

// Fetches url into buffer and returns the number of bytes received; 0 (and an empty buffer) when
// nothing arrived. The body is returned whatever the HTTP status; a transfer that breaks off
// returns what arrived. A reply past the overall deadline or longer than the reply cap counts
// as nothing, so the caller takes its failure path. An empty url gives 0 without contacting
// anything.
int GetUrlBytes(const QString& url, QByteArray& buffer);
int GetUrlBytes(const QString& url, QByteArray& buffer, const HttpLimits& limits);
// The same, filling tlsFailure (see Tls.h) when the request failed in TLS itself: a certificate
// that does not verify, or no TLS where https asked for it.
int GetUrlBytes(const QString& url, QByteArray& buffer, const HttpLimits& limits,
                QString* tlsFailure);
// The same with the upload key in the X-Quiblo-Key header; it is left out over plain text to
// another machine. A request to an https address never follows a redirect to plain text.
int GetUrlBytes(const QString& url, QByteArray& buffer, const HttpLimits& limits,
                QString* tlsFailure, const QString& uploadKey);

// GetUrlBytes decoded from CP932; empty text when nothing arrived.
QString GetUrlText(const QString& url);
QString GetUrlText(const QString& url, const HttpLimits& limits);
QString GetUrlText(const QString& url, QString* tlsFailure);
QString GetUrlText(const QString& url, QString* tlsFailure, const QString& uploadKey);

}  // namespace quiblo
