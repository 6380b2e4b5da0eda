#include "credits.h"
#include "main_window.h"
#include "settings.h"
#include "settings_keys.h"

#include "gui_support.h"
#include "python_server.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

using namespace wendlow;
using namespace wendlow::test;

namespace keys = wendlow::settings_keys;

namespace {

const QString kVersionCheck = QStringLiteral("窗口_在线升级");
const QString kNewer =
    QStringLiteral("你当前的版本比最新版本小，请到官网下载最新Wendlow。谢谢你的关注");
const QString kUpToDate = QStringLiteral("你当前的版本是最新的版本，谢谢你的关注！");
// The body the test server gives for a path it does not know.
const Text kNotFoundPage = "<html><body>\xce\xde\xb4\xcb\xd2\xb3 not found</body></html>";

void closeWindow(const QString& name) {
    if (QWidget* window = visibleWindow(name)) {
        window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The program started, with or without the welcome window.
std::unique_ptr<ProgramFixture> startProgram(bool welcome = false) {
    auto f = std::make_unique<ProgramFixture>();
    if (!QDir().mkpath(f->path(QStringLiteral("DATEINI"))) ||
        !writeSetting(keys::infIniPath(f->context()), keys::section(), keys::welcomeHidden(),
                      welcome ? keys::flagFalse() : keys::flagTrue()) ||
        !f->start()) {
        return nullptr;
    }
    return f;
}

// Takes the key banben out of Inf.ini, as if the start had never written it.
bool removeLocalVersion(ProgramFixture& f) {
    const QString ini = keys::infIniPath(f.context());
    QByteArray kept;
    for (const QByteArray& line : readFile(ini).split('\n')) {
        if (!line.trimmed().toLower().startsWith("banben")) {
            kept += line + '\n';
        }
    }
    return writeFile(ini, kept.chopped(1)) &&
           readSetting(ini, keys::section(), keys::version()).isEmpty();
}

struct Shown {
    explicit Shown(QWidget* window)
        : remote(window->findChild<QLineEdit*>(QStringLiteral("编辑框1"))),
          local(window->findChild<QLineEdit*>(QStringLiteral("编辑框2"))),
          verdict(window->findChild<QLabel*>(QStringLiteral("标签3"))),
          page(window->findChild<QLabel*>(QStringLiteral("标签4"))) {}
    bool complete() const { return remote && local && verdict && page; }

    QLineEdit* remote;
    QLineEdit* local;
    QLabel* verdict;
    QLabel* page;
};

} // namespace

class TstVersionCheck : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void comparesVersions_data();
    void comparesVersions();
    void nonModalOnTopAndFetchedOncePerLoad();
    void pageLabelOpensTheMakersPage();
    void welcomeWindowOpensIt();

  private:
    int requestCount() const { return int(readFile(logFile_).count('\n')); }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(http_.port()).arg(path);
    }

    QTemporaryDir temp_;
    QString logFile_;
    PythonServer http_;
    PythonServer silent_;
};

void TstVersionCheck::initTestCase() {
    clearProxyEnvironment();
    QVERIFY(temp_.isValid());
    logFile_ = temp_.filePath(QStringLiteral("requests.jsonl"));
    const QString script = QStringLiteral(WENDLOW_HTTP_SERVER);
    QVERIFY2(http_.start(script, {QStringLiteral("--log"), logFile_}), http_.output().constData());
    QVERIFY2(silent_.start(script, {QStringLiteral("--silent")}), silent_.output().constData());
}

void TstVersionCheck::cleanupTestCase() {
    http_.stop();
    silent_.stop();
}

void TstVersionCheck::cleanup() {
    closeWindow(kVersionCheck);
}

void TstVersionCheck::comparesVersions_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("localWritten");
    QTest::addColumn<Text>("remote");
    QTest::addColumn<bool>("newer");

    const QString http = QStringLiteral("http");
    QTest::newRow("1.1 against 1.0")
        << http << QStringLiteral("/v11") << true << Text("1.1") << true;
    QTest::newRow("1.0 against 1.0")
        << http << QStringLiteral("/v10") << true << Text("1.0") << false;
    QTest::newRow("0.9 against 1.0")
        << http << QStringLiteral("/v09") << true << Text("0.9") << false;
    QTest::newRow("1.00000001 against 1.0")
        << http << QStringLiteral("/v100000001") << true << Text("1.00000001") << false;
    QTest::newRow("1.0.1 against 1.0")
        << http << QStringLiteral("/v101") << true << Text("1.0.1") << false;
    QTest::newRow("1.1 and CR LF")
        << http << QStringLiteral("/crlf") << true << Text("1.1\r\n") << true;
    QTest::newRow("full-width 1.1")
        << http << QStringLiteral("/fullwidth") << true << gbk("１．１") << true;
    QTest::newRow("zero byte after 1.1")
        << http << QStringLiteral("/zero") << true << Text("1.1") << true;
    QTest::newRow("error page") << http << QStringLiteral("/no-such-file") << true << kNotFoundPage
                                << false;
    QTest::newRow("nothing listening")
        << QStringLiteral("closed") << QStringLiteral("/v11") << true << Text() << false;
    QTest::newRow("server never answers")
        << QStringLiteral("silent") << QStringLiteral("/v11") << true << Text() << false;
    QTest::newRow("no local version, 1.1")
        << http << QStringLiteral("/v11") << false << Text("1.1") << true;
    QTest::newRow("no local version, 1.00000001")
        << http << QStringLiteral("/v100000001") << false << Text("1.00000001") << true;
    QTest::newRow("no local version, nothing fetched")
        << QStringLiteral("closed") << QStringLiteral("/v11") << false << Text() << false;
}

void TstVersionCheck::comparesVersions() {
    QFETCH(QString, server);
    QFETCH(QString, path);
    QFETCH(bool, localWritten);
    QFETCH(Text, remote);
    QFETCH(bool, newer);

    auto f = startProgram();
    QVERIFY(f);
    if (!localWritten) {
        QVERIFY(removeLocalVersion(*f));
    }
    const int port = server == QLatin1String("http")     ? http_.port()
                     : server == QLatin1String("silent") ? silent_.port()
                                                         : closedPort();
    QVERIFY(port > 0);
    f->app().network().versionUrl = QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path);
    f->state().remoteVersion = "stale";
    f->state().localVersion = "stale";

    QElapsedTimer clock;
    clock.start();
    f->app().loadVersionCheck();
    qInfo("the version check took %lld ms", clock.elapsed());

    QWidget* window = visibleWindow(kVersionCheck);
    QVERIFY(window);
    const Shown shown(window);
    QVERIFY(shown.complete());
    const Text local = localWritten ? Text("1.0") : Text();
    QCOMPARE(f->state().remoteVersion, remote);
    QCOMPARE(f->state().localVersion, local);
    QCOMPARE(shown.remote->text(), toUnicode("WendlowV" + remote));
    QCOMPARE(shown.local->text(), toUnicode("WendlowV" + local));
    QCOMPARE(shown.verdict->text(), newer ? kNewer : kUpToDate);
    QVERIFY(f->boxes.shown.empty());
}

void TstVersionCheck::nonModalOnTopAndFetchedOncePerLoad() {
    auto f = startProgram();
    QVERIFY(f);
    f->app().network().versionUrl = url(QStringLiteral("/v11"));
    const int before = requestCount();

    f->app().loadVersionCheck();
    QPointer<QWidget> window = visibleWindow(kVersionCheck);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("在线升级"));
    QVERIFY(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window->windowModality(), Qt::NonModal);
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(f->main().isEnabled());
    const Shown shown(window);
    QVERIFY(shown.complete());
    QVERIFY(shown.remote->isReadOnly());
    QVERIFY(shown.local->isReadOnly());
    QVERIFY(shown.verdict->wordWrap());
    QCOMPARE(requestCount(), before + 1);

    // Loaded again while open, the window only comes forward: no new fetch, nothing replaced.
    f->app().network().versionUrl = url(QStringLiteral("/v10"));
    f->app().loadVersionCheck();
    QCOMPARE(visibleWindow(kVersionCheck), window.data());
    QCOMPARE(requestCount(), before + 1);
    QCOMPARE(f->state().remoteVersion, Text("1.1"));
    QCOMPARE(shown.verdict->text(), kNewer);

    // Closed with Esc and loaded again, it fetches anew.
    QTest::keyClick(window, Qt::Key_Escape);
    QVERIFY(!visibleWindow(kVersionCheck));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window);
    f->app().loadVersionCheck();
    QVERIFY(visibleWindow(kVersionCheck));
    QCOMPARE(requestCount(), before + 2);
    QCOMPARE(f->state().remoteVersion, Text("1.0"));
    QCOMPARE(Shown(visibleWindow(kVersionCheck)).verdict->text(), kUpToDate);
}

void TstVersionCheck::pageLabelOpensTheMakersPage() {
    auto f = startProgram();
    QVERIFY(f);
    f->app().network().versionUrl = url(QStringLiteral("/v10"));
    f->app().loadVersionCheck();
    QWidget* window = visibleWindow(kVersionCheck);
    QVERIFY(window);
    const Shown shown(window);
    QVERIFY(shown.complete());
    QVERIFY(shown.page->text().contains(credits::kMakersPageText));
    QCOMPARE(shown.page->cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseClick(shown.page, Qt::RightButton);
    QVERIFY(f->launcher.opened.empty());
    QTest::mousePress(shown.page, Qt::LeftButton);
    QCOMPARE(f->launcher.opened, std::vector<QUrl>{credits::kMakersPage});
    QTest::mouseRelease(shown.page, Qt::LeftButton);
    QCOMPARE(visibleWindow(kVersionCheck), window);
    QCOMPARE(f->launcher.opened.size(), size_t(1));
    QVERIFY(f->boxes.shown.empty());
}

void TstVersionCheck::welcomeWindowOpensIt() {
    auto f = startProgram(true);
    QVERIFY(f);
    f->app().network().versionUrl = url(QStringLiteral("/v11"));
    QWidget* welcome = visibleWindow(QStringLiteral("窗口_欢迎"));
    QVERIFY(welcome);
    auto* update = welcome->findChild<QAbstractButton*>(QStringLiteral("图形按钮3"));
    QVERIFY(update);
    QTest::mouseClick(update, Qt::LeftButton);
    QWidget* window = visibleWindow(kVersionCheck);
    QVERIFY(window);
    QCOMPARE(Shown(window).remote->text(), QStringLiteral("WendlowV1.1"));
    QCOMPARE(Shown(window).verdict->text(), kNewer);
    // The welcome window stays open behind it.
    QCOMPARE(visibleWindow(QStringLiteral("窗口_欢迎")), welcome);
}

QTEST_MAIN(TstVersionCheck)
#include "tst_version_check.moc"
