#include "curl_handle.h"

namespace wendlow::net {

namespace {

class CurlGlobal {
  public:
    CurlGlobal() : ok_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}
    ~CurlGlobal() {
        if (ok_) {
            curl_global_cleanup();
        }
    }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;
    bool ok() const { return ok_; }

  private:
    bool ok_;
};

} // namespace

bool curlReady() {
    // A function-local static: initialised once, thread-safely, by whichever client comes first.
    static const CurlGlobal global;
    return global.ok();
}

CurlEasy makeCurlEasy() {
    return curlReady() ? CurlEasy(curl_easy_init()) : CurlEasy();
}

bool appendToList(CurlList& list, const char* line) {
    curl_slist* head = curl_slist_append(list.get(), line);
    if (head == nullptr) {
        return false;
    }
    if (!list) {
        list.reset(head); // later appends keep this head
    }
    return true;
}

} // namespace wendlow::net
