#include "book_registry.h"

#include "diary_store.h"
#include "program_dir.h"
#include "record_store.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtTest>

#include <cmath>
#include <limits>

#include <unistd.h>

using namespace wendlow;
using namespace wendlow::test;

Q_DECLARE_METATYPE(wendlow::Text)
Q_DECLARE_METATYPE(wendlow::FieldKind)

namespace {

using Calls = std::vector<std::pair<int, Text>>;

const Text kRegistryPassword = gbk("晴空LanQiao580");

// The registry's field list, with one field's kind replaceable to make a file of another layout.
std::vector<FieldSpec> registryLayout(int changedField = 0,
                                      FieldKind changedKind = FieldKind::Text) {
    std::vector<FieldSpec> fields = {
        {gbk("日记本名称"), FieldKind::Text, 20}, {gbk("可爱小主人"), FieldKind::Text, 20},
        {gbk("留点信息"), FieldKind::Memo, 20},   {gbk("天数"), FieldKind::Integer, 20},
        {gbk("开锁密码"), FieldKind::Text, 20},
    };
    if (changedField > 0) {
        fields[static_cast<size_t>(changedField) - 1].kind = changedKind;
    }
    return fields;
}

BookRecord book(const char* name, const char* owner, qint32 days = 10, const char* note = "",
                const char* password = "") {
    return {gbk(name), gbk(owner), gbk(note), days, gbk(password)};
}

QString registryPath(const ProgramDir& dir) {
    return dir.path(QStringLiteral("DATEINI/Inf.edb"));
}

} // namespace

class TestBookRegistry : public QObject {
    Q_OBJECT

  private slots:
    void firstRunCreatesTheDefaultBook();
    void readyRegistryIsLeftAlone();
    void emptyRegistryIsMadeAnew();
    void defaultBookEntriesSurviveANewRegistry();
    void unopenableRegistryIsKeptAside_data();
    void unopenableRegistryIsKeptAside();
    void keptFilesAreNeverOverwritten();
    void registryHeldElsewhereIsBusy();
    void uncreatableRegistryIsUnavailable_data();
    void uncreatableRegistryIsUnavailable();

    void appendAndReadBack();
    void longTextsAreCutTo20Bytes();
    void daysFromNumber_data();
    void daysFromNumber();
    void listsFollowAppendOrder();
    void updateRewritesOnlyThatPosition();
    void readPastTheEndGivesEmptyValues();
    void unopenableRegistryTakesNoWrites_data();
    void unopenableRegistryTakesNoWrites();

    void foreignLayoutIsFatal_data();
    void foreignLayoutIsFatal();
    void daysOfAnyNumericKind_data();
    void daysOfAnyNumericKind();
};

void TestBookRegistry::firstRunCreatesTheDefaultBook() {
    ProgramDir dir;
    BookRegistry registry(dir.context());

    const RegistryCheck check = registry.ensureRegistry();
    QCOMPARE(check.outcome, RegistryCheck::Outcome::Created);
    QVERIFY(check.keptAsidePath.isEmpty());
    QVERIFY(QFileInfo(registryPath(dir)).isFile());

    QCOMPARE(registry.countBooks(), 1);
    const BookRecord expected{gbk("开心假期"), gbk("小小主人"), gbk("这个假期我要快乐！"), 7, {}};
    QCOMPARE(defaultBook(), expected);
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(expected));

    // The default book's folder and entry file sit beside DATEINI, ready for entries.
    QVERIFY(QFileInfo(dir.path(QStringLiteral("开心假期/Diary.edb"))).isFile());
    DiaryStore diary(dir.context());
    QVERIFY(diary.appendEntry(gbk("开心假期"), {gbk("一"), {}, {}, {}, {}}));

    // Only the registry's own password opens it.
    RecordStore records(dir.fatal.handler());
    QVERIFY(!records.open(registryPath(dir), "Date", Text()));
    QVERIFY(records.open(registryPath(dir), "Date", kRegistryPassword));
    records.close("Date");
    QVERIFY(dir.fatal.calls.empty());
}

void TestBookRegistry::readyRegistryIsLeftAlone() {
    ProgramDir dir;
    BookRegistry registry(dir.context());
    QCOMPARE(registry.ensureRegistry().outcome, RegistryCheck::Outcome::Created);
    QCOMPARE(registry.appendBook(book("寒假", "小明")), RegistryResult::Ok);
    const QByteArray before = readFile(registryPath(dir));

    // A registry that opens and holds books is not the moment to make the default book again.
    QVERIFY(QDir(dir.path(QStringLiteral("开心假期"))).removeRecursively());
    QCOMPARE(registry.ensureRegistry().outcome, RegistryCheck::Outcome::Ready);

    QCOMPARE(readFile(registryPath(dir)), before);
    QCOMPARE(registry.countBooks(), 2);
    QVERIFY(!QFileInfo::exists(dir.path(QStringLiteral("开心假期"))));
    QCOMPARE(QDir(dir.path(QStringLiteral("DATEINI"))).entryList(QDir::Files),
             QStringList{QStringLiteral("Inf.edb")});
}

void TestBookRegistry::emptyRegistryIsMadeAnew() {
    ProgramDir dir;
    QVERIFY(QDir().mkpath(dir.path(QStringLiteral("DATEINI"))));
    QVERIFY(RecordStore::create(registryPath(dir), registryLayout()));
    {
        RecordStore records(dir.fatal.handler());
        QVERIFY(records.open(registryPath(dir), "Date", Text()));
        QVERIFY(records.setPassword(kRegistryPassword));
        QVERIFY(records.close("Date"));
    }
    BookRegistry registry(dir.context());
    QCOMPARE(registry.countBooks(), 0);

    QCOMPARE(registry.ensureRegistry().outcome, RegistryCheck::Outcome::Created);
    QCOMPARE(registry.listBookNames(), std::vector<Text>{gbk("开心假期")});
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(defaultBook()));
}

void TestBookRegistry::defaultBookEntriesSurviveANewRegistry() {
    ProgramDir dir;
    const Text name = gbk("开心假期");
    DiaryStore diary(dir.context());
    QVERIFY(diary.createBookFiles(name));
    const DiaryEntry kept{gbk("旧日记"), gbk("2008年1月25日"), gbk("开心"), gbk("晴"), gbk("还在")};
    QVERIFY(diary.appendEntry(name, kept));
    QVERIFY(diary.appendEntry(name, kept));

    BookRegistry registry(dir.context());
    QCOMPARE(registry.ensureRegistry().outcome, RegistryCheck::Outcome::Created);
    QCOMPARE(diary.countEntries(name), 2);
    QCOMPARE(diary.readEntry(name, 1), std::optional<DiaryEntry>(kept));
}

void TestBookRegistry::unopenableRegistryIsKeptAside_data() {
    QTest::addColumn<bool>("wrongPassword");
    QTest::newRow("garbage bytes") << false;
    QTest::newRow("another password") << true;
}

void TestBookRegistry::unopenableRegistryIsKeptAside() {
    QFETCH(bool, wrongPassword);
    ProgramDir dir;
    dir.clock.set(QDateTime(QDate(2009, 7, 3), QTime(8, 4, 5)));
    const QString path = registryPath(dir);
    QVERIFY(QDir().mkpath(dir.path(QStringLiteral("DATEINI"))));
    if (wrongPassword) {
        // A registry of the right layout that holds the user's books under another password.
        QVERIFY(RecordStore::create(path, registryLayout()));
        RecordStore records(dir.fatal.handler());
        QVERIFY(records.open(path, "Date", Text()));
        QVERIFY(records.setPassword("other"));
        QVERIFY(records.addBlankRecord());
        QVERIFY(records.write(gbk("日记本名称"), FieldValue::ofText(gbk("暑假"))));
        QVERIFY(records.close("Date"));
    } else {
        QVERIFY(writeFile(path, QByteArray("not a record store\0\x01\x02\xff", 23).repeated(50)));
    }
    const QByteArray original = readFile(path);
    QVERIFY(!original.isEmpty());

    BookRegistry registry(dir.context());
    const RegistryCheck check = registry.ensureRegistry();
    QCOMPARE(check.outcome, RegistryCheck::Outcome::KeptAside);
    QVERIFY(check.usable());
    QCOMPARE(check.keptAsidePath, path + QStringLiteral(".damaged-20090703-080405"));
    QCOMPARE(readFile(check.keptAsidePath), original);

    QCOMPARE(registry.countBooks(), 1);
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(defaultBook()));
    QVERIFY(QFileInfo(dir.path(QStringLiteral("开心假期/Diary.edb"))).isFile());
    QVERIFY(dir.fatal.calls.empty());
}

void TestBookRegistry::keptFilesAreNeverOverwritten() {
    ProgramDir dir;
    const QString path = registryPath(dir);
    QVERIFY(QDir().mkpath(dir.path(QStringLiteral("DATEINI"))));
    BookRegistry registry(dir.context());

    QVERIFY(writeFile(path, "first damaged registry"));
    const RegistryCheck first = registry.ensureRegistry();
    QCOMPARE(first.outcome, RegistryCheck::Outcome::KeptAside);

    // Damaged again within the same second: the clock gives the same name.
    QVERIFY(writeFile(path, "second damaged registry"));
    const RegistryCheck second = registry.ensureRegistry();
    QCOMPARE(second.outcome, RegistryCheck::Outcome::KeptAside);

    const QString stamp = path + QStringLiteral(".damaged-20100214-090500");
    QCOMPARE(first.keptAsidePath, stamp);
    QVERIFY(second.keptAsidePath != first.keptAsidePath);
    QVERIFY(second.keptAsidePath.startsWith(stamp));
    QCOMPARE(readFile(first.keptAsidePath), QByteArray("first damaged registry"));
    QCOMPARE(readFile(second.keptAsidePath), QByteArray("second damaged registry"));
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(defaultBook()));
}

void TestBookRegistry::registryHeldElsewhereIsBusy() {
    ProgramDir dir;
    BookRegistry registry(dir.context());
    QCOMPARE(registry.ensureRegistry().outcome, RegistryCheck::Outcome::Created);
    const QByteArray before = readFile(registryPath(dir));

    // A file in use is not a damaged file: it must be neither moved nor replaced.
    {
        RecordStore other(dir.fatal.handler());
        QVERIFY(other.open(registryPath(dir), "Other", kRegistryPassword));
        const RegistryCheck check = registry.ensureRegistry();
        QCOMPARE(check.outcome, RegistryCheck::Outcome::Busy);
        QVERIFY(!check.usable());
        QCOMPARE(registry.createRegistry().outcome, RegistryCheck::Outcome::Busy);
        other.close("Other");
    }
    QCOMPARE(readFile(registryPath(dir)), before);
    QCOMPARE(QDir(dir.path(QStringLiteral("DATEINI"))).entryList(QDir::Files),
             QStringList{QStringLiteral("Inf.edb")});
    QCOMPARE(registry.ensureRegistry().outcome, RegistryCheck::Outcome::Ready);
}

void TestBookRegistry::uncreatableRegistryIsUnavailable_data() {
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("read-only DATEINI") << true;
    QTest::newRow("DATEINI is a file") << false;
}

void TestBookRegistry::uncreatableRegistryIsUnavailable() {
    QFETCH(bool, readOnlyFolder);
    ProgramDir dir;
    const QString folder = dir.path(QStringLiteral("DATEINI"));
    if (readOnlyFolder) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadGroup | QFile::ExeGroup |
                                                  QFile::ReadOther | QFile::ExeOther));
    } else {
        QVERIFY(writeFile(folder, "a file where the folder should be"));
    }
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (readOnlyFolder && (geteuid() == 0 || writeFile(folder + QStringLiteral("/probe"), "x"))) {
        QSKIP("permissions are not enforced for this user");
    }

    BookRegistry registry(dir.context());
    const RegistryCheck check = registry.ensureRegistry();
    QCOMPARE(check.outcome, RegistryCheck::Outcome::Unavailable);
    QVERIFY(!check.usable());
    QVERIFY(!QFileInfo::exists(registryPath(dir)));
    QVERIFY(registry.listBookNames().empty());
}

void TestBookRegistry::appendAndReadBack() {
    ProgramDir dir;
    BookRegistry registry(dir.context());
    QVERIFY(registry.ensureRegistry().usable());

    const BookRecord locked = book("寒假", "小明", 30, "寒假作业要写完。\r\n还要练字。", "mima");
    const BookRecord extreme = book("暑假", "小红", std::numeric_limits<qint32>::min(), "", "");
    QCOMPARE(registry.appendBook(locked), RegistryResult::Ok);
    QCOMPARE(registry.appendBook(extreme), RegistryResult::Ok);
    QCOMPARE(registry.countBooks(), 3);

    QCOMPARE(registry.readBook(1), std::optional<BookRecord>(locked));
    QCOMPARE(registry.readBook(2), std::optional<BookRecord>(extreme));
    QCOMPARE(registry.readBookPassword(1), std::optional<Text>(Text("mima")));
    QCOMPARE(registry.readBookPassword(0), std::optional<Text>(Text()));
    QVERIFY(dir.fatal.calls.empty());
}

void TestBookRegistry::longTextsAreCutTo20Bytes() {
    ProgramDir dir;
    BookRegistry registry(dir.context());
    QVERIFY(registry.ensureRegistry().usable());

    // 1 + 24 bytes: the cut falls inside the tenth character and keeps its lead byte.
    const Text name = Text("a") + gbk("一二三四五六七八九十一二");
    const Text owner = gbk("张三李四王五赵六钱七孙八");
    const Text password = "0123456789abcdefghijKLMNO";
    const Text note = gbk("这是一段很长很长的留言，远远超过二十个字节，但留言不受宽度限制。");
    QCOMPARE(registry.appendBook({name, owner, note, 1, password}), RegistryResult::Ok);

    const auto read = registry.readBook(1);
    QVERIFY(read);
    QCOMPARE(read->name, Text("a") + gbk("一二三四五六七八九") + gbk("十").left(1));
    QCOMPARE(read->owner, gbk("张三李四王五赵六钱七"));
    QCOMPARE(read->password, Text("0123456789abcdefghij"));
    QCOMPARE(read->note, note);
    QCOMPARE(registry.readBookPassword(1), std::optional<Text>(Text("0123456789abcdefghij")));
    QCOMPARE(registry.listBookNames().back(), read->name);
}

void TestBookRegistry::daysFromNumber_data() {
    QTest::addColumn<double>("number");
    QTest::addColumn<qint32>("days");

    QTest::newRow("7.9") << 7.9 << 7;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-7.9") << -7.9 << -7;
    QTest::newRow("2^32 + 7 keeps the low 32 bits") << 4294967303.0 << 7;
    QTest::newRow("2^31 wraps to the lowest") << 2147483648.0 << std::numeric_limits<qint32>::min();
    QTest::newRow("NaN") << std::nan("") << 0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 0;
    QTest::newRow("-infinity") << -std::numeric_limits<double>::infinity() << 0;
    QTest::newRow("1e300") << 1e300 << 0;
}

void TestBookRegistry::daysFromNumber() {
    QFETCH(double, number);
    QFETCH(qint32, days);
    QCOMPARE(BookRegistry::daysFromNumber(number), days);
}

void TestBookRegistry::listsFollowAppendOrder() {
    ProgramDir dir;
    BookRegistry registry(dir.context());
    QVERIFY(registry.ensureRegistry().usable());
    QCOMPARE(registry.appendBook(book("寒假", "小明")), RegistryResult::Ok);
    QCOMPARE(registry.appendBook(book("暑假", "小红")), RegistryResult::Ok);
    QCOMPARE(registry.appendBook(book("寒假", "小明")), RegistryResult::Ok);

    const std::vector<Text> names{gbk("开心假期"), gbk("寒假"), gbk("暑假"), gbk("寒假")};
    QCOMPARE(registry.listBookNames(), names);
    const std::vector<Text> owners{gbk("小小主人"), gbk("小明"), gbk("小红"), gbk("小明")};
    QCOMPARE(registry.listOwnerNames(), std::optional<std::vector<Text>>(owners));
}

void TestBookRegistry::updateRewritesOnlyThatPosition() {
    ProgramDir dir;
    BookRegistry registry(dir.context());
    QVERIFY(registry.ensureRegistry().usable());
    const BookRecord winter = book("寒假", "小明", 30, "冬天", "111");
    const BookRecord summer = book("暑假", "小红", 60, "夏天", "222");
    QCOMPARE(registry.appendBook(winter), RegistryResult::Ok);
    QCOMPARE(registry.appendBook(summer), RegistryResult::Ok);

    // Every field is rewritten, including the password and note going back to empty.
    const BookRecord renamed = book("新寒假", "大明", -3, "", "");
    QCOMPARE(registry.updateBook(1, renamed), RegistryResult::Ok);

    QCOMPARE(registry.countBooks(), 3);
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(defaultBook()));
    QCOMPARE(registry.readBook(1), std::optional<BookRecord>(renamed));
    QCOMPARE(registry.readBook(2), std::optional<BookRecord>(summer));

    QCOMPARE(registry.updateBook(0, summer), RegistryResult::Ok);
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(summer));
    QCOMPARE(registry.readBook(1), std::optional<BookRecord>(renamed));
}

void TestBookRegistry::readPastTheEndGivesEmptyValues() {
    ProgramDir dir;
    BookRegistry registry(dir.context());
    QVERIFY(registry.ensureRegistry().usable());
    QCOMPARE(registry.appendBook(book("寒假", "小明", 30, "冬天", "111")), RegistryResult::Ok);

    for (int position : {2, 3, 50}) {
        QCOMPARE(registry.readBook(position), std::optional<BookRecord>(BookRecord{}));
        QCOMPARE(registry.readBookPassword(position), std::optional<Text>(Text()));
    }
    QVERIFY(dir.fatal.calls.empty());
}

void TestBookRegistry::unopenableRegistryTakesNoWrites_data() {
    QTest::addColumn<bool>("held");
    QTest::newRow("missing") << false;
    QTest::newRow("held by another session") << true;
}

void TestBookRegistry::unopenableRegistryTakesNoWrites() {
    QFETCH(bool, held);
    ProgramDir dir;
    BookRegistry registry(dir.context());
    std::optional<RecordStore> other;
    QByteArray before;
    if (held) {
        QVERIFY(registry.ensureRegistry().usable());
        before = readFile(registryPath(dir));
        other.emplace(dir.fatal.handler());
        QVERIFY(other->open(registryPath(dir), "Other", kRegistryPassword));
    }

    QCOMPARE(registry.appendBook(book("寒假", "小明")), RegistryResult::OpenFailed);
    QCOMPARE(registry.updateBook(0, book("寒假", "小明")), RegistryResult::OpenFailed);
    QVERIFY(registry.listBookNames().empty());
    QVERIFY(!registry.listOwnerNames());

    if (held) {
        other->close("Other");
        other.reset();
        QCOMPARE(readFile(registryPath(dir)), before);
        QCOMPARE(registry.listBookNames(), std::vector<Text>{gbk("开心假期")});
        QCOMPARE(registry.readBook(0), std::optional<BookRecord>(defaultBook()));
    } else {
        QVERIFY(!registry.readBook(0));
        QVERIFY(!registry.readBookPassword(0));
        QVERIFY(!QFileInfo::exists(dir.path(QStringLiteral("DATEINI"))));
    }
}

void TestBookRegistry::foreignLayoutIsFatal_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<FieldKind>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<Text>("message");

    QTest::newRow("days as text") << 4 << FieldKind::Text << 2 << gbk("未得到所需要的数值型数据");
    QTest::newRow("days as memo") << 4 << FieldKind::Memo << 2 << gbk("未得到所需要的数值型数据");
    QTest::newRow("name as integer") << 1 << FieldKind::Integer << 5 << gbk("数据或数组类型不匹配");
    QTest::newRow("password as integer")
        << 5 << FieldKind::Integer << 5 << gbk("数据或数组类型不匹配");
}

void TestBookRegistry::foreignLayoutIsFatal() {
    QFETCH(int, field);
    QFETCH(FieldKind, kind);
    QFETCH(int, code);
    QFETCH(Text, message);

    ProgramDir dir;
    const QString path = registryPath(dir);
    QVERIFY(QDir().mkpath(dir.path(QStringLiteral("DATEINI"))));
    QVERIFY(RecordStore::create(path, registryLayout(field, kind)));
    {
        RecordStore records(dir.fatal.handler());
        QVERIFY(records.open(path, "Date", Text()));
        QVERIFY(records.setPassword(kRegistryPassword));
        QVERIFY(records.addBlankRecord());
        QVERIFY(records.close("Date"));
    }

    BookRegistry registry(dir.context());
    registry.readBook(0);
    QCOMPARE(dir.fatal.calls, (Calls{{code, message}}));
    if (field == 1) {
        dir.fatal.calls.clear();
        registry.listBookNames();
        QCOMPARE(dir.fatal.calls, (Calls{{code, message}}));
    }
    if (field == 5) {
        dir.fatal.calls.clear();
        registry.readBookPassword(0);
        QCOMPARE(dir.fatal.calls, (Calls{{code, message}}));
    }
}

void TestBookRegistry::daysOfAnyNumericKind_data() {
    QTest::addColumn<FieldKind>("kind");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<double>("real");
    QTest::addColumn<qint32>("days");

    QTest::newRow("byte is unsigned") << FieldKind::Byte << qint64(200) << 0.0 << 200;
    QTest::newRow("short is sign-extended") << FieldKind::Short << qint64(-2) << 0.0 << -2;
    QTest::newRow("64-bit keeps the low 32 bits")
        << FieldKind::Long << qint64(4294967303LL) << 0.0 << 7;
    QTest::newRow("double is truncated") << FieldKind::Double << qint64(0) << 7.9 << 7;
    QTest::newRow("negative double toward zero") << FieldKind::Double << qint64(0) << -7.9 << -7;
}

void TestBookRegistry::daysOfAnyNumericKind() {
    QFETCH(FieldKind, kind);
    QFETCH(qint64, integer);
    QFETCH(double, real);
    QFETCH(qint32, days);

    ProgramDir dir;
    const QString path = registryPath(dir);
    QVERIFY(QDir().mkpath(dir.path(QStringLiteral("DATEINI"))));
    QVERIFY(RecordStore::create(path, registryLayout(4, kind)));
    {
        RecordStore records(dir.fatal.handler());
        QVERIFY(records.open(path, "Date", Text()));
        QVERIFY(records.setPassword(kRegistryPassword));
        QVERIFY(records.addBlankRecord());
        QVERIFY(records.write(gbk("日记本名称"), FieldValue::ofText(gbk("寒假"))));
        const FieldValue value =
            kind == FieldKind::Double ? FieldValue::ofReal(real) : FieldValue::ofInteger(integer);
        QVERIFY(records.write(gbk("天数"), value));
        QVERIFY(records.close("Date"));
    }

    BookRegistry registry(dir.context());
    const auto read = registry.readBook(0);
    QVERIFY(read);
    QCOMPARE(read->name, gbk("寒假"));
    QCOMPARE(read->days, days);
    QVERIFY(dir.fatal.calls.empty());
}

QTEST_GUILESS_MAIN(TestBookRegistry)
#include "tst_book_registry.moc"
