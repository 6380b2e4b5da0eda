#include "diary_store.h"

#include "clock.h"
#include "program_dir.h"
#include "record_store.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QtTest>

using namespace wendlow;
using namespace wendlow::test;

Q_DECLARE_METATYPE(wendlow::Text)

namespace {

const Text kEntryPassword = gbk("山前溪水长流846ZouLuo");

DiaryEntry entry(const char* title, const char* content = "") {
    return {gbk(title), gbk("2008年1月25日"), gbk("开心"), gbk("晴"), gbk(content)};
}

} // namespace

class TestDiaryStore : public QObject {
    Q_OBJECT

  private slots:
    void roundTripKeepsAllFiveFields();
    void textFieldsAreCutTo20Bytes_data();
    void textFieldsAreCutTo20Bytes();
    void longContentWithLineBreaksIsKeptWhole();
    void entriesAreListedInFileOrder();
    void deleteFirstMovesLaterEntriesDown();
    void deleteOutsideTheFileDeletesNothing_data();
    void deleteOutsideTheFileDeletesNothing();
    void readPastTheEndGivesEmptyTexts();
    void removedBookFolderReadsEmptyAndTakesNothing();
    void createBookFilesKeepsExistingEntries();
    void createBookFilesMakesFolderAndFile();
    void unsafeNameIsNeverAPath_data();
    void unsafeNameIsNeverAPath();
    void foreignFileWithNumericTitleIsFatal();
};

void TestDiaryStore::roundTripKeepsAllFiveFields() {
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("开心假期");
    QVERIFY(store.createBookFiles(book));

    const DiaryEntry e{gbk("第一天"), gbk("2008年1月25日9时5分"), gbk("高兴"), gbk("多云"),
                       gbk("今天去了公园。\r\n玩得很开心！")};
    QVERIFY(store.appendEntry(book, e));
    QCOMPARE(store.countEntries(book), 1);
    QCOMPARE(store.readEntry(book, 0), std::optional<DiaryEntry>(e));
    QVERIFY(dir.fatal.calls.empty());
}

void TestDiaryStore::textFieldsAreCutTo20Bytes_data() {
    QTest::addColumn<Text>("title");
    QTest::addColumn<Text>("date");
    QTest::addColumn<Text>("storedTitle");
    QTest::addColumn<Text>("storedDate");

    const Text title25 = gbk("一二三四五六七八九十一二") + "x"; // 24 + 1 bytes
    const Text shortTitle = gbk("寒假");

    // 9:05:03 on 25 January 2008 is 22 bytes; its first 20 end with the digit of the seconds.
    const Text withSeconds = formatDateTime(QDateTime(QDate(2008, 1, 25), QTime(9, 5, 3)));
    // 1:01:01 on 1 January 2008 is 21 bytes; the cut keeps only the lead byte of "秒".
    const Text oneByteTooLong = formatDateTime(QDateTime(QDate(2008, 1, 1), QTime(1, 1, 1)));
    const Text dateOnly = formatDateTime(QDateTime(QDate(2008, 1, 25), QTime(0, 0)));

    QCOMPARE(withSeconds.size(), 22);
    QCOMPARE(oneByteTooLong.size(), 21);

    QTest::newRow("title of 25 bytes")
        << title25 << dateOnly << gbk("一二三四五六七八九十") << dateOnly;
    QTest::newRow("date with seconds, 22 bytes")
        << shortTitle << withSeconds << shortTitle << gbk("2008年1月25日9时5分3");
    QTest::newRow("date of 21 bytes") << shortTitle << oneByteTooLong << shortTitle
                                      << gbk("2008年1月1日1时1分1") + gbk("秒").left(1);
    QTest::newRow("date only") << shortTitle << dateOnly << shortTitle << gbk("2008年1月25日");
}

void TestDiaryStore::textFieldsAreCutTo20Bytes() {
    QFETCH(Text, title);
    QFETCH(Text, date);
    QFETCH(Text, storedTitle);
    QFETCH(Text, storedDate);

    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("寒假");
    QVERIFY(store.createBookFiles(book));
    QVERIFY(store.appendEntry(book, {title, date, gbk("心情很好，非常非常好呀"), gbk("晴"), {}}));

    const auto read = store.readEntry(book, 0);
    QVERIFY(read);
    QCOMPARE(read->title, storedTitle);
    QCOMPARE(read->date, storedDate);
    QCOMPARE(read->mood, gbk("心情很好，非常非常好"));
    QCOMPARE(store.listEntryTitles(book), std::vector<Text>{storedTitle});
}

void TestDiaryStore::longContentWithLineBreaksIsKeptWhole() {
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("寒假");
    QVERIFY(store.createBookFiles(book));

    Text content;
    for (int i = 0; content.size() < 6000; ++i) {
        content += gbk("第") + Text::number(i) + gbk("行：今天天气很好，我们去放风筝。\r\n");
    }
    content += "\r\n\r\n"; // blank lines at the end stay too
    QVERIFY(store.appendEntry(book, {gbk("长"), {}, {}, {}, content}));
    const auto read = store.readEntry(book, 0);
    QVERIFY(read);
    QCOMPARE(read->content.size(), content.size());
    QCOMPARE(read->content, content);
}

void TestDiaryStore::entriesAreListedInFileOrder() {
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("寒假");
    QVERIFY(store.createBookFiles(book));
    QCOMPARE(store.countEntries(book), 0);
    QVERIFY(store.listEntryTitles(book).empty());

    for (const char* t : {"丙", "甲", "乙", "甲"}) {
        QVERIFY(store.appendEntry(book, entry(t, t)));
    }
    QCOMPARE(store.countEntries(book), 4);
    const std::vector<Text> expected{gbk("丙"), gbk("甲"), gbk("乙"), gbk("甲")};
    QCOMPARE(store.listEntryTitles(book), expected);
    QCOMPARE(store.readEntry(book, 2)->content, gbk("乙"));
}

void TestDiaryStore::deleteFirstMovesLaterEntriesDown() {
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("寒假");
    QVERIFY(store.createBookFiles(book));
    const DiaryEntry first = entry("一", "第一篇"), second = entry("二", "第二篇"),
                     third = entry("三", "第三篇");
    for (const DiaryEntry& e : {first, second, third}) {
        QVERIFY(store.appendEntry(book, e));
    }

    store.deleteEntry(book, 0);
    QCOMPARE(store.countEntries(book), 2);
    QCOMPARE(store.readEntry(book, 0), std::optional<DiaryEntry>(second));
    QCOMPARE(store.readEntry(book, 1), std::optional<DiaryEntry>(third));

    // The compacted file goes on taking entries at its end.
    QVERIFY(store.appendEntry(book, first));
    const std::vector<Text> titles{gbk("二"), gbk("三"), gbk("一")};
    QCOMPARE(store.listEntryTitles(book), titles);
}

void TestDiaryStore::deleteOutsideTheFileDeletesNothing_data() {
    QTest::addColumn<int>("position");
    QTest::newRow("at the end") << 3;
    QTest::newRow("beyond the end") << 10;
    QTest::newRow("before the first") << -1;
}

void TestDiaryStore::deleteOutsideTheFileDeletesNothing() {
    QFETCH(int, position);
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("寒假");
    QVERIFY(store.createBookFiles(book));
    for (const char* t : {"一", "二", "三"}) {
        QVERIFY(store.appendEntry(book, entry(t)));
    }

    store.deleteEntry(book, position);
    const std::vector<Text> titles{gbk("一"), gbk("二"), gbk("三")};
    QCOMPARE(store.listEntryTitles(book), titles);
}

void TestDiaryStore::readPastTheEndGivesEmptyTexts() {
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("寒假");
    QVERIFY(store.createBookFiles(book));
    QCOMPARE(store.readEntry(book, 0), std::optional<DiaryEntry>(DiaryEntry{}));

    QVERIFY(store.appendEntry(book, entry("一", "内容")));
    QVERIFY(store.appendEntry(book, entry("二", "内容")));
    for (int position : {2, 3, 100}) {
        const auto read = store.readEntry(book, position);
        QVERIFY(read);
        QVERIFY2(read->isEmpty(), qPrintable(QString::number(position)));
    }
    QVERIFY(dir.fatal.calls.empty());
}

void TestDiaryStore::removedBookFolderReadsEmptyAndTakesNothing() {
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("开心假期");
    QVERIFY(store.createBookFiles(book));
    QVERIFY(store.appendEntry(book, entry("一")));
    QVERIFY(QDir(dir.path(QStringLiteral("开心假期"))).removeRecursively());

    QCOMPARE(store.countEntries(book), 0);
    QVERIFY(store.listEntryTitles(book).empty());
    QVERIFY(!store.readEntry(book, 0));
    QVERIFY(!store.appendEntry(book, entry("二")));
    store.deleteEntry(book, 0);
    QCOMPARE(treeOf(dir.path()), QStringList());
    QVERIFY(dir.fatal.calls.empty());
}

void TestDiaryStore::createBookFilesKeepsExistingEntries() {
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("开心假期");
    QVERIFY(store.createBookFiles(book));
    const DiaryEntry a = entry("一", "第一篇"), b = entry("二", "第二篇");
    QVERIFY(store.appendEntry(book, a));
    QVERIFY(store.appendEntry(book, b));

    // A second book of the same name, or the registry made anew, must not empty the book.
    QVERIFY(store.createBookFiles(book));
    QCOMPARE(store.countEntries(book), 2);
    QCOMPARE(store.readEntry(book, 0), std::optional<DiaryEntry>(a));
    QCOMPARE(store.readEntry(book, 1), std::optional<DiaryEntry>(b));
}

void TestDiaryStore::createBookFilesMakesFolderAndFile() {
    ProgramDir dir;
    DiaryStore store(dir.context());
    const Text book = gbk("寒假 日记");
    const QString file = dir.path(QStringLiteral("寒假 日记/Diary.edb"));
    QCOMPARE(store.entryFilePath(book), file);

    QVERIFY(store.createBookFiles(book));
    QVERIFY(QFileInfo(file).isFile());

    // The new file carries the entry files' password, and only that one opens it.
    {
        RecordStore records(dir.fatal.handler());
        QVERIFY(!records.open(file, "Diary", Text()));
        QVERIFY(records.open(file, "Diary", kEntryPassword));
        QCOMPARE(records.recordCount(), 0);
        const auto fields = records.fields();
        QCOMPARE(fields.size(), size_t(5));
        const Text names[] = {gbk("标题"), gbk("日期"), gbk("心情"), gbk("天气"), gbk("内容")};
        for (size_t i = 0; i < 5; ++i) {
            QCOMPARE(fields[i].name, names[i]);
            QCOMPARE(fields[i].kind, i == 4 ? FieldKind::Memo : FieldKind::Text);
        }
        records.close("Diary");
    }
    QVERIFY(store.appendEntry(book, entry("一")));
    QCOMPARE(store.countEntries(book), 1);
}

void TestDiaryStore::unsafeNameIsNeverAPath_data() {
    QTest::addColumn<Text>("name");
    QTest::newRow("climbs out") << Text("../x");
    QTest::newRow("subfolder") << Text("a/b");
    QTest::newRow("empty") << Text();
    QTest::newRow("settings folder") << Text("DATEINI");
}

void TestDiaryStore::unsafeNameIsNeverAPath() {
    QFETCH(Text, name);
    // The program directory sits inside a folder of its own, so that anything escaping it shows.
    QTemporaryDir outer;
    QVERIFY(outer.isValid());
    const QString programDir = outer.path() + QStringLiteral("/program");
    QVERIFY(QDir().mkpath(programDir));
    FatalRecorder fatal;
    FixedClock clock;
    DiaryStore store(DataContext{programDir, fatal.handler(), &clock});

    QCOMPARE(store.entryFilePath(name), QString());
    QVERIFY(!store.createBookFiles(name));
    QVERIFY(!store.appendEntry(name, entry("一")));
    QCOMPARE(store.countEntries(name), 0);
    QVERIFY(store.listEntryTitles(name).empty());
    QVERIFY(!store.readEntry(name, 0));
    QVERIFY(!store.deleteEntry(name, 0));
    QCOMPARE(treeOf(outer.path()), QStringList{QStringLiteral("program")});
}

void TestDiaryStore::foreignFileWithNumericTitleIsFatal() {
    ProgramDir dir;
    const Text book = gbk("寒假");
    const QString file = dir.path(QStringLiteral("寒假/Diary.edb"));
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    const std::vector<FieldSpec> layout = {
        {gbk("标题"), FieldKind::Integer, 20}, {gbk("日期"), FieldKind::Text, 20},
        {gbk("心情"), FieldKind::Text, 20},    {gbk("天气"), FieldKind::Text, 20},
        {gbk("内容"), FieldKind::Memo, 20},
    };
    QVERIFY(RecordStore::create(file, layout));
    {
        RecordStore records(dir.fatal.handler());
        QVERIFY(records.open(file, "Diary", Text()));
        QVERIFY(records.setPassword(kEntryPassword));
        QVERIFY(records.addBlankRecord());
        QVERIFY(records.write(gbk("标题"), FieldValue::ofInteger(42)));
        QVERIFY(records.write(gbk("内容"), FieldValue::ofText(gbk("内容"))));
        QVERIFY(records.close("Diary"));
    }
    DiaryStore store(dir.context());
    using Calls = std::vector<std::pair<int, Text>>;
    const Calls mismatch{{5, gbk("数据或数组类型不匹配")}};

    store.listEntryTitles(book);
    QCOMPARE(dir.fatal.calls, mismatch);

    dir.fatal.calls.clear();
    store.readEntry(book, 0);
    QCOMPARE(dir.fatal.calls, mismatch);
}

QTEST_GUILESS_MAIN(TestDiaryStore)
#include "tst_diary_store.moc"
