#pragma once

#include <curl/curl.h>

#include <memory>

namespace wendlow::net {

// libcurl's process-wide set-up, done once by the first client and undone at exit.
// Returns false when libcurl could not be initialised; no transfer may start then.
bool curlReady();

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// A fresh easy handle, or null when libcurl is not usable.
CurlEasy makeCurlEasy();

// Appends one line to a header list; the list stays owned by `list`. False when out of memory.
bool appendToList(CurlList& list, const char* line);

} // namespace wendlow::net
