// libcurl's handles owned the one way: each freed with its own cleanup call, and the library
// set up once per process before the first handle.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace quiblo {

struct CurlEasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlEasyCleanup>;

struct CurlMultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiCleanup>;

struct CurlListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListCleanup>;
// Adds a header line; the list stays as it was when there is no memory for it.
void appendHeader(CurlList& headers, const char* line);
// Asks the service for its texts in the program's language.
void appendLanguageHeader(CurlList& headers);

// curl_global_init, once for the process, from whichever thread comes first.
void initCurlOnce();

}  // namespace quiblo
