#pragma once

#include "text.h"

#include <QString>

namespace wendlow {

// Fetches small documents over HTTP for the version check.
//
// Every request is bounded so that the calling window never freezes for long: 2 s to connect,
// 5 s for the whole request, at most 64 KiB of body (a longer body gives its first 64 KiB), at
// most 3 redirects. A failed request (refused, unreachable, timed out, too many redirects)
// therefore returns after at most about 5 s.
class HttpClient {
  public:
    HttpClient();

    // The body of a GET over HTTP/1.0, whatever the status (an error page's body is returned
    // too). No bytes when the request fails.
    Text httpGetBody(const QString& url);

    static constexpr long connectTimeoutMs = 2000;
    static constexpr long requestTimeoutMs = 5000;
    static constexpr qsizetype maxBodyBytes = 64 * 1024;
    static constexpr long maxRedirects = 3;
};

} // namespace wendlow
