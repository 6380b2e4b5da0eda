#include "http_client.h"
#include "python_server.h"
#include "text.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace wendlow;
using wendlow::test::PythonServer;

class TstHttpClient : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();

    void returnsBody_data();
    void returnsBody();
    void keepsFirst64KiB();
    void sendsHttp10RequestHeaders();
    void failureGivesNothing_data();
    void failureGivesNothing();

  private:
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1").arg(server_.port()) + QLatin1String(path);
    }
    QList<QJsonObject> requests() const {
        QFile file(log_);
        QList<QJsonObject> list;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (!line.isEmpty()) {
                    list << QJsonDocument::fromJson(line).object();
                }
            }
        }
        return list;
    }

    QTemporaryDir temp_;
    QString log_;
    PythonServer server_;
    PythonServer silent_;
};

void TstHttpClient::initTestCase() {
    test::clearProxyEnvironment();
    QVERIFY(temp_.isValid());
    log_ = temp_.filePath(QStringLiteral("requests.jsonl"));
    const QString script = QStringLiteral(WENDLOW_HTTP_SERVER);
    QVERIFY2(server_.start(script, {QStringLiteral("--log"), log_}), server_.output().constData());
    QVERIFY2(silent_.start(script, {QStringLiteral("--silent")}), silent_.output().constData());
}

void TstHttpClient::cleanupTestCase() {
    server_.stop();
    silent_.stop();
}

void TstHttpClient::returnsBody_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<Text>("body");

    QTest::newRow("1.1") << QByteArray("/v11") << Text("1.1");
    QTest::newRow("1.0") << QByteArray("/v10") << Text("1.0");
    QTest::newRow("0.9") << QByteArray("/v09") << Text("0.9");
    QTest::newRow("1.00000001") << QByteArray("/v100000001") << Text("1.00000001");
    QTest::newRow("1.0.1") << QByteArray("/v101") << Text("1.0.1");
    QTest::newRow("trailing CR LF") << QByteArray("/crlf") << Text("1.1\r\n");
    QTest::newRow("full-width digits") << QByteArray("/fullwidth") << gbk("１．１");
    QTest::newRow("zero byte inside") << QByteArray("/zero") << Text("1.1\0tail", 8);
    QTest::newRow("error page") << QByteArray("/missing")
                                << Text("<html><body>") + gbk("无此页") +
                                       " not found</body></html>";
    QTest::newRow("after a redirect") << QByteArray("/redirect") << Text("1.1");
}

void TstHttpClient::returnsBody() {
    QFETCH(QByteArray, path);
    QFETCH(Text, body);
    HttpClient client;
    QCOMPARE(client.httpGetBody(url(path.constData())), body);
}

void TstHttpClient::keepsFirst64KiB() {
    Text expected;
    for (int i = 0; i < 64 * 1024; ++i) {
        expected += char(i % 251);
    }
    HttpClient client;
    QCOMPARE(client.httpGetBody(url("/large")), expected);
}

void TstHttpClient::sendsHttp10RequestHeaders() {
    const qsizetype before = requests().size();
    HttpClient client;
    QCOMPARE(client.httpGetBody(url("/v11")), Text("1.1"));
    const QList<QJsonObject> list = requests();
    QCOMPARE(list.size(), before + 1);

    const QJsonObject request = list.last();
    QCOMPARE(request[u"request_line"].toString(), QStringLiteral("GET /v11 HTTP/1.0"));
    QMultiMap<QString, QString> headers;
    for (const QJsonValue& pair : request[u"headers"].toArray()) {
        headers.insert(pair[0].toString().toLower(), pair[1].toString());
    }
    QCOMPARE(headers.values(QStringLiteral("accept")), QStringList{QStringLiteral("*/*")});
    QCOMPARE(headers.values(QStringLiteral("user-agent")),
             QStringList{QStringLiteral("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)")});
    QCOMPARE(headers.values(QStringLiteral("pragma")), QStringList{QStringLiteral("no-cache")});
    QCOMPARE(headers.values(QStringLiteral("cache-control")),
             QStringList{QStringLiteral("no-cache")});
}

void TstHttpClient::failureGivesNothing_data() {
    QTest::addColumn<QString>("address");

    QTest::newRow("refused port")
        << QStringLiteral("http://127.0.0.1:%1/v11").arg(test::closedPort());
    QTest::newRow("silent server") << QStringLiteral("http://127.0.0.1:%1/v11").arg(silent_.port());
    // Some bytes arrive, but the body never completes: only the bound on the whole request ends it.
    QTest::newRow("endless trickle") << url("/trickle");
    QTest::newRow("redirect loop") << url("/loop");
    QTest::newRow("not a web address") << QStringLiteral("file:///etc/hostname");
    QTest::newRow("empty address") << QString();
}

void TstHttpClient::failureGivesNothing() {
    QFETCH(QString, address);
    HttpClient client;
    QElapsedTimer timer;
    timer.start();
    const Text body = client.httpGetBody(address);
    qInfo("gave up after %lld ms", timer.elapsed());
    QVERIFY2(body.isEmpty(), body.left(80).constData());
    QVERIFY(timer.elapsed() < 15000); // guards against a hang only
}

QTEST_GUILESS_MAIN(TstHttpClient)
#include "tst_http_client.moc"
