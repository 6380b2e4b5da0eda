#pragma once

#include "text.h"

#include <QString>

#include <memory>

namespace wendlow {

// Sends plain-text mails through an SMTP server, logging in with the user's own account.
//
// smtpConnect opens one session: greeting, EHLO, STARTTLS whenever the server offers it (the
// server's certificate is checked against the system's certificate store, so the password never
// crosses the network in clear to an unverified server), then AUTH with the account. smtpSend
// then runs one mail transaction (MAIL FROM, RCPT TO, DATA) over that same session, which stays
// open afterwards for the next mail until the next connect or the client's end (both send QUIT).
//
// Time limits, all from the time-out given to smtpConnect (2000 ms in the program): the name
// lookup with the TCP connect, and each reply of the server, may take that long (the connect is
// checked about once a second, so an unreachable host fails after 2 to 3 s); the whole login at
// most six times that. A closed port or a refused login fails at once, a server that never
// answers after about the time-out; nothing waits for ever.
class SmtpClient {
  public:
    SmtpClient();
    ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // Trust the certificate authorities in this PEM file instead of the system's store (tests
    // use a certificate authority of their own).
    void setCaFile(const QString& path);

    // True when the server greeted, took the login where it offers one, and the session is open.
    // False on refusal, wrong password, unknown host, failed certificate check or time-out.
    // A connection still open is ended first.
    bool smtpConnect(const Text& host, int port, const Text& user, const Text& password,
                     int timeoutMs);

    // Sends one mail over the open session. `to`, `cc` and `bcc` are address texts (several
    // addresses separated by "," or ";"); cc and bcc go into the envelope only. Empty when the
    // server accepted the mail, otherwise a description of what failed (for logs, never shown).
    Text smtpSend(const Text& subject, const Text& body, const Text& to, const Text& cc,
                  const Text& bcc, const Text& from, const Text& replyTo);

  private:
    class Session;
    std::unique_ptr<Session> session_;
    QString caFile_;
};

} // namespace wendlow
