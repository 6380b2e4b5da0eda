#include "record_store.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QtTest>

#include <sqlite3.h>

#include <vector>

using namespace wendlow;
using wendlow::test::filesIn;
using wendlow::test::readFile;
using wendlow::test::snapshot;
using wendlow::test::TempDir;
using wendlow::test::writeFile;

namespace {

constexpr int kTitle = 1;
constexpr int kCount = 2;
constexpr int kBody = 3;

std::vector<FieldSpec> diaryFields() {
    return {{"Title", FieldKind::Text, 20},
            {"Count", FieldKind::Integer, 0},
            {"Body", FieldKind::Memo, 0}};
}

Text bodyOf(int i, int size) {
    Text body = "body " + Text::number(i) + "\r\n";
    while (body.size() < size) {
        body += gbk("日记");
    }
    return body.left(size);
}

// A committed store of `count` records: title "r<i>", count i, a memo of `memoSize` bytes.
bool makeStore(const QString& path, int count, int memoSize) {
    if (!RecordStore::create(path, diaryFields())) {
        return false;
    }
    RecordStore rs(nullptr);
    bool ok = rs.open(path, "maker", "");
    for (int i = 0; ok && i < count; ++i) {
        ok = rs.addBlankRecord() && rs.write("Title", FieldValue::ofText("r" + Text::number(i))) &&
             rs.write("Count", FieldValue::ofInteger(i)) &&
             rs.write("Body", FieldValue::ofText(bodyOf(i, memoSize)));
    }
    return rs.close("maker") && ok;
}

// Runs SQL on a file through a plain connection, as another program would.
bool execSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    return sqlite3_close(db) == SQLITE_OK && ok;
}

QByteArray noise(qsizetype size, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray out(size, '\0');
    for (char& c : out) {
        c = static_cast<char>(gen.bounded(256));
    }
    return out;
}

enum class Damage {
    Garbage,
    Empty,
    HeaderThenGarbage,
    OtherLayout,
    ForeignWithOurMarker,
    MarkerAltered,
    MarkerMissing,
    NoFields,
    UnknownFieldKind,
    ColumnMissing,
    MemoTableMissing,
};

bool makeDamaged(Damage damage, const QString& path) {
    switch (damage) {
    case Damage::Garbage:
        return writeFile(path, noise(64 * 1024, 7));
    case Damage::Empty:
        return writeFile(path, {});
    case Damage::HeaderThenGarbage: {
        if (!makeStore(path, 20, 100)) {
            return false;
        }
        const QByteArray bytes = readFile(path);
        return writeFile(path, bytes.left(100) + noise(bytes.size() - 100, 11));
    }
    case Damage::OtherLayout:
        return execSql(path, "CREATE TABLE notes(id INTEGER PRIMARY KEY, title TEXT, body BLOB);"
                             "INSERT INTO notes VALUES(1, 'a', x'00ff');");
    case Damage::ForeignWithOurMarker:
        return execSql(path, "CREATE TABLE wendlow_meta(key TEXT PRIMARY KEY, value BLOB);"
                             "INSERT INTO wendlow_meta VALUES('format', 'wendlow-records-1');"
                             "INSERT INTO wendlow_meta VALUES('password', '');");
    case Damage::MarkerAltered:
        return makeStore(path, 3, 10) &&
               execSql(path, "UPDATE wendlow_meta SET value = 'wendlow-records-0'"
                             " WHERE key = 'format'");
    case Damage::MarkerMissing:
        return makeStore(path, 3, 10) &&
               execSql(path, "DELETE FROM wendlow_meta WHERE key = 'format'");
    case Damage::NoFields:
        return makeStore(path, 3, 10) && execSql(path, "DELETE FROM wendlow_fields");
    case Damage::UnknownFieldKind:
        return makeStore(path, 3, 10) &&
               execSql(path, "UPDATE wendlow_fields SET kind = 99 WHERE no = 2");
    case Damage::ColumnMissing:
        return makeStore(path, 3, 10) &&
               execSql(path, "ALTER TABLE wendlow_records DROP COLUMN f2");
    case Damage::MemoTableMissing:
        return makeStore(path, 3, 10) && execSql(path, "DROP TABLE wendlow_memo_3");
    }
    return false;
}

// Leaves at `copy` what a writer killed in the middle of its transaction leaves behind: the
// file with some of the changes already in it, and its hot journal. Returns the bytes the file
// had before the transaction, or nothing when the writer did not reach the file.
QByteArray makeCrashedCopy(const QString& live, const QString& copy) {
    if (!makeStore(live, 200, 3000)) {
        return {};
    }
    const QByteArray before = readFile(live);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(live).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return {};
    }
    // A small cache makes the writer spill changed pages into the file before it commits.
    bool ok = sqlite3_exec(db,
                           "PRAGMA cache_size = 10; BEGIN;"
                           "UPDATE wendlow_memo_3 SET data = zeroblob(3000);"
                           "DELETE FROM wendlow_records WHERE id > 1;",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
    const QString journal = QStringLiteral("-journal");
    ok = ok && QFile::copy(live, copy) && QFile::copy(live + journal, copy + journal);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (!ok || readFile(copy) == before || QFileInfo(copy + journal).size() == 0) {
        return {};
    }
    return before;
}

} // namespace

Q_DECLARE_METATYPE(Damage)

class TestRecordStoreDamage : public QObject {
    Q_OBJECT

  private slots:
    void damagedFileIsNotOpened_data();
    void damagedFileIsNotOpened();
    void truncatedStore();
    void leftoverJournalIsRolledBack();
    void createIgnoresLeftoverJournal();
};

void TestRecordStoreDamage::damagedFileIsNotOpened_data() {
    QTest::addColumn<Damage>("damage");

    QTest::newRow("garbage bytes") << Damage::Garbage;
    QTest::newRow("empty file") << Damage::Empty;
    QTest::newRow("database header, then garbage") << Damage::HeaderThenGarbage;
    QTest::newRow("database of another layout") << Damage::OtherLayout;
    QTest::newRow("foreign database carrying our marker") << Damage::ForeignWithOurMarker;
    QTest::newRow("marker altered") << Damage::MarkerAltered;
    QTest::newRow("marker missing") << Damage::MarkerMissing;
    QTest::newRow("no fields") << Damage::NoFields;
    QTest::newRow("field of unknown kind") << Damage::UnknownFieldKind;
    QTest::newRow("column of a field missing") << Damage::ColumnMissing;
    QTest::newRow("memo table missing") << Damage::MemoTableMissing;
}

void TestRecordStoreDamage::damagedFileIsNotOpened() {
    QFETCH(Damage, damage);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString good = dir.path(QStringLiteral("good.edb"));
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(good, 2, 10));
    QVERIFY(makeDamaged(damage, path));
    const auto before = snapshot(dir.path());

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(good, "g", ""));
    QVERIFY(rs.skip());
    for (int attempt = 0; attempt < 2; ++attempt) {
        QVERIFY(!rs.open(path, "t", ""));
        QCOMPARE(rs.lastOpenStatus(), OpenStatus::NotARecordStore);
        QCOMPARE(snapshot(dir.path()), before);
    }
    // The session is as it was: the good table is still current, where it was.
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.position(), 1);
    QCOMPARE(rs.read(kTitle).text, Text("r1"));
    QVERIFY(!rs.setCurrent("t"));
    QVERIFY(rs.close("g"));
    QCOMPARE(snapshot(dir.path()), before);
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStoreDamage::truncatedStore() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, 3000, 300));
    const QByteArray whole = readFile(path);
    QVERIFY(writeFile(path, whole.left(whole.size() / 2)));
    const auto before = snapshot(dir.path());

    RecordStore rs(dir.fatal.handler());
    if (!rs.open(path, "t", "")) {
        QCOMPARE(rs.lastOpenStatus(), OpenStatus::NotARecordStore);
        QCOMPARE(snapshot(dir.path()), before);
        return;
    }
    // Opened after all: every record can be walked, whatever the values turn out to be.
    const int count = rs.recordCount();
    for (int i = 0; i < count; ++i) {
        rs.read(kTitle);
        rs.read(kCount);
        rs.read(kBody);
        rs.skip();
    }
    rs.close("t");
}

void TestRecordStoreDamage::leftoverJournalIsRolledBack() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    const QByteArray before = makeCrashedCopy(dir.path(QStringLiteral("live.edb")), path);
    QVERIFY2(!before.isEmpty(), "could not leave a half-written file with its journal");

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.recordCount(), 200);
    for (int i : {0, 1, 199}) {
        rs.skip(i - rs.position());
        QCOMPARE(rs.position(), i);
        QCOMPARE(rs.read(kTitle).text, "r" + Text::number(i));
        QCOMPARE(rs.read(kCount).integer, i);
        QCOMPARE(rs.read(kBody).text, bodyOf(i, 3000));
    }
    QVERIFY(rs.close("t"));
    QVERIFY(!QFileInfo::exists(path + QStringLiteral("-journal")));
    QCOMPARE(readFile(path), before);
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStoreDamage::createIgnoresLeftoverJournal() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY2(!makeCrashedCopy(dir.path(QStringLiteral("live.edb")), path).isEmpty(),
             "could not leave a half-written file with its journal");

    // The journal belongs to the file being replaced; played back into the new one it would
    // mix old pages into it.
    const std::vector<FieldSpec> fields{{"Name", FieldKind::Text, 20}};
    QVERIFY(RecordStore::create(path, fields));
    QVERIFY(!QFileInfo::exists(path + QStringLiteral("-journal")));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.recordCount(), 0);
    QCOMPARE(rs.fields().size(), size_t(1));
    QCOMPARE(rs.fields()[0].name, Text("Name"));
    QVERIFY(rs.addBlankRecord());
    QVERIFY(rs.write("name", FieldValue::ofText("new")));
    QVERIFY(rs.close("t"));
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.read(1).text, Text("new"));
    QVERIFY(dir.fatal.calls.empty());
}

QTEST_GUILESS_MAIN(TestRecordStoreDamage)
#include "tst_record_store_damage.moc"
