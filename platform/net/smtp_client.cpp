#include "smtp_client.h"

#include "curl_handle.h"
#include "mail_message.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QRandomGenerator>
#include <QUrl>

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace wendlow {

namespace {

constexpr qsizetype maxReplyBytes = 64 * 1024;

struct Reply {
    int code = 0;
    Text text; // every line of the reply, without the final line end
    bool positive() const { return code >= 200 && code < 300; }
};

bool isHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool isIpv6Character(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
}

// The host as it goes into the URL (IDN names in their ASCII form, IPv6 in brackets), or empty
// when it is no host name at all: a text holding "/", "@" or blanks must not be read as a URL of
// another meaning.
QByteArray urlHost(const Text& host) {
    QString name = toUnicode(host).trimmed();
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']'))) {
        name = name.mid(1, name.size() - 2);
    }
    if (name.contains(QLatin1Char(':'))) {
        const QByteArray address = name.toLatin1();
        const bool valid =
            !address.isEmpty() && std::all_of(address.begin(), address.end(), isIpv6Character);
        return valid ? '[' + address + ']' : QByteArray();
    }
    const QByteArray ace = QUrl::toAce(name);
    const bool valid = !ace.isEmpty() && std::all_of(ace.begin(), ace.end(), isHostCharacter);
    return valid ? ace : QByteArray();
}

// The addresses of a recipient text: split at "," and ";", blanks around each removed.
QList<Text> addressList(const Text& text) {
    QList<Text> addresses;
    Text current;
    for (const char c : text + ',') {
        if (c == ',' || c == ';') {
            current = current.trimmed();
            if (!current.isEmpty()) {
                addresses.append(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    return addresses;
}

// An address may go into an SMTP command only if it cannot end the command or the path early.
bool isSafeAddress(const Text& address) {
    return std::none_of(address.begin(), address.end(), [](char c) {
        return c == '\r' || c == '\n' || c == '\0' || c == '<' || c == '>';
    });
}

// Lines starting with "." get a second one, and the mail ends with the lone "." line.
Text dotStuffed(const Text& mail) {
    Text out;
    out.reserve(mail.size() + 64);
    bool lineStart = true;
    for (const char c : mail) {
        if (lineStart && c == '.') {
            out += '.';
        }
        out += c;
        lineStart = c == '\n';
    }
    if (!out.endsWith("\r\n")) {
        out += "\r\n";
    }
    out += ".\r\n";
    return out;
}

Text newMessageId(const Text& from) {
    const qsizetype at = from.lastIndexOf('@');
    Text domain = at >= 0 ? from.mid(at + 1).trimmed() : Text();
    if (domain.isEmpty() || !std::all_of(domain.begin(), domain.end(), isHostCharacter)) {
        domain = "localhost";
    }
    quint32 random[4];
    QRandomGenerator::system()->fillRange(random);
    const Text unique = QByteArray(reinterpret_cast<const char*>(random), sizeof random).toHex();
    return QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + '.' + unique + '@' + domain;
}

// Greeting, EHLO, STARTTLS, TLS handshake, EHLO again, AUTH.
constexpr long loginSteps = 6;

// Ends the login when the TCP connection is not up within the time-out.
struct TcpConnectWatch {
    CURL* curl;
    QElapsedTimer started;
    qint64 limitMs;

    static int check(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        const auto* watch = static_cast<const TcpConnectWatch*>(self);
        curl_off_t connectedAfter = 0;
        curl_easy_getinfo(watch->curl, CURLINFO_CONNECT_TIME_T, &connectedAfter);
        return connectedAfter == 0 && watch->started.elapsed() >= watch->limitMs ? 1 : 0;
    }
};

Text curlFailure(const char* step, CURLcode code) {
    return Text(step) + ": " + curl_easy_strerror(code);
}

} // namespace

// One logged-in SMTP session: libcurl did the connect, TLS and login, and keeps the connection
// for us (connect-only mode); the mail transaction runs over it with curl_easy_send/recv, so it
// shares the session's TLS layer.
class SmtpClient::Session {
  public:
    Session(net::CurlEasy curl, curl_socket_t socket, int timeoutMs)
        : curl_(std::move(curl)), socket_(socket), timeoutMs_(timeoutMs) {}

    // One command and its reply; false (with `error` set) when the exchange itself failed.
    bool command(const Text& line, Reply& reply, Text& error) {
        return sendAll(line + "\r\n", error) && readReply(reply, error);
    }

    bool sendAll(const Text& bytes, Text& error) {
        qsizetype pos = 0;
        while (pos < bytes.size()) {
            size_t sent = 0;
            const CURLcode code = curl_easy_send(curl_.get(), bytes.constData() + pos,
                                                 static_cast<size_t>(bytes.size() - pos), &sent);
            if (code == CURLE_OK) {
                pos += static_cast<qsizetype>(sent);
            } else if (code == CURLE_AGAIN) {
                if (!waitFor(POLLOUT, QDeadlineTimer(timeoutMs_))) {
                    error = "server took no data within the time-out";
                    return false;
                }
            } else {
                error = curlFailure("send", code);
                return false;
            }
        }
        return true;
    }

    bool readReply(Reply& reply, Text& error) {
        const QDeadlineTimer deadline(timeoutMs_);
        for (;;) {
            if (takeReply(reply, error)) {
                return true;
            }
            if (!error.isEmpty()) {
                return false;
            }
            char buffer[16384];
            size_t received = 0;
            const CURLcode code = curl_easy_recv(curl_.get(), buffer, sizeof buffer, &received);
            if (code == CURLE_OK) {
                if (received == 0) {
                    error = "server closed the connection";
                    return false;
                }
                pending_.append(buffer, static_cast<qsizetype>(received));
            } else if (code == CURLE_AGAIN) {
                if (!waitFor(POLLIN, deadline)) {
                    error = "no reply within the time-out";
                    return false;
                }
            } else {
                error = curlFailure("receive", code);
                return false;
            }
        }
    }

  private:
    // Takes one complete reply (its continuation lines "NNN-" and the last line "NNN ") from the
    // received bytes. False when none is complete yet; `error` is set when the bytes are no reply.
    bool takeReply(Reply& reply, Text& error) {
        qsizetype lineStart = 0;
        for (;;) {
            const qsizetype lineEnd = pending_.indexOf('\n', lineStart);
            if (lineEnd < 0) {
                if (pending_.size() > maxReplyBytes) {
                    error = "reply too long";
                }
                return false;
            }
            const bool last = lineEnd - lineStart < 4 || pending_[lineStart + 3] != '-';
            if (!last) {
                lineStart = lineEnd + 1;
                continue;
            }
            bool numeric = false;
            reply.code = pending_.mid(lineStart, 3).toInt(&numeric);
            reply.text = pending_.left(lineEnd).trimmed();
            pending_.remove(0, lineEnd + 1);
            if (!numeric) {
                error = "malformed reply: " + reply.text;
                return false;
            }
            return true;
        }
    }

    bool waitFor(short events, const QDeadlineTimer& deadline) {
        for (;;) {
            pollfd entry{socket_, events, 0};
            const int ready = poll(&entry, 1, static_cast<int>(deadline.remainingTime()));
            if (ready > 0) {
                return true;
            }
            if (ready == 0 || errno != EINTR) {
                return false;
            }
        }
    }

    net::CurlEasy curl_; // its cleanup sends QUIT and closes the connection
    curl_socket_t socket_;
    int timeoutMs_;
    Text pending_;
};

SmtpClient::SmtpClient() {
    net::curlReady();
}

SmtpClient::~SmtpClient() = default;

void SmtpClient::setCaFile(const QString& path) {
    caFile_ = path;
}

bool SmtpClient::smtpConnect(const Text& host, int port, const Text& user, const Text& password,
                             int timeoutMs) {
    session_.reset();
    const QByteArray hostPart = urlHost(host);
    if (hostPart.isEmpty() || port < 1 || port > 65535) {
        return false;
    }
    net::CurlEasy curl = net::makeCurlEasy();
    if (!curl) {
        return false;
    }
    // A limit of 0 would mean libcurl's own (minutes); the smallest real limit is 1 ms.
    timeoutMs = std::max(timeoutMs, 1);
    const QByteArray url = "smtp://" + hostPart + ':' + QByteArray::number(port);
    // SASL expects UTF-8; the account comes in as GBK like every text of the program.
    const QByteArray userUtf8 = toUnicode(user).toUtf8();
    const QByteArray passwordUtf8 = toUnicode(password).toUtf8();
    const QByteArray caFile = caFile_.toLocal8Bit();

    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp");
    curl_easy_setopt(h, CURLOPT_USERNAME, userUtf8.constData());
    curl_easy_setopt(h, CURLOPT_PASSWORD, passwordUtf8.constData());
    // STARTTLS whenever the server offers it; a server without it still gets the login.
    curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    if (!caFile.isEmpty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());
    }
    // Greeting, EHLO, STARTTLS and AUTH only; the mail transaction is ours.
    curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
    // Each step of the login has the time-out: the name lookup with the TCP connect (watched by
    // the progress callback, which libcurl calls about once a second), and each server reply.
    // The TLS handshake has no limit of its own, so the whole login gets one step's time for
    // each of its steps.
    TcpConnectWatch watch{h, QElapsedTimer(), timeoutMs};
    watch.started.start();
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &TcpConnectWatch::check);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &watch);
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     static_cast<long>((timeoutMs + 999) / 1000));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs) * loginSteps);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);

    if (curl_easy_perform(h) != CURLE_OK) {
        return false;
    }
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(h, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK ||
        socket == CURL_SOCKET_BAD) {
        return false;
    }
    session_ = std::make_unique<Session>(std::move(curl), socket, timeoutMs);
    return true;
}

Text SmtpClient::smtpSend(const Text& subject, const Text& body, const Text& to, const Text& cc,
                          const Text& bcc, const Text& from, const Text& replyTo) {
    if (!session_) {
        return "not connected";
    }
    const QList<Text> recipients = addressList(to) + addressList(cc) + addressList(bcc);
    if (addressList(to).isEmpty()) {
        return "no recipient address";
    }
    const Text sender = from.trimmed();
    for (const Text& address : recipients + QList<Text>{sender}) {
        if (!isSafeAddress(address)) {
            return "address not usable: " + address;
        }
    }

    MailHeader header;
    header.from = from;
    header.to = to.trimmed();
    header.replyTo = replyTo;
    header.subject = subject;
    header.date = QDateTime::currentDateTime();
    header.messageId = newMessageId(sender);
    const Text mail = dotStuffed(composePlainMail(header, body));

    Reply reply;
    Text error;
    // Any refusal after MAIL FROM leaves a transaction open; RSET clears it so the session can
    // carry the next mail. An exchange that failed in itself leaves the session unusable.
    auto refused = [&](const Text& step) {
        const Text description = step + " refused: " + reply.text;
        Reply ignored;
        Text resetError;
        if (!session_->command("RSET", ignored, resetError)) {
            session_.reset();
        }
        return description;
    };
    auto broken = [&](const Text& step) {
        session_.reset();
        return step + ": " + error;
    };

    if (!session_->command("MAIL FROM:<" + sender + '>', reply, error)) {
        return broken("MAIL FROM");
    }
    if (!reply.positive()) {
        return refused("MAIL FROM");
    }
    for (const Text& address : recipients) {
        if (!session_->command("RCPT TO:<" + address + '>', reply, error)) {
            return broken("RCPT TO");
        }
        if (!reply.positive()) {
            return refused("RCPT TO <" + address + '>');
        }
    }
    if (!session_->command("DATA", reply, error)) {
        return broken("DATA");
    }
    if (reply.code != 354) {
        return refused("DATA");
    }
    if (!session_->sendAll(mail, error) || !session_->readReply(reply, error)) {
        return broken("message");
    }
    if (!reply.positive()) {
        return "message refused: " + reply.text;
    }
    return {};
}

} // namespace wendlow
