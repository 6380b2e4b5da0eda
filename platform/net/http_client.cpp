#include "http_client.h"

#include "curl_handle.h"

#include <QUrl>

namespace wendlow {

namespace {

// Collects the body and stops the transfer once the cap is reached.
struct BodySink {
    Text body;
    bool capped = false;
};

size_t collectBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const size_t bytes = size * count;
    const qsizetype room = HttpClient::maxBodyBytes - sink->body.size();
    if (static_cast<qsizetype>(bytes) < room) {
        sink->body.append(data, static_cast<qsizetype>(bytes));
        return bytes;
    }
    sink->body.append(data, room);
    sink->capped = true;
    // Taking fewer bytes than offered makes libcurl end the transfer with a write error.
    return 0;
}

} // namespace

HttpClient::HttpClient() {
    net::curlReady();
}

Text HttpClient::httpGetBody(const QString& url) {
    net::CurlEasy curl = net::makeCurlEasy();
    if (!curl) {
        return {};
    }
    net::CurlList headers;
    // "no-cache" in both the HTTP/1.0 and the HTTP/1.1 spelling, so no cache on the way answers.
    if (!net::appendToList(headers, "Accept: */*") ||
        !net::appendToList(headers, "Pragma: no-cache") ||
        !net::appendToList(headers, "Cache-Control: no-cache")) {
        return {};
    }
    // Percent-encoded, so a path with Chinese characters goes out as the server expects.
    const QUrl parsed(url);
    const QByteArray address = parsed.isValid() ? parsed.toEncoded() : QByteArray();
    if (address.isEmpty()) {
        return {};
    }
    BodySink sink;

    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, address.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, maxRedirects);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, requestTimeoutMs);
    // Timeouts must not rely on signals: the clients may run on any thread.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &collectBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);

    const CURLcode result = curl_easy_perform(h);
    if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && sink.capped)) {
        return sink.body;
    }
    return {};
}

} // namespace wendlow
