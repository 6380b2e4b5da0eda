#include "python_server.h"
#include "smtp_client.h"
#include "text.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace wendlow;
using wendlow::test::PythonServer;

namespace {

const Text user = "user";
const Text password = "secret";
const Text senderAddress = "me@example.com";
const Text friendAddress = "friend@example.com";
const Text refusedAddress = "nobody@example.com";
constexpr int timeoutMs = 2000;

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QStringList strings(const QJsonValue& array) {
    QStringList list;
    for (const QJsonValue& v : array.toArray()) {
        list << v.toString();
    }
    return list;
}

QList<QJsonObject> jsonLines(const QString& path) {
    QFile file(path);
    QList<QJsonObject> lines;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty()) {
                lines << QJsonDocument::fromJson(line).object();
            }
        }
    }
    return lines;
}

} // namespace

class TstSmtpClient : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();

    void sendsMail_data();
    void sendsMail();
    void copiesStayInEnvelope();
    void refusedRecipientLeavesSessionUsable();
    void unusableRecipientIsRefused();
    void sendNeedsSession();
    void connectFails_data();
    void connectFails();
    void silentServerFails();
    void slowServerWithinLimit();
    void startTlsCarriesLogin();
    void untrustedCertificateGetsNoPassword();

  private:
    int messageCount(const QString& dir) const {
        return int(QDir(dir).entryList({QStringLiteral("msg-*.json")}, QDir::Files).size());
    }
    QJsonObject message(const QString& dir, int number) const {
        QFile file(dir + QStringLiteral("/msg-%1.json").arg(number));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }
    QByteArray rawMessage(const QString& dir, int number) const {
        QFile file(dir + QStringLiteral("/msg-%1.eml").arg(number));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir temp_;
    QString plainDir_;
    QString tlsDir_;
    QString certDir_;
    PythonServer plain_;
    PythonServer tls_;
    PythonServer silent_;
    PythonServer unreachable_;
};

void TstSmtpClient::initTestCase() {
    test::clearProxyEnvironment();
    QVERIFY(temp_.isValid());
    plainDir_ = temp_.filePath(QStringLiteral("plain"));
    tlsDir_ = temp_.filePath(QStringLiteral("tls"));
    certDir_ = temp_.filePath(QStringLiteral("certs"));
    for (const QString& dir : {plainDir_, tlsDir_, certDir_}) {
        QVERIFY(QDir().mkpath(dir));
    }
    const QString script = QStringLiteral(WENDLOW_SMTP_SERVER);
    QVERIFY2(plain_.start(script, {QStringLiteral("--dir"), plainDir_, QStringLiteral("--reject"),
                                   QString::fromLatin1(refusedAddress)}),
             plain_.output().constData());
    QVERIFY2(tls_.start(script,
                        {QStringLiteral("--dir"), tlsDir_, QStringLiteral("--tls-dir"), certDir_}),
             tls_.output().constData());
    QVERIFY2(silent_.start(script, {QStringLiteral("--silent")}), silent_.output().constData());
    QVERIFY2(unreachable_.start(script, {QStringLiteral("--unreachable")}),
             unreachable_.output().constData());
}

void TstSmtpClient::cleanupTestCase() {
    plain_.stop();
    tls_.stop();
    silent_.stop();
    unreachable_.stop();
}

void TstSmtpClient::sendsMail_data() {
    QTest::addColumn<Text>("subject");
    QTest::addColumn<QString>("expectedSubject");
    QTest::addColumn<Text>("body");
    QTest::addColumn<Text>("expectedBody");
    QTest::addColumn<QString>("bodyCharset");

    const char* entry = "日记标题：春节     这篇日记完成于：2010年2月14日9时5分\r\n"
                        "那时我的心情开心     以及那时的天气：晴\r\n今天放鞭炮。";
    QTest::newRow("entry as the mail window builds it")
        << gbk("小明跟你分享他的日记：春节") << u("小明跟你分享他的日记：春节") << gbk(entry)
        << gbk(entry) << QStringLiteral("gbk");

    // One ASCII byte first puts every later character on an odd offset, so a word cut at a
    // fixed byte count would split one.
    const char* longSubject = "a小明跟你分享他的日记：寒假里的第一场大雪，我们在院子里堆了一个很大"
                              "的雪人，还给它戴上了红色的帽子和围巾，真开心啊";
    QTest::newRow("long subject over several words")
        << gbk(longSubject) << u(longSubject) << gbk("短") << gbk("短") << QStringLiteral("gbk");

    // U+20BB7 has no GBK code; GB18030 gives it four bytes.
    const char* rare = "a𠮷祥如意𠮷𠮷𠮷𠮷𠮷𠮷𠮷𠮷𠮷𠮷𠮷𠮷𠮷𠮷𠮷";
    QTest::newRow("four-byte characters")
        << gbk(rare) << u(rare) << gbk("吉𠮷\r\n") << gbk("吉𠮷\r\n") << QStringLiteral("gb18030");

    const Text dots = ".\r\n..\r\n.hidden\r\nend.\r\n.";
    QTest::newRow("lines of dots") << gbk("点") << u("点") << dots << dots << QStringLiteral("gbk");

    QTest::newRow("line breaks made CR LF")
        << gbk("换行") << u("换行") << gbk("一\n二\r三\r\n\n") << gbk("一\r\n二\r\n三\r\n\r\n")
        << QStringLiteral("gbk");

    QTest::newRow("empty subject and body")
        << Text() << QString() << Text() << Text() << QStringLiteral("gbk");
}

void TstSmtpClient::sendsMail() {
    QFETCH(Text, subject);
    QFETCH(QString, expectedSubject);
    QFETCH(Text, body);
    QFETCH(Text, expectedBody);
    QFETCH(QString, bodyCharset);

    SmtpClient client;
    QVERIFY(client.smtpConnect("127.0.0.1", plain_.port(), user, password, timeoutMs));
    const int before = messageCount(plainDir_);
    const Text result =
        client.smtpSend(subject, body, friendAddress, Text(), Text(), senderAddress, senderAddress);
    QVERIFY2(result.isEmpty(), result.constData());
    QCOMPARE(messageCount(plainDir_), before + 1);

    const QJsonObject mail = message(plainDir_, before + 1);
    QCOMPARE(mail[u"mail_from"].toString(), QStringLiteral("me@example.com"));
    QCOMPARE(strings(mail[u"rcpt_tos"]), QStringList{QStringLiteral("friend@example.com")});
    QCOMPARE(mail[u"from"].toString(), QStringLiteral("me@example.com"));
    QCOMPARE(mail[u"to"].toString(), QStringLiteral("friend@example.com"));
    QCOMPARE(mail[u"reply_to"].toString(), QStringLiteral("me@example.com"));
    QCOMPARE(mail[u"subject"].toString(), expectedSubject);
    QCOMPARE(mail[u"mime_version"].toString(), QStringLiteral("1.0"));
    QCOMPARE(mail[u"content_type"].toString(), QStringLiteral("text/plain"));
    QCOMPARE(mail[u"charset"].toString(), bodyCharset);
    QCOMPARE(mail[u"transfer_encoding"].toString(), QStringLiteral("base64"));
    QCOMPARE(QByteArray::fromHex(mail[u"body_hex"].toString().toLatin1()), expectedBody);
    QVERIFY(!mail[u"date"].toString().isEmpty());
    QVERIFY(mail[u"message_id"].toString().contains(QLatin1Char('@')));

    QVERIFY(mail[u"crlf_only"].toBool());
    QVERIFY(mail[u"seven_bit"].toBool());
    QVERIFY2(mail[u"max_line_length"].toInt() <= 76,
             QByteArray::number(mail[u"max_line_length"].toInt()).constData());
    const QString wordCharset = expectedSubject.toUcs4().size() == expectedSubject.size()
                                    ? QStringLiteral("GBK")
                                    : QStringLiteral("GB18030");
    for (const QJsonValue& word : mail[u"encoded_words"].toArray()) {
        const QJsonObject w = word.toObject();
        QVERIFY2(w[u"length"].toInt() <= 75, QByteArray::number(w[u"length"].toInt()).constData());
        QVERIFY(w[u"whole"].toBool());
        QCOMPARE(w[u"charset"].toString(), wordCharset);
    }
}

void TstSmtpClient::copiesStayInEnvelope() {
    SmtpClient client;
    QVERIFY(client.smtpConnect("127.0.0.1", plain_.port(), user, password, timeoutMs));
    const int before = messageCount(plainDir_);
    const Text result =
        client.smtpSend(gbk("抄送"), gbk("正文"), friendAddress, "copy@example.com",
                        " hidden@example.com; second@example.com ", senderAddress, senderAddress);
    QVERIFY2(result.isEmpty(), result.constData());
    QCOMPARE(messageCount(plainDir_), before + 1);

    const QJsonObject mail = message(plainDir_, before + 1);
    QCOMPARE(
        strings(mail[u"rcpt_tos"]),
        (QStringList{QStringLiteral("friend@example.com"), QStringLiteral("copy@example.com"),
                     QStringLiteral("hidden@example.com"), QStringLiteral("second@example.com")}));
    QCOMPARE(mail[u"to"].toString(), QStringLiteral("friend@example.com"));
    const QStringList headers = strings(mail[u"headers"]);
    QVERIFY2(!headers.contains(u"Bcc", Qt::CaseInsensitive), qPrintable(headers.join(u',')));
    QVERIFY2(!headers.contains(u"Cc", Qt::CaseInsensitive), qPrintable(headers.join(u',')));
    QVERIFY(!rawMessage(plainDir_, before + 1).contains("hidden"));
}

void TstSmtpClient::refusedRecipientLeavesSessionUsable() {
    SmtpClient client;
    QVERIFY(client.smtpConnect("127.0.0.1", plain_.port(), user, password, timeoutMs));
    const int before = messageCount(plainDir_);

    // Refused as the recipient, and as a copy next to an accepted one: nothing is delivered.
    QVERIFY(!client
                 .smtpSend(gbk("主题"), gbk("正文"), refusedAddress, Text(), Text(), senderAddress,
                           senderAddress)
                 .isEmpty());
    QVERIFY(!client
                 .smtpSend(gbk("主题"), gbk("正文"), friendAddress, refusedAddress, Text(),
                           senderAddress, senderAddress)
                 .isEmpty());
    QCOMPARE(messageCount(plainDir_), before);

    // The same session carries the next mail.
    const Text result = client.smtpSend(gbk("主题"), gbk("正文"), friendAddress, Text(), Text(),
                                        senderAddress, senderAddress);
    QVERIFY2(result.isEmpty(), result.constData());
    QCOMPARE(messageCount(plainDir_), before + 1);
}

void TstSmtpClient::unusableRecipientIsRefused() {
    SmtpClient client;
    QVERIFY(client.smtpConnect("127.0.0.1", plain_.port(), user, password, timeoutMs));
    const int before = messageCount(plainDir_);
    QVERIFY(!client
                 .smtpSend(gbk("主题"), gbk("正文"), "   ", Text(), Text(), senderAddress,
                           senderAddress)
                 .isEmpty());
    QVERIFY(!client
                 .smtpSend(gbk("主题"), gbk("正文"), "friend@example.com>\r\nRSET", Text(), Text(),
                           senderAddress, senderAddress)
                 .isEmpty());
    QCOMPARE(messageCount(plainDir_), before);
}

void TstSmtpClient::sendNeedsSession() {
    SmtpClient never;
    QVERIFY(!never
                 .smtpSend(gbk("主题"), gbk("正文"), friendAddress, Text(), Text(), senderAddress,
                           senderAddress)
                 .isEmpty());

    // A failed connect also ends the session that was open before it.
    SmtpClient client;
    QVERIFY(client.smtpConnect("127.0.0.1", plain_.port(), user, password, timeoutMs));
    QVERIFY(!client.smtpConnect("127.0.0.1", plain_.port(), user, "wrong", timeoutMs));
    const int before = messageCount(plainDir_);
    QVERIFY(!client
                 .smtpSend(gbk("主题"), gbk("正文"), friendAddress, Text(), Text(), senderAddress,
                           senderAddress)
                 .isEmpty());
    QCOMPARE(messageCount(plainDir_), before);
}

void TstSmtpClient::connectFails_data() {
    QTest::addColumn<Text>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<Text>("account");
    QTest::addColumn<Text>("secret");

    QTest::newRow("wrong password") << Text("127.0.0.1") << plain_.port() << user << Text("wrong");
    QTest::newRow("unknown account")
        << Text("127.0.0.1") << plain_.port() << Text("other") << password;
    QTest::newRow("closed port") << Text("127.0.0.1") << test::closedPort() << user << password;
    QTest::newRow("TCP connect never answered")
        << Text("127.0.0.1") << unreachable_.port() << user << password;
    QTest::newRow("host not found") << Text("no-such-host.invalid") << 25 << user << password;
    QTest::newRow("not a host name") << Text("127.0.0.1/x@y") << plain_.port() << user << password;
    QTest::newRow("host only blanks") << Text("   ") << plain_.port() << user << password;
}

void TstSmtpClient::connectFails() {
    QFETCH(Text, host);
    QFETCH(int, port);
    QFETCH(Text, account);
    QFETCH(Text, secret);

    SmtpClient client;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.smtpConnect(host, port, account, secret, timeoutMs));
    qInfo("failed after %lld ms", timer.elapsed());
    QVERIFY(timer.elapsed() < 10000); // guards against a hang only
}

void TstSmtpClient::silentServerFails() {
    SmtpClient client;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.smtpConnect("127.0.0.1", silent_.port(), user, password, timeoutMs));
    qInfo("silent server given up after %lld ms", timer.elapsed());
    QVERIFY(timer.elapsed() < 10000); // guards against a hang only
}

// Every reply comes late but within the time-out: the login and the mail take several times the
// time-out in all and still succeed.
void TstSmtpClient::slowServerWithinLimit() {
    QTemporaryDir dir;
    PythonServer slow;
    QVERIFY2(slow.start(QStringLiteral(WENDLOW_SMTP_SERVER),
                        {QStringLiteral("--dir"), dir.path(), QStringLiteral("--delay"),
                         QStringLiteral("1.0")}),
             slow.output().constData());
    SmtpClient client;
    QVERIFY(client.smtpConnect("127.0.0.1", slow.port(), user, password, timeoutMs));
    const Text result = client.smtpSend(gbk("慢"), gbk("正文"), friendAddress, Text(), Text(),
                                        senderAddress, senderAddress);
    QVERIFY2(result.isEmpty(), result.constData());
    QCOMPARE(messageCount(dir.path()), 1);
}

void TstSmtpClient::startTlsCarriesLogin() {
    const QString authLog = tlsDir_ + QStringLiteral("/auth.jsonl");
    const qsizetype loginsBefore = jsonLines(authLog).size();
    SmtpClient client;
    client.setCaFile(certDir_ + QStringLiteral("/ca.pem"));
    QVERIFY(client.smtpConnect("127.0.0.1", tls_.port(), user, password, timeoutMs));
    const int before = messageCount(tlsDir_);
    const Text result = client.smtpSend(gbk("加密"), gbk("正文\r\n"), friendAddress, Text(), Text(),
                                        senderAddress, senderAddress);
    QVERIFY2(result.isEmpty(), result.constData());
    QCOMPARE(messageCount(tlsDir_), before + 1);
    QVERIFY(message(tlsDir_, before + 1)[u"tls"].toBool());

    // The server offers AUTH only inside TLS: one login, and it happened there.
    const QList<QJsonObject> logins = jsonLines(authLog);
    QCOMPARE(logins.size(), loginsBefore + 1);
    QVERIFY(logins.last()[u"success"].toBool());
    QVERIFY(logins.last()[u"tls"].toBool());
}

void TstSmtpClient::untrustedCertificateGetsNoPassword() {
    const qsizetype before = jsonLines(tlsDir_ + QStringLiteral("/auth.jsonl")).size();
    SmtpClient client; // trusts only the system's authorities, which did not sign the test server
    QVERIFY(!client.smtpConnect("127.0.0.1", tls_.port(), user, password, timeoutMs));
    QCOMPARE(jsonLines(tlsDir_ + QStringLiteral("/auth.jsonl")).size(), before);
}

QTEST_GUILESS_MAIN(TstSmtpClient)
#include "tst_smtp_client.moc"
