// The two plain forms of the program's GET that the tests ask the service with.
#pragma once

#include <QByteArray>
#include <QString>

#include "service/SimpleHttp.h"

namespace quiblo::test {

// The body into buffer; its size (0 when nothing arrived).
int GetUrlBytes(const QString& url, QByteArray& buffer, const HttpLimits& limits = {});
// The body decoded from CP932; empty text when nothing arrived.
QString GetUrlText(const QString& url, const HttpLimits& limits = {});

}  // namespace quiblo::test
