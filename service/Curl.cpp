#include "service/Curl.h"

#include <mutex>

#include "platform/Translation.h"

namespace quiblo {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void appendHeader(CurlList& headers, const char* line) {
    curl_slist* head = curl_slist_append(headers.get(), line);
    if (head && head != headers.get()) {
        (void)headers.release();
        headers.reset(head);
    }
}

void appendLanguageHeader(CurlList& headers) {
    appendHeader(headers, ("Accept-Language: " + languageTag().toLatin1()).constData());
}

}  // namespace quiblo
