#include "mail_accounts.h"

#include "mail_records.h"
#include "program_dir.h"
#include "record_store.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QtTest>

using namespace wendlow;
using namespace wendlow::test;

Q_DECLARE_METATYPE(wendlow::MailAccount)

namespace {

const Text kAlias("em");
const Text kPassword = gbk("晴空又LanQiao580");

QString mailFile(const ProgramDir& dir) {
    return dir.path(QStringLiteral("DATEINI/em.edb"));
}

std::vector<MailAccount> storedRecords(const QString& file) {
    return storedMailRecords(file);
}

} // namespace

class TestMailAccounts : public QObject {
    Q_OBJECT

  private slots:
    void firstLoadCreatesAnEmptyFile();
    void theFirstStoredAccountIsAlwaysOffered();
    void emptyFirstAccountStaysOffered();
    void longTextsAreStoredCut_data();
    void longTextsAreStoredCut();
    void withoutSettingsFolderNothingIsCreated();
    void storeBeforeTheFileExistsStoresNothing();
};

void TestMailAccounts::firstLoadCreatesAnEmptyFile() {
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATEINI")));
    MailAccounts accounts(dir.context());

    const std::optional<MailAccount> loaded = accounts.loadMailAccount();
    QVERIFY(loaded.has_value());
    QCOMPARE(*loaded, MailAccount{});
    QVERIFY(QFileInfo(mailFile(dir)).isFile());
    // Loading again neither adds a record nor fails on the file it made.
    QCOMPARE(accounts.loadMailAccount(), std::optional<MailAccount>(MailAccount{}));
    RecordStore store(nullptr);
    QVERIFY2(store.open(mailFile(dir), kAlias, kPassword), "the new file lacks its password");
    QCOMPARE(store.recordCount(), 0);
    store.close(kAlias);
    QVERIFY(dir.fatal.calls.empty());
}

void TestMailAccounts::theFirstStoredAccountIsAlwaysOffered() {
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATEINI")));
    MailAccounts accounts(dir.context());
    QVERIFY(accounts.loadMailAccount().has_value());

    const std::vector<MailAccount> stored = {
        {Text("xiaoming@example.com"), Text("secret1")},
        {gbk("小红"), gbk("密码二")},
        {Text("third"), Text()},
    };
    for (const MailAccount& account : stored) {
        QVERIFY(accounts.storeMailAccount(account));
        QCOMPARE(accounts.loadMailAccount(), std::optional<MailAccount>(stored.front()));
    }
    QCOMPARE(storedRecords(mailFile(dir)), stored);
    QVERIFY(dir.fatal.calls.empty());
}

void TestMailAccounts::emptyFirstAccountStaysOffered() {
    // The send window stores its boxes on every closing, empty or not.
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATEINI")));
    MailAccounts accounts(dir.context());
    QCOMPARE(accounts.loadMailAccount(), std::optional<MailAccount>(MailAccount{}));
    QVERIFY(accounts.storeMailAccount({}));
    QVERIFY(accounts.storeMailAccount({Text("later@example.com"), Text("pw")}));

    QCOMPARE(accounts.loadMailAccount(), std::optional<MailAccount>(MailAccount{}));
    QCOMPARE(storedRecords(mailFile(dir)).size(), size_t(2));
}

void TestMailAccounts::longTextsAreStoredCut_data() {
    QTest::addColumn<MailAccount>("account");

    QTest::newRow("ASCII account of 25 bytes")
        << MailAccount{Text("abcdefghijklmnopqrstuvwxy"), Text("pw")};
    // 5 + 2 * 10 bytes: the cut at 20 leaves the lead byte of the eighth character.
    QTest::newRow("cut inside a character")
        << MailAccount{Text("abcde") + gbk("一二三四五六七八九十"), Text("pw")};
    QTest::newRow("password of 25 bytes")
        << MailAccount{Text("me"), Text("0123456789012345678901234")};
    QTest::newRow("exactly 20 bytes")
        << MailAccount{gbk("十个字的邮箱用户名字"), gbk("十个字的邮箱密码文字")};
}

void TestMailAccounts::longTextsAreStoredCut() {
    QFETCH(MailAccount, account);
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATEINI")));
    MailAccounts accounts(dir.context());
    QVERIFY(accounts.loadMailAccount().has_value());
    QVERIFY(accounts.storeMailAccount(account));

    const std::optional<MailAccount> loaded = accounts.loadMailAccount();
    QVERIFY(loaded.has_value());
    QCOMPARE(loaded->account, account.account.left(20));
    QCOMPARE(loaded->password, account.password.left(20));
}

void TestMailAccounts::withoutSettingsFolderNothingIsCreated() {
    ProgramDir dir;
    MailAccounts accounts(dir.context());
    const std::optional<MailAccount> loaded = accounts.loadMailAccount();
    QVERIFY(!loaded.has_value() || *loaded == MailAccount{});
    QVERIFY(!accounts.storeMailAccount({Text("a"), Text("b")}));
    QCOMPARE(treeOf(dir.path()), QStringList());
    QVERIFY(dir.fatal.calls.empty());
}

void TestMailAccounts::storeBeforeTheFileExistsStoresNothing() {
    // Only loading makes the file; a store without it has nowhere to go.
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATEINI")));
    MailAccounts accounts(dir.context());
    QVERIFY(!accounts.storeMailAccount({Text("a"), Text("b")}));
    QCOMPARE(treeOf(dir.path()), QStringList{QStringLiteral("DATEINI")});
}

QTEST_GUILESS_MAIN(TestMailAccounts)
#include "tst_mail_accounts.moc"
