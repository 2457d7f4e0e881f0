// What every HTTP request of the program sets the same way, in one place: the address, the user
// agent, the program's language, the upload key where a key may go, the certificates trusted, no
// redirect, no signals, and its time limits. The callers add what is their own (the GET's
// reply cap and deadline, the PUT's body and progress).
#pragma once

#include <QByteArray>
#include <QString>

#include "service/Curl.h"

namespace quiblo {

// How long a connection may take, and how long the peer may send nothing.
struct TimeLimits {
    long connectSeconds = 10;
    long stallSeconds = 10;
};
// The transfers' limits (FTP and HTTP's PUT): a dead service ends the transfer instead of
// freezing it.
inline constexpr TimeLimits kTransferTimeLimits{10, 15};

// The request's options on curl. headers gets the language and, over TLS or to this machine,
// the X-Quiblo-Key header; it and url must outlive the request.
void setUpRequest(CURL* curl, const QByteArray& url, CurlList& headers, const QString& uploadKey,
                  TimeLimits limits);

}  // namespace quiblo
