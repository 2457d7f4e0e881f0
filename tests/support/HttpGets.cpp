#include "support/HttpGets.h"

namespace quiblo::test {

int GetUrlBytes(const QString& url, QByteArray& buffer, const HttpLimits& limits) {
    buffer = httpGet({url, {}, limits}).body;
    return int(buffer.size());
}

QString GetUrlText(const QString& url, const HttpLimits& limits) {
    return httpGet({url, {}, limits}).text();
}

}  // namespace quiblo::test
