#include "mail_accounts.h"
#include "mail_compose.h"
#include "main_window.h"
#include "record_store.h"
#include "send_mail_window.h"
#include "settings.h"
#include "settings_keys.h"

#include "gui_support.h"
#include "mail_records.h"
#include "python_server.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

using namespace wendlow;
using namespace wendlow::test;

namespace keys = wendlow::settings_keys;

Q_DECLARE_METATYPE(wendlow::MailAccount)
Q_DECLARE_METATYPE(std::vector<wendlow::MailAccount>)

namespace {

const QString kSendMail = QStringLiteral("窗口_发送好友");
const Text kFillIn = gbk("请确认我的邮箱信息是否填写，以及他的邮箱不为空！");
const Text kCheckAccount = gbk("请确认我的邮箱信息填写正确！或者请使用QQ邮箱发送");
const Text kNotSent = gbk("不知道为什么，邮件无法发出！请检查对方邮箱是否正确以及是否存在！");
const QString kUser = QStringLiteral("user");
const QString kPassword = QStringLiteral("secret");
const QString kFriend = QStringLiteral("friend@example.com");
const QString kRefused = QStringLiteral("nobody@example.com");
const QString kHost = QStringLiteral("127.0.0.1");
// The account at the test server, with the domain the host text 127.0.0.1 gives.
const Text kSender = "user@0.0.1";
const Text kEarlierSender = "earlier@example.com";

Text sentTo(const QString& recipient) {
    return gbk("太好了，发送给") + fromUnicode(recipient) + gbk("的邮件成功发送！");
}

// The program started with the welcome window suppressed, mailing through port `port`.
std::unique_ptr<ProgramFixture> startProgram(int port) {
    auto f = std::make_unique<ProgramFixture>();
    if (!QDir().mkpath(f->path(QStringLiteral("DATEINI"))) ||
        !writeSetting(keys::infIniPath(f->context()), keys::section(), keys::welcomeHidden(),
                      keys::flagTrue()) ||
        !f->start()) {
        return nullptr;
    }
    f->app().network().smtpPort = port;
    f->state().ownerName = gbk("小明");
    f->state().senderAddress = kEarlierSender;
    return f;
}

// The controls of the mail window.
struct Form {
    explicit Form(QWidget* window)
        : host(window->findChild<QComboBox*>(QStringLiteral("组合框1"))),
          account(window->findChild<QLineEdit*>(QStringLiteral("编辑框2"))),
          password(window->findChild<QLineEdit*>(QStringLiteral("编辑框3"))),
          recipient(window->findChild<QLineEdit*>(QStringLiteral("编辑框4"))),
          send(window->findChild<QAbstractButton*>(QStringLiteral("按钮1"))),
          quit(window->findChild<QAbstractButton*>(QStringLiteral("按钮2"))) {}
    bool complete() const { return host && account && password && recipient && send && quit; }
    void fill(const QString& h, const QString& a, const QString& p, const QString& r) const {
        host->setEditText(h);
        account->setText(a);
        password->setText(p);
        recipient->setText(r);
    }

    QComboBox* host;
    QLineEdit* account;
    QLineEdit* password;
    QLineEdit* recipient;
    QAbstractButton* send;
    QAbstractButton* quit;
};

// Opens the window with the toolbar's "发送日记" and runs `act` inside it.
bool inMailWindow(ProgramFixture& f, const std::function<void(const Form&)>& act) {
    bool acted = false;
    const ModalVisit visit = visitModal(
        kSendMail, [&] { f.main().toolbarClicked(8); },
        [&](QWidget* window) {
            const Form form(window);
            if (form.complete()) {
                act(form);
                acted = true;
            }
        });
    return visit.shown && visit.modal && acted;
}


std::vector<MailAccount> storedRecords(ProgramFixture& f) {
    return storedMailRecords(f.context().path(QStringLiteral("DATEINI/em.edb")));
}

QStringList strings(const QJsonValue& array) {
    QStringList list;
    for (const QJsonValue& v : array.toArray()) {
        list << v.toString();
    }
    return list;
}

} // namespace

class TstSendMail : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();

    void createdShowsHostsAndStoredAccount_data();
    void createdShowsHostsAndStoredAccount();
    void emptyFieldsAreRefused_data();
    void emptyFieldsAreRefused();
    void sendsTheEntry();
    void loginOverStartTls();
    void unreadableAccountFileIsKept();
    void blankRecipientPassesTheCheck();
    void connectFails_data();
    void connectFails();
    void refusedRecipient();
    void closingStoresTheAccount_data();
    void closingStoresTheAccount();
    void senderAddress_data();
    void senderAddress();

  private:
    int mailCount() const {
        return int(QDir(mailDir_).entryList({QStringLiteral("msg-*.json")}, QDir::Files).size());
    }
    QJsonObject mail(int number) const {
        QFile file(mailDir_ + QStringLiteral("/msg-%1.json").arg(number));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    }
    int loginCount() const {
        return int(readFile(mailDir_ + QStringLiteral("/auth.jsonl")).count('\n'));
    }

    QTemporaryDir temp_;
    QString mailDir_;
    QString tlsMailDir_;
    QString certDir_;
    PythonServer server_;
    PythonServer silent_;
    PythonServer tls_;
};

void TstSendMail::initTestCase() {
    clearProxyEnvironment();
    QVERIFY(temp_.isValid());
    mailDir_ = temp_.filePath(QStringLiteral("mail"));
    QVERIFY(QDir().mkpath(mailDir_));
    const QString script = QStringLiteral(WENDLOW_SMTP_SERVER);
    QVERIFY2(server_.start(script, {QStringLiteral("--dir"), mailDir_, QStringLiteral("--user"),
                                    kUser, QStringLiteral("--password"), kPassword,
                                    QStringLiteral("--reject"), kRefused}),
             server_.output().constData());
    QVERIFY2(silent_.start(script, {QStringLiteral("--silent")}), silent_.output().constData());
    tlsMailDir_ = temp_.filePath(QStringLiteral("tls-mail"));
    certDir_ = temp_.filePath(QStringLiteral("certs"));
    QVERIFY(QDir().mkpath(tlsMailDir_));
    QVERIFY(QDir().mkpath(certDir_));
    QVERIFY2(tls_.start(script, {QStringLiteral("--dir"), tlsMailDir_, QStringLiteral("--user"),
                                 kUser, QStringLiteral("--password"), kPassword,
                                 QStringLiteral("--tls-dir"), certDir_}),
             tls_.output().constData());
}

void TstSendMail::cleanupTestCase() {
    server_.stop();
    silent_.stop();
    tls_.stop();
}

void TstSendMail::createdShowsHostsAndStoredAccount_data() {
    QTest::addColumn<std::vector<MailAccount>>("stored");

    QTest::newRow("nothing stored") << std::vector<MailAccount>{};
    QTest::newRow("one stored") << std::vector<MailAccount>{{Text("me@qq.com"), Text("pw1")}};
    QTest::newRow("the first of several")
        << std::vector<MailAccount>{{gbk("小明"), gbk("密码")}, {Text("later"), Text("pw2")}};
}

void TstSendMail::createdShowsHostsAndStoredAccount() {
    QFETCH(std::vector<MailAccount>, stored);

    auto f = startProgram(server_.port());
    QVERIFY(f);
    MailAccounts accounts(f->context());
    QVERIFY(accounts.loadMailAccount().has_value());
    for (const MailAccount& account : stored) {
        QVERIFY(accounts.storeMailAccount(account));
    }
    const MailAccount offered = stored.empty() ? MailAccount{} : stored.front();

    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        QCOMPARE(form.host->window()->windowTitle(), QStringLiteral("发给送好友"));
        QVERIFY(form.host->isEditable());
        QCOMPARE(form.host->count(), 5);
        QCOMPARE(form.host->currentIndex(), 0);
        QCOMPARE(form.host->currentText(), QStringLiteral("smtp.qq.com"));
        QCOMPARE(form.host->itemText(1), form.host->itemText(2));
        QStringList hosts;
        for (int i = 0; i < 5; ++i) {
            hosts << form.host->itemText(i);
            QVERIFY(hosts.last().contains(QLatin1Char('.')));
        }
        hosts.removeDuplicates();
        QCOMPARE(hosts.size(), 4);
        QCOMPARE(form.account->text(), toUnicode(offered.account));
        QCOMPARE(form.password->text(), toUnicode(offered.password));
        QCOMPARE(form.password->echoMode(), QLineEdit::Password);
        QVERIFY(form.recipient->text().isEmpty());
    }));
    QVERIFY(f->boxes.shown.empty());
}

void TstSendMail::emptyFieldsAreRefused_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("recipient");

    QTest::newRow("host") << QString() << kUser << kPassword << kFriend;
    QTest::newRow("account") << kHost << QString() << kPassword << kFriend;
    QTest::newRow("password") << kHost << kUser << QString() << kFriend;
    QTest::newRow("recipient") << kHost << kUser << kPassword << QString();
    QTest::newRow("all four") << QString() << QString() << QString() << QString();
}

// Nothing reaches the server and the sender stays as it was.
void TstSendMail::emptyFieldsAreRefused() {
    QFETCH(QString, host);
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, recipient);

    auto f = startProgram(server_.port());
    QVERIFY(f);
    const int mails = mailCount();
    const int logins = loginCount();
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        form.fill(host, account, password, recipient);
        QTest::mouseClick(form.send, Qt::LeftButton);
        QVERIFY(form.host->window()->isVisible());
    }));
    QCOMPARE(f->boxes.shown, std::vector<Text>{kFillIn});
    QCOMPARE(f->state().senderAddress, kEarlierSender);
    QCOMPARE(mailCount(), mails);
    QCOMPARE(loginCount(), logins);
}

// The entry on screen goes out as the program composes it; the window stays for another send.
void TstSendMail::sendsTheEntry() {
    auto f = startProgram(server_.port());
    QVERIFY(f);
    // Mood and weather not among the items go out as typed.
    const DiaryEntry entry{gbk("春节"), gbk("2010年2月14日9时5分"), gbk("心情古怪"),
                           gbk("下了一场鱼"), gbk("今天放鞭炮。\r\n.\r\n晚上写日记。")};
    f->main().setEntry(entry);
    const int first = mailCount() + 1;
    QElapsedTimer clock;
    qint64 elapsed = 0;
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        form.fill(kHost, kUser, kPassword, kFriend);
        clock.start();
        QTest::mouseClick(form.send, Qt::LeftButton);
        elapsed = clock.elapsed();
        QCOMPARE(f->state().senderAddress, kSender);
        // Each send connects anew over the same window.
        form.recipient->setText(QStringLiteral("second@example.com"));
        QTest::mouseClick(form.send, Qt::LeftButton);
        QVERIFY(form.host->window()->isVisible());
    }));
    qInfo("one send to the test server took %lld ms", elapsed);
    QCOMPARE(f->boxes.shown,
             (std::vector<Text>{sentTo(kFriend), sentTo(QStringLiteral("second@example.com"))}));
    QTRY_COMPARE(mailCount(), first + 1);

    const QJsonObject received = mail(first);
    QCOMPARE(received[u"mail_from"].toString(), QString::fromLatin1(kSender));
    QCOMPARE(strings(received[u"rcpt_tos"]), QStringList{kFriend});
    QCOMPARE(received[u"from"].toString(), QString::fromLatin1(kSender));
    QCOMPARE(received[u"reply_to"].toString(), QString::fromLatin1(kSender));
    QCOMPARE(received[u"to"].toString(), kFriend);
    QCOMPARE(received[u"subject"].toString(), QStringLiteral("小明跟你分享他的日记：春节"));
    QCOMPARE(received[u"content_type"].toString(), QStringLiteral("text/plain"));
    const Text body = gbk("日记标题：春节     这篇日记完成于：2010年2月14日9时5分\r\n"
                          "那时我的心情心情古怪     以及那时的天气：下了一场鱼\r\n"
                          "今天放鞭炮。\r\n.\r\n晚上写日记。");
    QCOMPARE(QByteArray::fromHex(received[u"body_hex"].toString().toLatin1()), body);
    QCOMPARE(strings(mail(first + 1)[u"rcpt_tos"]),
             QStringList{QStringLiteral("second@example.com")});
}

// A server that offers STARTTLS gets the login and the mail only inside TLS, checked against
// the certificate authority the program is told to trust.
void TstSendMail::loginOverStartTls() {
    auto f = startProgram(tls_.port());
    QVERIFY(f);
    f->app().network().caFile = certDir_ + QStringLiteral("/ca.pem");
    f->main().setEntry({gbk("春节"), gbk("2010年2月14日"), gbk("开心"), gbk("晴"), gbk("内容")});
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        form.fill(kHost, kUser, kPassword, kFriend);
        QTest::mouseClick(form.send, Qt::LeftButton);
    }));
    QCOMPARE(f->boxes.shown, std::vector<Text>{sentTo(kFriend)});
    QFile file(tlsMailDir_ + QStringLiteral("/msg-1.json"));
    QTRY_VERIFY(file.exists());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject received = QJsonDocument::fromJson(file.readAll()).object();
    QVERIFY(received[u"tls"].toBool());
    QCOMPARE(received[u"subject"].toString(), QStringLiteral("小明跟你分享他的日记：春节"));
}

// An account file that cannot be opened is said so once; closing the window leaves it as it is.
void TstSendMail::unreadableAccountFileIsKept() {
    auto f = startProgram(server_.port());
    QVERIFY(f);
    const QString file = f->context().path(QStringLiteral("DATEINI/em.edb"));
    const QByteArray damaged = QByteArray("not a record store at all ") + QByteArray(500, '\x01');
    QVERIFY(writeFile(file, damaged));
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        QVERIFY(form.account->text().isEmpty());
        QVERIFY(form.password->text().isEmpty());
        QCOMPARE(form.host->currentText(), QStringLiteral("smtp.qq.com"));
        form.account->setText(QStringLiteral("typed"));
        form.password->setText(QStringLiteral("typed-pw"));
        QTest::mouseClick(form.quit, Qt::LeftButton);
        QTRY_VERIFY(!visibleWindow(kSendMail));
    }));
    QCOMPARE(f->boxes.shown.size(), size_t(1));
    QCOMPARE(readFile(file), damaged);
    QVERIFY(f->fatal.calls.empty());
}

// Blanks are a recipient as far as the check goes: the login happens, the server gets no mail.
void TstSendMail::blankRecipientPassesTheCheck() {
    auto f = startProgram(server_.port());
    QVERIFY(f);
    const int mails = mailCount();
    const int logins = loginCount();
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        form.fill(kHost, kUser, kPassword, QStringLiteral("   "));
        QTest::mouseClick(form.send, Qt::LeftButton);
    }));
    QCOMPARE(f->boxes.shown, std::vector<Text>{kNotSent});
    QCOMPARE(f->state().senderAddress, kSender);
    QCOMPARE(loginCount(), logins + 1);
    QCOMPARE(mailCount(), mails);
}

void TstSendMail::connectFails_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");

    QTest::newRow("wrong password") << QStringLiteral("mail") << kUser << QStringLiteral("wrong");
    QTest::newRow("unknown account")
        << QStringLiteral("mail") << QStringLiteral("stranger") << kPassword;
    QTest::newRow("nothing listening") << QStringLiteral("closed") << kUser << kPassword;
    QTest::newRow("server never answers") << QStringLiteral("silent") << kUser << kPassword;
}

void TstSendMail::connectFails() {
    QFETCH(QString, server);
    QFETCH(QString, account);
    QFETCH(QString, password);

    const int port = server == QLatin1String("mail")     ? server_.port()
                     : server == QLatin1String("silent") ? silent_.port()
                                                         : closedPort();
    QVERIFY(port > 0);
    auto f = startProgram(port);
    QVERIFY(f);
    const int mails = mailCount();
    QElapsedTimer clock;
    qint64 elapsed = 0;
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        form.fill(kHost, account, password, kFriend);
        clock.start();
        QTest::mouseClick(form.send, Qt::LeftButton);
        elapsed = clock.elapsed();
        QVERIFY(form.host->window()->isVisible());
    }));
    qInfo("the refused send took %lld ms", elapsed);
    QCOMPARE(f->boxes.shown, std::vector<Text>{kCheckAccount});
    QCOMPARE(f->state().senderAddress, kEarlierSender);
    QCOMPARE(mailCount(), mails);
}

// The login passed, so the sender is already set; the window stays and the next send goes out.
void TstSendMail::refusedRecipient() {
    auto f = startProgram(server_.port());
    QVERIFY(f);
    const int mails = mailCount();
    Text senderAfterRefusal;
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        form.fill(kHost, kUser, kPassword, kRefused);
        QTest::mouseClick(form.send, Qt::LeftButton);
        senderAfterRefusal = f->state().senderAddress;
        form.recipient->setText(kFriend);
        QTest::mouseClick(form.send, Qt::LeftButton);
    }));
    QCOMPARE(f->boxes.shown, (std::vector<Text>{kNotSent, sentTo(kFriend)}));
    QCOMPARE(senderAfterRefusal, kSender);
    QTRY_COMPARE(mailCount(), mails + 1);
    QCOMPARE(strings(mail(mails + 1)[u"rcpt_tos"]), QStringList{kFriend});
}

void TstSendMail::closingStoresTheAccount_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<MailAccount>("typed");

    const MailAccount typed{Text("typed@qq.com"), Text("typed-pw")};
    QTest::newRow("button") << QStringLiteral("button") << typed;
    QTest::newRow("close box") << QStringLiteral("close box") << typed;
    QTest::newRow("Esc") << QStringLiteral("Esc") << typed;
    QTest::newRow("emptied fields") << QStringLiteral("button") << MailAccount{};
    QTest::newRow("Chinese account")
        << QStringLiteral("Esc") << MailAccount{gbk("小明的邮箱"), gbk("密码")};
}

// However the window closes, the account as it stands is appended; the first stays offered.
void TstSendMail::closingStoresTheAccount() {
    QFETCH(QString, how);
    QFETCH(MailAccount, typed);

    auto f = startProgram(server_.port());
    QVERIFY(f);
    MailAccounts accounts(f->context());
    QVERIFY(accounts.loadMailAccount().has_value());
    const MailAccount first{Text("first@qq.com"), Text("first-pw")};
    QVERIFY(accounts.storeMailAccount(first));

    bool closed = false;
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        QWidget* window = form.host->window();
        form.account->setText(toUnicode(typed.account));
        form.password->setText(toUnicode(typed.password));
        if (how == QLatin1String("button")) {
            QTest::mouseClick(form.quit, Qt::LeftButton);
        } else if (how == QLatin1String("close box")) {
            window->close();
        } else {
            form.account->setFocus();
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window,
                            Qt::Key_Escape);
        }
        QTRY_VERIFY(!visibleWindow(kSendMail));
        closed = true;
    }));
    QVERIFY(closed);
    QVERIFY(f->boxes.shown.empty());
    QCOMPARE(storedRecords(*f), (std::vector<MailAccount>{first, typed}));
    QCOMPARE(accounts.loadMailAccount(), std::optional<MailAccount>(first));

    // Opened again, the first account is offered, not the one just typed.
    QVERIFY(inMailWindow(*f, [&](const Form& form) {
        QCOMPARE(form.account->text(), toUnicode(first.account));
        QCOMPARE(form.password->text(), toUnicode(first.password));
    }));
    QCOMPARE(storedRecords(*f).size(), size_t(3));
}

void TstSendMail::senderAddress_data() {
    QTest::addColumn<Text>("account");
    QTest::addColumn<Text>("host");
    QTest::addColumn<Text>("sender");

    QTest::newRow("three labels") << Text("me") << Text("smtp.qq.com") << Text("me@qq.com");
    QTest::newRow("four labels") << Text("me") << Text("mail.smtp.example.org")
                                 << Text("me@smtp.example.org");
    QTest::newRow("no full stop") << Text("me") << Text("mailhost") << Text("me@mailhost");
    QTest::newRow("ends in a full stop") << Text("me") << Text("mailhost.") << Text("me@");
    QTest::newRow("only a full stop") << Text("me") << Text(".") << Text("me@");
    QTest::newRow("account holds an address")
        << Text("me@example.com") << Text("smtp.163.com") << Text("me@example.com@163.com");
    QTest::newRow("Chinese first label")
        << Text("me") << gbk("邮件.例子.中国") << gbk("me@例子.中国");
    // 0x81 0x2E is taken as one character: the full stop in it is no boundary.
    QTest::newRow("full stop after a lead byte")
        << Text("me") << Text("\x81.mail.cn") << Text("me@cn");
    QTest::newRow("lead byte at the end") << Text("me") << Text("host\x81") << Text("me@host\x81");
}

void TstSendMail::senderAddress() {
    QFETCH(Text, account);
    QFETCH(Text, host);
    QFETCH(Text, sender);

    QCOMPARE(senderAddressFor(account, host), sender);
    QCOMPARE(sender.count('@'), account.count('@') + 1);
}

QTEST_MAIN(TstSendMail)
#include "tst_send_mail.moc"
