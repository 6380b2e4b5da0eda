#include "record_store.h"
#include "test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QtTest>

#include <algorithm>
#include <vector>

using namespace wendlow;
using wendlow::test::filesIn;
using wendlow::test::readFile;
using wendlow::test::snapshot;
using wendlow::test::TempDir;

Q_DECLARE_METATYPE(wendlow::FieldSpec)
Q_DECLARE_METATYPE(wendlow::FieldValue)
Q_DECLARE_METATYPE(wendlow::OpenStatus)

namespace {

using FieldList = std::vector<FieldSpec>;

// The layout the program's own tables use: a fixed-width text, a number and a memo.
FieldList diaryFields() {
    return {{"Title", FieldKind::Text, 20},
            {"Count", FieldKind::Integer, 0},
            {"Body", FieldKind::Memo, 0}};
}
constexpr int kTitle = 1;
constexpr int kCount = 2;
constexpr int kBody = 3;

struct Row {
    Text title;
    qint64 count;
    Text body;
};

std::vector<Row> threeRows() {
    return {{"A", 1, "alpha"}, {"B", 2, "beta"}, {"C", 3, "gamma"}};
}

bool writeRow(RecordStore& rs, const Row& row) {
    return rs.write("Title", FieldValue::ofText(row.title)) &&
           rs.write("Count", FieldValue::ofInteger(row.count)) &&
           rs.write("Body", FieldValue::ofText(row.body));
}

// A committed store at `path` holding `rows`, with `password` set when one is given.
bool makeStore(const QString& path, const std::vector<Row>& rows = {}, const Text& password = {}) {
    if (!RecordStore::create(path, diaryFields())) {
        return false;
    }
    RecordStore rs(nullptr);
    bool ok = rs.open(path, "maker", "");
    for (const Row& row : rows) {
        ok = ok && rs.addBlankRecord() && writeRow(rs, row);
    }
    if (!password.isEmpty()) {
        ok = ok && rs.setPassword(password);
    }
    return rs.close("maker") && ok;
}

// Moves to `target` (between -1 and the record count) with relative skips.
bool goTo(RecordStore& rs, int target) {
    const int delta = target - rs.position();
    if (delta != 0) {
        rs.skip(delta);
    }
    return rs.position() == target;
}

QByteArrayList titles(RecordStore& rs) {
    QByteArrayList out;
    for (int i = 0; i < rs.recordCount(); ++i) {
        if (!goTo(rs, i)) {
            return {QByteArrayLiteral("<cannot reach record>")};
        }
        out.append(rs.read(kTitle).text);
    }
    return out;
}

} // namespace

class TestRecordStore : public QObject {
    Q_OBJECT

  private slots:
    void createReplacesExistingFile();
    void createChecksFieldList_data();
    void createChecksFieldList();

    void openStartsAtFirstRecord();
    void openRefusalChangesNothing_data();
    void openRefusalChangesNothing();

    void emptyTable();
    void addBlankRecordAppendsEmptyRecord();
    void skip_data();
    void skip();
    void readAndWriteOutsideRecords_data();
    void readAndWriteOutsideRecords();

    void purgeRemovesMarkedRecords_data();
    void purgeRemovesMarkedRecords();
    void purgedMemoDoesNotReturn();
    void purgeGivesSpaceBack();

    void writeTextCutsToWidth_data();
    void writeTextCutsToWidth();
    void memoKeepsBytesExactly();
    void writeNumbers_data();
    void writeNumbers();
    void writeRefusals();
    void fieldNamesMatchIgnoringCase_data();
    void fieldNamesMatchIgnoringCase();
    void manyRecordsReadAfterWritesAndPurge();

    void fatalErrors_data();
    void fatalErrors();

    void closeCommits();
    void closeUnknownAliasAndCurrent();
    void setCurrentSwitchesTables();
    void destroyingSessionCommitsAndReleases();
};

void TestRecordStore::createReplacesExistingFile() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, threeRows(), "pw"));

    const FieldList other{{gbk("名字"), FieldKind::Text, 10}};
    QVERIFY(RecordStore::create(path, other));
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("t.edb")});

    RecordStore rs(dir.fatal.handler());
    QVERIFY2(rs.open(path, "t", ""), "the new file has no password");
    QCOMPARE(rs.recordCount(), 0);
    const FieldList fields = rs.fields();
    QCOMPARE(fields.size(), size_t(1));
    QCOMPARE(fields[0].name, gbk("名字"));
    QCOMPARE(fields[0].kind, FieldKind::Text);
    QCOMPARE(fields[0].width, 10);
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::createChecksFieldList_data() {
    QTest::addColumn<FieldList>("fields");
    QTest::addColumn<bool>("inMissingDir");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("program layout") << diaryFields() << false << true;
    QTest::newRow("name of 16 bytes")
        << FieldList{{gbk("一二三四五六七八"), FieldKind::Text, 20}} << false << true;
    QTest::newRow("name of 17 bytes")
        << FieldList{{"abcdefghijklmnopq", FieldKind::Text, 20}} << false << false;
    QTest::newRow("two-byte name of 18 bytes")
        << FieldList{{gbk("一二三四五六七八九"), FieldKind::Integer, 0}} << false << false;
    QTest::newRow("same name in other case")
        << FieldList{{"Title", FieldKind::Text, 20}, {"TITLE", FieldKind::Integer, 0}} << false
        << false;
    // 丄 and 乤 differ only in a trail byte that looks like an ASCII letter.
    QTest::newRow("names differing in a trail byte")
        << FieldList{{"\x81\x41", FieldKind::Text, 20}, {"\x81\x61", FieldKind::Integer, 0}}
        << false << true;
    QTest::newRow("text width 0") << FieldList{{"Title", FieldKind::Text, 0}} << false << false;
    QTest::newRow("text width 1") << FieldList{{"Title", FieldKind::Text, 1}} << false << true;
    QTest::newRow("missing directory") << diaryFields() << true << false;
}

void TestRecordStore::createChecksFieldList() {
    QFETCH(FieldList, fields);
    QFETCH(bool, inMissingDir);
    QFETCH(bool, accepted);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = inMissingDir ? dir.path(QStringLiteral("nowhere/t.edb"))
                                      : dir.path(QStringLiteral("t.edb"));
    // An existing table sits where the new one goes, unless the directory is missing.
    if (!inMissingDir) {
        QVERIFY(makeStore(path, threeRows()));
    }
    const auto before = snapshot(dir.path());

    QCOMPARE(RecordStore::create(path, fields), accepted);

    if (!accepted) {
        QCOMPARE(snapshot(dir.path()), before);
        QVERIFY(!QFileInfo::exists(dir.path(QStringLiteral("nowhere"))));
        return;
    }
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("t.edb")});
    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.recordCount(), 0);
    const FieldList stored = rs.fields();
    QCOMPARE(stored.size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        QCOMPARE(stored[i].name, fields[i].name);
        QCOMPARE(stored[i].kind, fields[i].kind);
        if (fields[i].kind == FieldKind::Text) {
            QCOMPARE(stored[i].width, fields[i].width);
        }
    }
}

void TestRecordStore::openStartsAtFirstRecord() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, threeRows(), gbk("秘密")));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(!rs.open(path, "t", gbk("秘钥")));
    QCOMPARE(rs.lastOpenStatus(), OpenStatus::WrongPassword);
    QVERIFY(rs.open(path, "t", gbk("秘密")));
    QCOMPARE(rs.lastOpenStatus(), OpenStatus::Ok);
    QCOMPARE(rs.position(), 0);
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.read(kTitle).text, Text("A"));
    QCOMPARE(rs.read(kCount).integer, 1);
    QCOMPARE(rs.read(kBody).text, Text("alpha"));
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::openRefusalChangesNothing_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<Text>("alias");
    QTest::addColumn<Text>("password");
    QTest::addColumn<bool>("otherSession");
    QTest::addColumn<OpenStatus>("expected");

    // a.edb is held open as "a" throughout; b.edb has a password, c.edb none.
    const Text none;
    QTest::newRow("missing file") << "none.edb" << Text("n") << none << false
                                  << OpenStatus::Missing;
    QTest::newRow("a directory") << "sub" << Text("n") << none << false << OpenStatus::Missing;
    QTest::newRow("same path, other alias")
        << "a.edb" << Text("a2") << none << false << OpenStatus::AlreadyOpen;
    QTest::newRow("same file spelled another way")
        << "sub/../a.edb" << Text("a2") << none << false << OpenStatus::AlreadyOpen;
    QTest::newRow("same alias, other file")
        << "c.edb" << Text("a") << none << false << OpenStatus::AlreadyOpen;
    QTest::newRow("held by another session")
        << "a.edb" << Text("a") << none << true << OpenStatus::Busy;
    QTest::newRow("wrong password")
        << "b.edb" << Text("b") << gbk("秘钥") << false << OpenStatus::WrongPassword;
    QTest::newRow("password for a file without one")
        << "c.edb" << Text("c") << Text("pw") << false << OpenStatus::WrongPassword;
    QTest::newRow("no password for a file with one")
        << "b.edb" << Text("b") << none << false << OpenStatus::WrongPassword;
}

void TestRecordStore::openRefusalChangesNothing() {
    QFETCH(QString, file);
    QFETCH(Text, alias);
    QFETCH(Text, password);
    QFETCH(bool, otherSession);
    QFETCH(OpenStatus, expected);

    TempDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const QString a = dir.path(QStringLiteral("a.edb"));
    QVERIFY(makeStore(a, threeRows()));
    QVERIFY(makeStore(dir.path(QStringLiteral("b.edb")), {{"B1", 1, "b"}}, gbk("秘密")));
    QVERIFY(makeStore(dir.path(QStringLiteral("c.edb")), {{"C1", 1, "c"}}));

    RecordStore holder(dir.fatal.handler());
    QVERIFY(holder.open(a, "a", ""));
    QVERIFY(goTo(holder, 1));
    // Work not yet committed, which a failed open must not disturb.
    QVERIFY(holder.write("Title", FieldValue::ofText("changed")));
    const auto before = snapshot(dir.path());

    RecordStore other(dir.fatal.handler());
    RecordStore& trying = otherSession ? other : holder;
    QVERIFY(!trying.open(dir.path(file), alias, password));
    QCOMPARE(trying.lastOpenStatus(), expected);

    QCOMPARE(snapshot(dir.path()), before);
    if (otherSession) {
        QCOMPARE(other.recordCount(), 0);
    }
    // The holder still has its table current, where it was, and can work on it.
    QCOMPARE(holder.recordCount(), 3);
    QCOMPARE(holder.position(), 1);
    QCOMPARE(holder.read(kTitle).text, Text("changed"));
    QVERIFY(holder.write("Count", FieldValue::ofInteger(42)));
    QVERIFY(holder.close("a"));

    // Once the holder has let go, the file opens, also for a session refused before, with the
    // holder's work in it.
    RecordStore fresh(dir.fatal.handler());
    RecordStore& reader = otherSession ? other : fresh;
    QVERIFY(reader.open(a, "a", ""));
    QCOMPARE(reader.lastOpenStatus(), OpenStatus::Ok);
    QCOMPARE(titles(reader), (QByteArrayList{"A", "changed", "C"}));
    QVERIFY(goTo(reader, 1));
    QCOMPARE(reader.read(kCount).integer, 42);
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::emptyTable() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.recordCount(), 0);
    QCOMPARE(rs.position(), 0);
    rs.goToLastRecord();
    QCOMPARE(rs.position(), 0);
    QVERIFY(!rs.deleteRecord());
    QVERIFY(rs.addBlankRecord());
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.position(), 0);
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::addBlankRecordAppendsEmptyRecord() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, {{"A", 1, "alpha"}, {"B", 2, "beta"}}));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QVERIFY(rs.deleteRecord());
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.read(kTitle).text, Text("A"));

    QVERIFY(rs.addBlankRecord());
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.position(), 2);
    QCOMPARE(rs.read(kTitle).text, Text());
    QCOMPARE(rs.read(kCount).integer, 0);
    QCOMPARE(rs.read(kBody).text, Text());

    QVERIFY(goTo(rs, 0));
    rs.goToLastRecord();
    QCOMPARE(rs.position(), 2);
    QVERIFY(goTo(rs, 0));
    QVERIFY(rs.skip());
    QCOMPARE(rs.position(), 1);
    QCOMPARE(rs.read(kBody).text, Text("beta"));
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::skip_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("end");

    QTest::newRow("forward on empty") << 0 << 0 << 1 << false << 0;
    QTest::newRow("backward on empty") << 0 << 0 << -1 << false << 0;
    QTest::newRow("forward from count") << 3 << 3 << 1 << false << 3;
    QTest::newRow("backward from -1") << 3 << -1 << -1 << false << -1;
    QTest::newRow("forward within") << 3 << 0 << 2 << true << 2;
    QTest::newRow("forward from last to count") << 3 << 2 << 1 << true << 3;
    QTest::newRow("forward clamped at count") << 3 << 1 << 10 << true << 3;
    QTest::newRow("backward from first to -1") << 3 << 0 << -1 << true << -1;
    QTest::newRow("backward clamped at -1") << 3 << 2 << -10 << true << -1;
    QTest::newRow("forward from -1") << 3 << -1 << 1 << true << 0;
    QTest::newRow("backward from count") << 3 << 3 << -1 << true << 2;
}

void TestRecordStore::skip() {
    QFETCH(int, count);
    QFETCH(int, start);
    QFETCH(int, n);
    QFETCH(bool, accepted);
    QFETCH(int, end);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    const std::vector<Row> all = threeRows();
    QVERIFY(makeStore(path, {all.begin(), all.begin() + count}));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.recordCount(), count);
    QVERIFY(goTo(rs, start));

    QCOMPARE(rs.skip(n), accepted);
    QCOMPARE(rs.position(), end);
}

void TestRecordStore::readAndWriteOutsideRecords_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("where");

    QTest::newRow("before the first") << 3 << -1;
    QTest::newRow("past the last") << 3 << 3;
    QTest::newRow("empty table") << 0 << 0;
}

void TestRecordStore::readAndWriteOutsideRecords() {
    QFETCH(int, count);
    QFETCH(int, where);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    const std::vector<Row> all = threeRows();
    QVERIFY(makeStore(path, {all.begin(), all.begin() + count}));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    // Read a record first, so that a value left over from it would show.
    if (count > 0) {
        QCOMPARE(rs.read(kTitle).text, Text("A"));
        QCOMPARE(rs.read(kBody).text, Text("alpha"));
    }
    QVERIFY(goTo(rs, where));
    QCOMPARE(rs.read(kTitle).text, Text());
    QCOMPARE(rs.read(kCount).integer, 0);
    QCOMPARE(rs.read(kBody).text, Text());

    QVERIFY(!rs.write("Title", FieldValue::ofText("X")));
    QVERIFY(!rs.write("Count", FieldValue::ofInteger(9)));
    QVERIFY(!rs.write("Body", FieldValue::ofText("X")));
    QVERIFY(!rs.deleteRecord());
    QCOMPARE(rs.recordCount(), count);
    QVERIFY(rs.close("t"));

    QVERIFY(rs.open(path, "t", ""));
    QVERIFY(rs.purge());
    QCOMPARE(rs.recordCount(), count);
    for (int i = 0; i < count; ++i) {
        QVERIFY(goTo(rs, i));
        QCOMPARE(rs.read(kTitle).text, all[i].title);
        QCOMPARE(rs.read(kCount).integer, all[i].count);
        QCOMPARE(rs.read(kBody).text, all[i].body);
    }
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::purgeRemovesMarkedRecords_data() {
    QTest::addColumn<QList<int>>("marked");
    QTest::addColumn<QByteArrayList>("remaining");

    QTest::newRow("first of three") << QList<int>{0} << QByteArrayList{"B", "C"};
    QTest::newRow("middle") << QList<int>{1} << QByteArrayList{"A", "C"};
    QTest::newRow("last two") << QList<int>{1, 2} << QByteArrayList{"A"};
    QTest::newRow("all") << QList<int>{0, 1, 2} << QByteArrayList{};
    QTest::newRow("none") << QList<int>{} << QByteArrayList{"A", "B", "C"};
}

void TestRecordStore::purgeRemovesMarkedRecords() {
    QFETCH(QList<int>, marked);
    QFETCH(QByteArrayList, remaining);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, threeRows()));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    for (int at : marked) {
        QVERIFY(goTo(rs, at));
        QVERIFY(rs.deleteRecord());
    }
    // Marking alone removes nothing.
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(titles(rs), (QByteArrayList{"A", "B", "C"}));

    QVERIFY(rs.purge());
    QCOMPARE(rs.recordCount(), int(remaining.size()));
    QCOMPARE(titles(rs), remaining);
    QVERIFY(rs.close("t"));

    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(titles(rs), remaining);
    // The survivors keep all their fields.
    const std::vector<Row> all = threeRows();
    for (int i = 0; i < rs.recordCount(); ++i) {
        QVERIFY(goTo(rs, i));
        const Row& row = all[size_t(remaining[i].at(0) - 'A')];
        QCOMPARE(rs.read(kCount).integer, row.count);
        QCOMPARE(rs.read(kBody).text, row.body);
    }
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::purgedMemoDoesNotReturn() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, threeRows()));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QVERIFY(goTo(rs, 0));
    QVERIFY(rs.deleteRecord());
    rs.goToLastRecord();
    QVERIFY(rs.deleteRecord());
    QVERIFY(rs.purge());
    QCOMPARE(titles(rs), QByteArrayList{"B"});

    // A record appended where the purged last one was must not inherit its memo.
    QVERIFY(rs.addBlankRecord());
    QCOMPARE(rs.read(kBody).text, Text());
    QVERIFY(rs.addBlankRecord());
    QCOMPARE(rs.read(kBody).text, Text());
    QVERIFY(rs.close("t"));

    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.recordCount(), 3);
    const QByteArrayList bodies{"beta", "", ""};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(goTo(rs, i));
        QCOMPARE(rs.read(kBody).text, bodies[i]);
    }
    QVERIFY(rs.close("t"));

    const QByteArray bytes = readFile(path);
    QVERIFY(!bytes.contains("alpha"));
    QVERIFY(!bytes.contains("gamma"));
}

void TestRecordStore::purgeGivesSpaceBack() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    std::vector<Row> rows;
    for (int i = 0; i < 150; ++i) {
        rows.push_back({Text::number(i), i, Text(10000, char('a' + i % 26))});
    }
    QVERIFY(makeStore(path, rows));
    const qint64 fullSize = QFileInfo(path).size();

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    for (int i = 1; i < rs.recordCount(); ++i) {
        QVERIFY(goTo(rs, i));
        QVERIFY(rs.deleteRecord());
    }
    QVERIFY(rs.purge());
    QVERIFY(rs.close("t"));

    const qint64 purgedSize = QFileInfo(path).size();
    QVERIFY2(purgedSize * 4 < fullSize,
             qPrintable(QStringLiteral("%1 -> %2 bytes").arg(fullSize).arg(purgedSize)));
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.read(kBody).text, rows[0].body);
}

void TestRecordStore::writeTextCutsToWidth_data() {
    QTest::addColumn<Text>("written");
    QTest::addColumn<Text>("expected");

    const Text twenty = "abcdefghijklmnopqrst";
    const Text chinese10 = gbk("一二三四五六七八九十");
    QTest::newRow("25 bytes") << twenty + "uvwxy" << twenty;
    QTest::newRow("exactly 20 bytes") << twenty << twenty;
    QTest::newRow("shorter") << Text("abc") << Text("abc");
    QTest::newRow("empty") << Text() << Text();
    QTest::newRow("ten two-byte characters") << chinese10 << chinese10;
    QTest::newRow("eleven two-byte characters") << chinese10 + gbk("百") << chinese10;
    // The cut falls between the two bytes of 中: its lead byte stays.
    QTest::newRow("cut through a character") << Text("abcdefghijklmnopqrs") + gbk("中文")
                                             << Text("abcdefghijklmnopqrs") + gbk("中").left(1);
}

void TestRecordStore::writeTextCutsToWidth() {
    QFETCH(Text, written);
    QFETCH(Text, expected);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, {{"ZZZZZZZZZZZZZZZZZZZZ", 1, "x"}, {"next", 2, "y"}}));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    // Over a full-width earlier value, so that leftovers of it would show.
    QCOMPARE(rs.read(kTitle).text, Text("ZZZZZZZZZZZZZZZZZZZZ"));
    QVERIFY(rs.write("Title", FieldValue::ofText(written)));
    QCOMPARE(rs.read(kTitle).text, expected);
    QVERIFY(rs.close("t"));

    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.read(kTitle).text, expected);
    QVERIFY(rs.skip());
    QCOMPARE(rs.read(kTitle).text, Text("next"));
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::memoKeepsBytesExactly() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, {{"A", 1, "short"}, {"B", 2, "other"}}));

    Text memo;
    for (int i = 0; memo.size() < 6000; ++i) {
        memo += gbk("第") + Text::number(i) + gbk("行：今天天气很好。") + "\r\n";
    }
    memo += "\r\n\r\n  end without a line break";

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QVERIFY(rs.write("Body", FieldValue::ofText(memo)));
    QCOMPARE(rs.read(kBody).text, memo);
    QVERIFY(rs.close("t"));

    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.read(kBody).text, memo);
    QVERIFY(rs.skip());
    QCOMPARE(rs.read(kBody).text, Text("other"));
    // A shorter memo replaces a longer one whole.
    QVERIFY(goTo(rs, 0));
    QVERIFY(rs.write("Body", FieldValue::ofText("\r\n")));
    QVERIFY(rs.close("t"));

    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.read(kBody).text, Text("\r\n"));
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::writeNumbers_data() {
    QTest::addColumn<Text>("field");
    QTest::addColumn<FieldValue>("written");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("byte keeps low 8 bits") << Text("b") << FieldValue::ofInteger(300) << 44LL;
    QTest::newRow("byte is unsigned") << Text("b") << FieldValue::ofInteger(-1) << 255LL;
    QTest::newRow("short sign-extends") << Text("s") << FieldValue::ofInteger(40000) << -25536LL;
    QTest::newRow("short keeps low 16 bits")
        << Text("s") << FieldValue::ofInteger(0x12345) << 0x2345LL;
    QTest::newRow("short minimum") << Text("s") << FieldValue::ofInteger(-32768) << -32768LL;
    QTest::newRow("integer keeps low 32 bits")
        << Text("i") << FieldValue::ofInteger(0x100000005LL) << 5LL;
    QTest::newRow("integer sign-extends bit 31")
        << Text("i") << FieldValue::ofInteger(0xFFFFFFFFLL) << -1LL;
    QTest::newRow("integer wraps past maximum")
        << Text("i") << FieldValue::ofInteger(2147483648LL) << -2147483648LL;
    QTest::newRow("integer negative") << Text("i") << FieldValue::ofInteger(-7) << -7LL;
    QTest::newRow("real truncates toward zero") << Text("i") << FieldValue::ofReal(2.9) << 2LL;
    QTest::newRow("negative real truncates toward zero")
        << Text("i") << FieldValue::ofReal(-2.9) << -2LL;
    QTest::newRow("real into byte") << Text("b") << FieldValue::ofReal(300.7) << 44LL;
}

void TestRecordStore::writeNumbers() {
    QFETCH(Text, field);
    QFETCH(FieldValue, written);
    QFETCH(qint64, expected);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("n.edb"));
    QVERIFY(RecordStore::create(
        path,
        {{"b", FieldKind::Byte, 0}, {"s", FieldKind::Short, 0}, {"i", FieldKind::Integer, 0}}));
    const int number = field == "b" ? 1 : field == "s" ? 2 : 3;

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "n", ""));
    QVERIFY(rs.addBlankRecord());
    QCOMPARE(rs.read(number).integer, 0);
    QVERIFY(rs.write(field, written));
    QCOMPARE(rs.read(number).integer, expected);
    QVERIFY(rs.close("n"));

    QVERIFY(rs.open(path, "n", ""));
    QCOMPARE(rs.read(number).integer, expected);
    for (int other = 1; other <= 3; ++other) {
        if (other != number) {
            QCOMPARE(rs.read(other).integer, 0);
        }
    }
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::writeRefusals() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, {{"A", 7, "alpha"}}));

    RecordStore rs(dir.fatal.handler());
    QVERIFY2(!rs.write("Count", FieldValue::ofInteger(1)), "no table is current yet");

    QVERIFY(rs.open(path, "t", ""));
    QVERIFY(!rs.write("Count", FieldValue::ofText("12")));
    QCOMPARE(rs.read(kCount).integer, 7);
    QVERIFY(rs.close("t"));
    QVERIFY2(!rs.write("Count", FieldValue::ofInteger(1)), "the current table was closed");

    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.read(kCount).integer, 7);
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::fieldNamesMatchIgnoringCase_data() {
    QTest::addColumn<Text>("name");
    QTest::addColumn<int>("number");

    QTest::newRow("as created") << Text("Title") << 1;
    QTest::newRow("lower case") << Text("title") << 1;
    QTest::newRow("upper case") << Text("TITLE") << 1;
    QTest::newRow("mixed case") << Text("tItLe") << 1;
    QTest::newRow("two-byte name") << gbk("正文") << 2;
    QTest::newRow("trail byte like A") << Text("\x81\x41") << 3;
    QTest::newRow("trail byte like a") << Text("\x81\x61") << 4;
}

void TestRecordStore::fieldNamesMatchIgnoringCase() {
    QFETCH(Text, name);
    QFETCH(int, number);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(RecordStore::create(path, {{"Title", FieldKind::Text, 20},
                                       {gbk("正文"), FieldKind::Memo, 0},
                                       {"\x81\x41", FieldKind::Text, 20},
                                       {"\x81\x61", FieldKind::Text, 20}}));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QVERIFY(rs.addBlankRecord());
    QVERIFY(rs.write(name, FieldValue::ofText("hit")));
    for (int i = 1; i <= 4; ++i) {
        QCOMPARE(rs.read(i).text, i == number ? Text("hit") : Text());
    }
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::manyRecordsReadAfterWritesAndPurge() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    std::vector<Row> rows;
    for (int i = 0; i < 700; ++i) {
        rows.push_back({"r" + Text::number(i), i, "m" + Text::number(i)});
    }
    QVERIFY(makeStore(path, rows));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    const auto check = [&rs](const std::vector<Row>& expected) {
        QCOMPARE(rs.recordCount(), int(expected.size()));
        const int n = int(expected.size());
        // Forward, backward and in long strides, as listings and lookups walk.
        std::vector<int> order;
        for (int i = 0; i < n; ++i) {
            order.push_back(i);
        }
        for (int i = n - 1; i >= 0; --i) {
            order.push_back(i);
        }
        for (int i = 0; i < n; i += 97) {
            order.push_back(i);
            order.push_back(n - 1 - i);
        }
        for (int i : order) {
            QVERIFY(goTo(rs, i));
            QCOMPARE(rs.read(kTitle).text, expected[size_t(i)].title);
            QCOMPARE(rs.read(kCount).integer, expected[size_t(i)].count);
            QCOMPARE(rs.read(kBody).text, expected[size_t(i)].body);
        }
    };
    check(rows);
    if (QTest::currentTestFailed()) {
        return;
    }

    // A write shows at once, also right after reads of the record and its neighbours.
    for (int i : {0, 1, 255, 256, 300, 511, 699}) {
        QVERIFY(goTo(rs, std::max(0, i - 1)));
        QCOMPARE(rs.read(kTitle).text, rows[size_t(std::max(0, i - 1))].title);
        QVERIFY(goTo(rs, i));
        QCOMPARE(rs.read(kCount).integer, rows[size_t(i)].count);
        rows[size_t(i)] = {"w" + Text::number(i), -i, "n" + Text::number(i)};
        QVERIFY(writeRow(rs, rows[size_t(i)]));
        QCOMPARE(rs.read(kTitle).text, rows[size_t(i)].title);
        QCOMPARE(rs.read(kCount).integer, rows[size_t(i)].count);
        QCOMPARE(rs.read(kBody).text, rows[size_t(i)].body);
    }
    check(rows);
    if (QTest::currentTestFailed()) {
        return;
    }

    // Purging every third record shifts the rest down.
    for (int i = 0; i < int(rows.size()); i += 3) {
        QVERIFY(goTo(rs, i));
        QVERIFY(rs.deleteRecord());
    }
    std::vector<Row> kept;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i % 3 != 0) {
            kept.push_back(rows[i]);
        }
    }
    QVERIFY(rs.purge());
    check(kept);
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(rs.addBlankRecord());
    kept.push_back({{}, 0, {}});
    check(kept);
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(rs.close("t"));
    QVERIFY(rs.open(path, "t", ""));
    check(kept);
    QVERIFY(dir.fatal.calls.empty());
}

namespace {
enum class FatalCase { ReadNoTable, ReadAfterClose, ReadField0, ReadPastLastField, WriteUnknown };
} // namespace

void TestRecordStore::fatalErrors_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QByteArray>("message");

    const QByteArray noTable = "未指定当前数据库或者指定数据库未打开";
    const QByteArray noField = "指定字段不存在";
    QTest::newRow("read with no table") << int(FatalCase::ReadNoTable) << noTable;
    QTest::newRow("read after closing") << int(FatalCase::ReadAfterClose) << noTable;
    QTest::newRow("read field 0") << int(FatalCase::ReadField0) << noField;
    QTest::newRow("read past the last field") << int(FatalCase::ReadPastLastField) << noField;
    QTest::newRow("write unknown field") << int(FatalCase::WriteUnknown) << noField;
}

void TestRecordStore::fatalErrors() {
    QFETCH(int, which);
    QFETCH(QByteArray, message);
    const auto what = FatalCase(which);

    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, {{"A", 7, "alpha"}}));

    RecordStore rs(dir.fatal.handler());
    if (what != FatalCase::ReadNoTable) {
        QVERIFY(rs.open(path, "t", ""));
    }
    if (what == FatalCase::ReadAfterClose) {
        QVERIFY(rs.close("t"));
    }
    QVERIFY(dir.fatal.calls.empty());

    if (what == FatalCase::WriteUnknown) {
        QVERIFY(!rs.write("Titel", FieldValue::ofText("x")));
        QCOMPARE(rs.read(kTitle).text, Text("A"));
    } else {
        const int number = what == FatalCase::ReadField0          ? 0
                           : what == FatalCase::ReadPastLastField ? 4
                                                                  : kCount;
        const FieldValue value = rs.read(number);
        QCOMPARE(value.text, Text());
        QCOMPARE(value.integer, 0);
    }
    QCOMPARE(dir.fatal.calls.size(), size_t(1));
    QCOMPARE(dir.fatal.calls[0].first, 0);
    QCOMPARE(dir.fatal.calls[0].second, gbk(message.constData()));
}

void TestRecordStore::closeCommits() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, threeRows()));

    {
        RecordStore rs(dir.fatal.handler());
        QVERIFY(rs.open(path, "t", ""));
        QVERIFY(rs.write("Title", FieldValue::ofText("first")));
        QVERIFY(rs.addBlankRecord());
        QVERIFY(writeRow(rs, {gbk("新的"), 44, gbk("正文\r\n")}));
        QVERIFY(rs.close("t"));
    }
    QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("t.edb")});

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(titles(rs), (QByteArrayList{"first", "B", "C", gbk("新的")}));
    QCOMPARE(rs.read(kCount).integer, 44);
    QCOMPARE(rs.read(kBody).text, gbk("正文\r\n"));
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::closeUnknownAliasAndCurrent() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.path(QStringLiteral("t.edb"));
    QVERIFY(makeStore(path, threeRows()));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(path, "t", ""));
    QVERIFY(rs.skip());
    rs.close("other");
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.position(), 1);
    QCOMPARE(rs.read(kTitle).text, Text("B"));
    QVERIFY(dir.fatal.calls.empty());

    QVERIFY(rs.close("t"));
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.fields().empty());
    QVERIFY(!rs.addBlankRecord());
    QVERIFY(!rs.setCurrent("t"));
    QCOMPARE(rs.read(kTitle).text, Text());
    QCOMPARE(dir.fatal.calls.size(), size_t(1));
    QCOMPARE(dir.fatal.calls[0].second, gbk("未指定当前数据库或者指定数据库未打开"));

    // The alias is free again.
    QVERIFY(rs.open(path, "t", ""));
    QCOMPARE(rs.recordCount(), 3);
}

void TestRecordStore::setCurrentSwitchesTables() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString a = dir.path(QStringLiteral("a.edb"));
    const QString b = dir.path(QStringLiteral("b.edb"));
    QVERIFY(makeStore(a, threeRows()));
    QVERIFY(makeStore(b, {{"only", 9, "b"}}));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(a, "a", ""));
    QVERIFY(rs.open(b, "b", ""));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.read(kTitle).text, Text("only"));

    QVERIFY(rs.setCurrent("a"));
    QCOMPARE(rs.recordCount(), 3);
    QVERIFY(goTo(rs, 2));
    QCOMPARE(rs.read(kTitle).text, Text("C"));
    QVERIFY(rs.write("Count", FieldValue::ofInteger(30)));
    QVERIFY(!rs.setCurrent("nope"));
    QCOMPARE(rs.read(kTitle).text, Text("C"));

    QVERIFY(rs.setCurrent("b"));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.read(kCount).integer, 9);
    QVERIFY(rs.addBlankRecord());

    // Closing the table that is not current leaves the current one alone.
    QVERIFY(rs.close("a"));
    QCOMPARE(rs.recordCount(), 2);
    QVERIFY(!rs.setCurrent("a"));
    QVERIFY(rs.close("b"));

    QVERIFY(rs.open(a, "a", ""));
    QCOMPARE(titles(rs), (QByteArrayList{"A", "B", "C"}));
    QCOMPARE(rs.read(kCount).integer, 30);
    QVERIFY(rs.open(b, "b", ""));
    QCOMPARE(rs.recordCount(), 2);
    QVERIFY(dir.fatal.calls.empty());
}

void TestRecordStore::destroyingSessionCommitsAndReleases() {
    TempDir dir;
    QVERIFY(dir.isValid());
    const QString a = dir.path(QStringLiteral("a.edb"));
    const QString b = dir.path(QStringLiteral("b.edb"));
    QVERIFY(makeStore(a, threeRows()));
    QVERIFY(makeStore(b));

    {
        RecordStore rs(dir.fatal.handler());
        QVERIFY(rs.open(a, "a", ""));
        QVERIFY(rs.deleteRecord());
        QVERIFY(rs.purge());
        QVERIFY(rs.open(b, "b", ""));
        QVERIFY(rs.addBlankRecord());
        QVERIFY(writeRow(rs, {"kept", 5, "kept too"}));
    }
    QCOMPARE(filesIn(dir.path()), (QStringList{QStringLiteral("a.edb"), QStringLiteral("b.edb")}));

    RecordStore rs(dir.fatal.handler());
    QVERIFY(rs.open(a, "a", ""));
    QCOMPARE(titles(rs), (QByteArrayList{"B", "C"}));
    QVERIFY(rs.open(b, "b", ""));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.read(kTitle).text, Text("kept"));
    QCOMPARE(rs.read(kCount).integer, 5);
    QCOMPARE(rs.read(kBody).text, Text("kept too"));
    QVERIFY(dir.fatal.calls.empty());
}

QTEST_GUILESS_MAIN(TestRecordStore)
#include "tst_record_store.moc"
