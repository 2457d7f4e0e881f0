#include "service/SimpleHttp.h"

#include <curl/curl.h>

#include <climits>
#include <memory>
#include <mutex>

#include "platform/CodePage.h"

namespace quiblo {

namespace {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// libcurl write callback: appends the received bytes to the QByteArray behind target.
size_t appendBody(char* data, size_t size, size_t count, void* target) {
    auto* buffer = static_cast<QByteArray*>(target);
    const size_t bytes = size * count;
    // The count is returned as an int: refuse more than that (libcurl then ends the transfer).
    if (bytes > size_t(INT_MAX) - size_t(buffer->size())) return 0;
    buffer->append(data, qsizetype(bytes));
    return bytes;
}

// Every request asks for a fresh answer, never a cached one.
CurlList noCacheHeaders() {
    CurlList headers;
    for (const char* line : {"Cache-Control: no-cache", "Pragma: no-cache"}) {
        curl_slist* head = curl_slist_append(headers.get(), line);
        if (!head) break;
        if (head != headers.get()) {
            (void)headers.release();
            headers.reset(head);
        }
    }
    return headers;
}

void setOptions(CURL* curl, const QByteArray& url, curl_slist* headers, QByteArray& buffer,
                const HttpLimits& limits) {
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quiblo");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    // No signals: requests run on worker threads.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &buffer);
}

}  // namespace

int GetUrlBytes(const QString& url, QByteArray& buffer, const HttpLimits& limits) {
    buffer.clear();
    if (url.isEmpty()) return 0;
    initCurlOnce();
    CurlEasy curl(curl_easy_init());
    if (!curl) return 0;
    CurlList headers = noCacheHeaders();
    const QByteArray address = url.toUtf8();
    setOptions(curl.get(), address, headers.get(), buffer, limits);
    // The result code is not examined: whatever arrived before a failure is the reply.
    curl_easy_perform(curl.get());
    return int(buffer.size());
}

QString GetUrlText(const QString& url, const HttpLimits& limits) {
    QByteArray buffer;
    if (GetUrlBytes(url, buffer, limits) == 0) return {};
    return fromCp932(buffer);
}

}  // namespace quiblo
