#include "service/Curl.h"

#include <mutex>

namespace quiblo {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace quiblo
