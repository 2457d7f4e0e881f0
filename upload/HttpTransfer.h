// The upload over HTTP, to a service that offers it: a PUT of the picture to the offered address,
// the upload key where it may go, handed over 100 bytes at a time and with the same time limits as
// the FTP transfer, so that a person sees the same progress. A refusal is the HTTP status with the
// service's words, in place of the FTP server's reply.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "Transfer.h"

namespace quiblo {

// Sends data to url with the upload password of this version (a service that no longer takes it
// answers 403: the failure is then a refused login, as over FTP); onChunk(sent) follows every
// chunk handed over, and once more at the end.
std::optional<TransferFailure> putPicture(const QString& url, const QString& password,
                                          const QString& uploadKey, const QByteArray& data,
                                          const std::function<void(qint64 sent)>& onChunk);

}  // namespace quiblo
