// Damaged files: the registry, a book's entry file and the mail account file, each replaced by
// something that is not a readable record store. Nothing may crash, and no damaged file may be
// changed or overwritten.

#include "book_registry.h"
#include "diary_store.h"
#include "mail_accounts.h"
#include "program_dir.h"
#include "record_store.h"
#include "sqlite_handle.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtTest>

#include <functional>

using namespace wendlow;
using namespace wendlow::test;

namespace {

enum class Damage {
    Garbage,          // bytes that are no database at all
    TruncatedHalf,    // a valid file cut in half
    GarbageAfterHead, // a valid file's SQLite header followed by garbage
    ForeignDatabase,  // an SQLite database of another program
    OtherPassword,    // a record store of the right layout under another password
    Empty,            // a file of 0 bytes
};

QByteArray garbage(int size) {
    QRandomGenerator random(20100214);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes) {
        c = char(random.bounded(256));
    }
    return bytes;
}

// Puts a damaged file at `path`. `makeValid` writes a good, filled file there through the
// program's own operations, for the kinds of damage that start from one.
bool damageFile(Damage damage, const QString& path, const std::vector<FieldSpec>& fields,
                const std::function<bool()>& makeValid) {
    switch (damage) {
    case Damage::Garbage:
        return writeFile(path, garbage(9000));
    case Damage::TruncatedHalf: {
        if (!makeValid()) {
            return false;
        }
        const QByteArray whole = readFile(path);
        return whole.size() > 4096 && writeFile(path, whole.left(whole.size() / 2));
    }
    case Damage::GarbageAfterHead: {
        if (!makeValid()) {
            return false;
        }
        const QByteArray whole = readFile(path);
        return whole.size() > 100 &&
               writeFile(path, whole.left(100) + garbage(int(whole.size()) - 100));
    }
    case Damage::ForeignDatabase: {
        Database db = Database::open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        return db &&
               db.exec("CREATE TABLE notes(id INTEGER PRIMARY KEY, body TEXT NOT NULL);"
                       "INSERT INTO notes(body) VALUES('shopping list'), ('phone numbers');") &&
               db.close();
    }
    case Damage::OtherPassword: {
        const Text alias("x");
        RecordStore store(nullptr);
        if (!RecordStore::create(path, fields) || !store.open(path, alias, Text())) {
            return false;
        }
        const bool ok = store.setPassword(gbk("不是这个密码")) && store.addBlankRecord() &&
                        store.write(fields.front().name, FieldValue::ofText(gbk("别人的")));
        return store.close(alias) && ok;
    }
    case Damage::Empty:
        return writeFile(path, QByteArray());
    }
    return false;
}

void addDamageRows() {
    QTest::addColumn<Damage>("damage");
    QTest::newRow("garbage") << Damage::Garbage;
    QTest::newRow("truncated to half") << Damage::TruncatedHalf;
    QTest::newRow("garbage after the header") << Damage::GarbageAfterHead;
    QTest::newRow("foreign database") << Damage::ForeignDatabase;
    QTest::newRow("other password") << Damage::OtherPassword;
    QTest::newRow("empty file") << Damage::Empty;
}

const std::vector<FieldSpec> kRegistryFields = {
    {gbk("日记本名称"), FieldKind::Text, 20}, {gbk("可爱小主人"), FieldKind::Text, 20},
    {gbk("留点信息"), FieldKind::Memo, 20},   {gbk("天数"), FieldKind::Integer, 20},
    {gbk("开锁密码"), FieldKind::Text, 20},
};
const std::vector<FieldSpec> kEntryFields = {
    {gbk("标题"), FieldKind::Text, 20}, {gbk("日期"), FieldKind::Text, 20},
    {gbk("心情"), FieldKind::Text, 20}, {gbk("天气"), FieldKind::Text, 20},
    {gbk("内容"), FieldKind::Memo, 20},
};
const std::vector<FieldSpec> kMailFields = {
    {gbk("用户名"), FieldKind::Text, 20},
    {gbk("密码"), FieldKind::Text, 20},
};

Text longText(const char* line, int times) {
    Text out;
    for (int i = 0; i < times; ++i) {
        out += gbk(line) + Text::number(i) + "\r\n";
    }
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Damage)

class TestDataDamage : public QObject {
    Q_OBJECT

  private slots:
    void damagedEntryFileIsLeftAlone_data() { addDamageRows(); }
    void damagedEntryFileIsLeftAlone();
    void damagedMailFileIsLeftAlone_data() { addDamageRows(); }
    void damagedMailFileIsLeftAlone();
    void damagedRegistryIsKeptAside_data() { addDamageRows(); }
    void damagedRegistryIsKeptAside();
    void keptRegistriesNeverReplaceEachOther();
};

void TestDataDamage::damagedEntryFileIsLeftAlone() {
    QFETCH(Damage, damage);
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("暑假日记");
    const QString path = store.entryFilePath(book);
    const QString folder = QFileInfo(path).absolutePath();
    QVERIFY(QDir().mkpath(folder));

    const auto makeValid = [&] {
        if (!store.createBookFiles(book)) {
            return false;
        }
        for (int i = 0; i < 4; ++i) {
            const DiaryEntry entry{gbk("第") + Text::number(i) + gbk("篇"), gbk("2010年2月14日"),
                                   gbk("开心"), gbk("晴"), longText("很长的内容", 150)};
            if (!store.appendEntry(book, entry)) {
                return false;
            }
        }
        return true;
    };
    QVERIFY(damageFile(damage, path, kEntryFields, makeValid));
    const QByteArray original = readFile(path);

    QCOMPARE(store.countEntries(book), 0);
    QVERIFY(store.listEntryTitles(book).empty());
    QVERIFY(!store.readEntry(book, 0).has_value());
    QVERIFY(!store.appendEntry(book,
                               {gbk("新的"), gbk("日期"), gbk("心情"), gbk("天气"), gbk("内容")}));
    QVERIFY(!store.deleteEntry(book, 0));
    store.createBookFiles(book);

    QCOMPARE(readFile(path), original);
    QCOMPARE(filesIn(folder), QStringList{QStringLiteral("Diary.edb")});
    QVERIFY(dir.fatal.calls.empty());
}

void TestDataDamage::damagedMailFileIsLeftAlone() {
    QFETCH(Damage, damage);
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATEINI")));
    MailAccounts accounts(dir.context());
    const QString path = dir.path(QStringLiteral("DATEINI/em.edb"));

    const auto makeValid = [&] {
        if (!accounts.loadMailAccount()) {
            return false;
        }
        for (int i = 0; i < 3; ++i) {
            if (!accounts.storeMailAccount({Text("user") + Text::number(i) + "@example.com",
                                            gbk("密码") + Text::number(i)})) {
                return false;
            }
        }
        return true;
    };
    QVERIFY(damageFile(damage, path, kMailFields, makeValid));
    const QByteArray original = readFile(path);

    QVERIFY(!accounts.loadMailAccount().has_value());
    QVERIFY(!accounts.storeMailAccount({Text("me@example.com"), Text("pw")}));
    QVERIFY(!accounts.loadMailAccount().has_value());

    QCOMPARE(readFile(path), original);
    QCOMPARE(filesIn(dir.path(QStringLiteral("DATEINI"))), QStringList{QStringLiteral("em.edb")});
    QVERIFY(dir.fatal.calls.empty());
}

void TestDataDamage::damagedRegistryIsKeptAside() {
    QFETCH(Damage, damage);
    ProgramDir dir;
    BookRegistry registry(dir.context());
    const QString path = registry.registryPath();
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATEINI")));

    const auto makeValid = [&] {
        if (!registry.createRegistry().usable()) {
            return false;
        }
        for (int i = 0; i < 3; ++i) {
            const BookRecord book{gbk("本子") + Text::number(i), gbk("主人"), longText("留言", 20),
                                  i, Text()};
            if (registry.appendBook(book) != RegistryResult::Ok) {
                return false;
            }
        }
        return true;
    };
    QVERIFY(damageFile(damage, path, kRegistryFields, makeValid));
    const QByteArray original = readFile(path);

    const BookRecord book{gbk("新本子"), gbk("主人"), gbk("留言"), 3, Text()};
    QCOMPARE(registry.appendBook(book), RegistryResult::OpenFailed);
    QCOMPARE(registry.updateBook(0, book), RegistryResult::OpenFailed);
    QCOMPARE(readFile(path), original);

    const RegistryCheck check = registry.ensureRegistry();
    QCOMPARE(check.outcome, RegistryCheck::Outcome::KeptAside);
    const QString kept = dir.path(QStringLiteral("DATEINI/Inf.edb.damaged-20100214-090500"));
    QCOMPARE(check.keptAsidePath, kept);
    QCOMPARE(readFile(kept), original);

    QCOMPARE(registry.countBooks(), 1);
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(defaultBook()));
    QVERIFY(QFileInfo::exists(DiaryStore(dir.context()).entryFilePath(defaultBook().name)));
    QCOMPARE(registry.ensureRegistry().outcome, RegistryCheck::Outcome::Ready);
    QCOMPARE(readFile(kept), original);
    QVERIFY(dir.fatal.calls.empty());
}

void TestDataDamage::keptRegistriesNeverReplaceEachOther() {
    // Two damaged registries met within the same second must both survive.
    ProgramDir dir;
    BookRegistry registry(dir.context());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("DATEINI")));
    const QByteArray first = garbage(3000);
    const QByteArray second = "not a registry either";

    QVERIFY(writeFile(registry.registryPath(), first));
    const RegistryCheck one = registry.ensureRegistry();
    QCOMPARE(one.outcome, RegistryCheck::Outcome::KeptAside);
    QVERIFY(writeFile(registry.registryPath(), second));
    const RegistryCheck two = registry.ensureRegistry();
    QCOMPARE(two.outcome, RegistryCheck::Outcome::KeptAside);

    QVERIFY(one.keptAsidePath != two.keptAsidePath);
    QCOMPARE(readFile(one.keptAsidePath), first);
    QCOMPARE(readFile(two.keptAsidePath), second);
    QCOMPARE(registry.countBooks(), 1);
}

QTEST_GUILESS_MAIN(TestDataDamage)
#include "tst_data_damage.moc"
