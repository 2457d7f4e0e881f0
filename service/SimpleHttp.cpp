#include "service/SimpleHttp.h"

#include <curl/curl.h>

#include <QUrl>
#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>

#include "platform/CodePage.h"
#include "service/Curl.h"
#include "service/Request.h"
#include "service/Tls.h"

namespace quiblo {

namespace {

// One request's reply and the limits it is held to.
struct Transfer {
    QByteArray& buffer;
    QList<QPair<QByteArray, QByteArray>>& headers;
    qsizetype maxBytes;
    std::chrono::steady_clock::time_point deadline;
    const std::function<bool()>& abandoned;
    bool tooLarge = false;
    bool tooLate = false;
};

// libcurl write callback: appends the received bytes to the reply, up to its cap. Returning
// less than was handed over ends the transfer.
size_t appendBody(char* data, size_t size, size_t count, void* target) {
    auto* transfer = static_cast<Transfer*>(target);
    const size_t bytes = size * count;
    if (bytes > size_t(transfer->maxBytes - transfer->buffer.size())) {
        transfer->tooLarge = true;
        return 0;
    }
    transfer->buffer.append(data, qsizetype(bytes));
    return bytes;
}

// libcurl header callback: keeps each "Name: value" line of the answer (a few, short).
size_t keepHeader(char* data, size_t size, size_t count, void* target) {
    auto* transfer = static_cast<Transfer*>(target);
    const size_t bytes = size * count;
    const QByteArray line(data, qsizetype(bytes));
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && transfer->headers.size() < 64)
        transfer->headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    return bytes;
}

// libcurl progress callback, called at least once a second: ends the transfer at the deadline,
// or when the caller no longer wants it.
int checkDeadline(void* target, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(target);
    if (transfer->abandoned && transfer->abandoned()) return 1;
    if (std::chrono::steady_clock::now() < transfer->deadline) return 0;
    transfer->tooLate = true;
    return 1;
}

// Every request asks for a fresh answer, never a cached one.
CurlList noCacheHeaders() {
    CurlList headers;
    for (const char* line : {"Cache-Control: no-cache", "Pragma: no-cache"})
        appendHeader(headers, line);
    return headers;
}

// The GET's own options beside the shared ones: the reply's cap and the callbacks that keep it.
void setReplyOptions(CURL* curl, Transfer& transfer) {
    // A reply announced longer than the cap is refused before its body comes.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(transfer.maxBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, keepHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkDeadline);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

}  // namespace

QString HttpReply::text() const {
    return fromCp932(body);
}

QByteArray HttpReply::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    return {};
}

HttpReply httpGet(const HttpRequest& request) {
    HttpReply reply;
    if (request.url.isEmpty()) return reply;
    initCurlOnce();
    CurlHandle curl(curl_easy_init());
    if (!curl) return reply;
    const QUrl parsed(request.url);
    const bool secure = parsed.scheme() == QLatin1String("https");
    CurlList headers = noCacheHeaders();
    if (!request.jsonBody.isEmpty()) appendHeader(headers, "Content-Type: application/json");
    const QByteArray address = request.url.toUtf8();
    // The size is handed out as an int, so the cap can never pass that.
    Transfer transfer{
        reply.body, reply.headers, std::clamp<qsizetype>(request.limits.maxReplyBytes, 0, INT_MAX),
        std::chrono::steady_clock::now() + std::chrono::seconds(request.limits.totalSeconds),
        request.abandoned};
    setUpRequest(curl.get(), address, headers, request.uploadKey,
                 {request.limits.connectSeconds, request.limits.stallSeconds});
    setReplyOptions(curl.get(), transfer);
    if (!request.jsonBody.isEmpty()) {
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE,
                         curl_off_t(request.jsonBody.size()));
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, request.jsonBody.constData());
    }
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, detail);
    // Whatever arrived before a broken transfer is the reply; only a reply cut short by the
    // deadline or the cap is none.
    const CURLcode result = curl_easy_perform(curl.get());
    reply.tlsFailure = tlsFailureText(result, parsed.host(), QString::fromUtf8(detail));
    if (transfer.tooLate || transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
        reply.body.clear();
    // A redirect is no reply; one from TLS to plain text is said as a TLS failure.
    long& status = reply.status;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status >= 300 && status < 400) {
        reply.body.clear();
        const char* target = nullptr;
        curl_easy_getinfo(curl.get(), CURLINFO_REDIRECT_URL, &target);
        if (secure && target && QUrl(QString::fromUtf8(target)).scheme() != QLatin1String("https"))
            reply.tlsFailure = plainTextRedirectText(parsed.host(), QString::fromUtf8(target));
    }
    return reply;
}

}  // namespace quiblo
