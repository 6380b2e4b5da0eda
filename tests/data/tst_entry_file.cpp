#include "entry_file.h"

#include "test_support.h"

#include <QtTest>

using namespace wendlow;
using namespace wendlow::test;

Q_DECLARE_METATYPE(wendlow::DiaryEntry)

namespace {

const Text kSeparator(36, '-');

DiaryEntry entryOf(const char* title, const char* date, const char* mood, const char* weather,
                   const Text& content) {
    return {gbk(title), gbk(date), gbk(mood), gbk(weather), content};
}

// The entry that the committed file entry_example.txt holds.
DiaryEntry exampleEntry() {
    return entryOf("我的一天", "2010年2月14日9时5分", "开心", "随人而异",
                   gbk("今天和爸爸去公园放风筝。") + "\r\n" + gbk("晚上把这件事写进了日记。"));
}

QByteArrayList toList(const std::vector<Text>& pieces) {
    return QByteArrayList(pieces.begin(), pieces.end());
}

} // namespace

class TestEntryFile : public QObject {
    Q_OBJECT

  private slots:
    void formatGivesTheFileByteForByte();
    void roundTrip_data();
    void roundTrip();
    void emptyTitleStartsTheFileWithALineBreak();
    void committedFiles_data();
    void committedFiles();
    void hyphenRunInContent_data();
    void hyphenRunInContent();
    void malformedFilesGiveNothing_data();
    void malformedFilesGiveNothing();
    void splitFindsSeparatorsOnlyAtCharacterBoundaries_data();
    void splitFindsSeparatorsOnlyAtCharacterBoundaries();
};

void TestEntryFile::formatGivesTheFileByteForByte() {
    const QByteArray expected = readFile(fixture(QStringLiteral("entry_example.txt")));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(formatEntryFile(exampleEntry()), expected);
}

void TestEntryFile::roundTrip_data() {
    QTest::addColumn<DiaryEntry>("entry");

    QTest::newRow("example") << exampleEntry();
    // The file carries every text whole: nothing is cut to the record store's 20 bytes.
    QTest::newRow("long texts") << DiaryEntry{
        gbk("一个比二十个字节长得多的标题"), gbk("2008年1月25日9时5分3秒"),
        gbk("有点开心又有点难过"), gbk("早上下雨中午放晴晚上刮风"), gbk("内容")};
    QTest::newRow("empty header texts") << DiaryEntry{{}, {}, {}, {}, gbk("只有内容")};
    QTest::newRow("35 hyphens in content") << entryOf(
        "标题", "日期", "心情", "天气", gbk("上") + "\r\n" + Text(35, '-') + "\r\n" + gbk("下"));
    // Hyphens right after the separator are content; the walk resumes after the separator.
    QTest::newRow("content starting with hyphens")
        << entryOf("标题", "日期", "心情", "天气", Text(20, '-') + gbk("破折号开头"));
    QTest::newRow("content of line breaks only")
        << entryOf("标题", "日期", "心情", "天气", Text("\r\n\r\n"));
    // 0x81 0x41 is one character whose trail byte is an ASCII letter.
    QTest::newRow("trail bytes in ASCII range")
        << entryOf("丄丄", "日期", "心情", "天气", gbk("丄A\r\n丄"));
    Text big;
    for (int i = 0; i < 2000; ++i) {
        big += gbk("第") + Text::number(i) + gbk("行，有字也有-符号。") + "\r\n";
    }
    QTest::newRow("large content") << entryOf("长文", "日期", "心情", "天气", big);
}

void TestEntryFile::roundTrip() {
    QFETCH(DiaryEntry, entry);
    const std::optional<DiaryEntry> parsed = parseEntryFile(formatEntryFile(entry));
    QVERIFY(parsed.has_value());
    QCOMPARE(parsed->title, entry.title);
    QCOMPARE(parsed->date, entry.date);
    QCOMPARE(parsed->mood, entry.mood);
    QCOMPARE(parsed->weather, entry.weather);
    QCOMPARE(parsed->content, entry.content);
}

void TestEntryFile::emptyTitleStartsTheFileWithALineBreak() {
    DiaryEntry entry = exampleEntry();
    entry.title.clear();
    const Text file = formatEntryFile(entry);
    QVERIFY(file.startsWith("\r\n" + entry.date + "\r\n"));
    const std::optional<DiaryEntry> parsed = parseEntryFile(file);
    QVERIFY(parsed.has_value());
    QCOMPARE(*parsed, entry);
}

void TestEntryFile::committedFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<DiaryEntry>("expected");

    QTest::newRow("example") << QStringLiteral("entry_example.txt") << exampleEntry();
    QTest::newRow("six header lines use lines 1 to 4")
        << QStringLiteral("entry_six_header_lines.txt")
        << entryOf("运动会", "2010年2月15日", "激动", "晴", gbk("我跑了第一名！"));
    QTest::newRow("40 hyphens end the content")
        << QStringLiteral("entry_hyphen_run.txt")
        << entryOf("画画", "2010年2月16日", "平静", "多云", gbk("上面是标题。") + "\r\n");
    QTest::newRow("zero byte ends the content")
        << QStringLiteral("entry_zero_byte.txt")
        << entryOf("读书", "2010年2月17日", "开心", "小雨", gbk("读完了一本书。"));
}

void TestEntryFile::committedFiles() {
    QFETCH(QString, file);
    QFETCH(DiaryEntry, expected);
    const QByteArray bytes = readFile(fixture(file));
    QVERIFY2(!bytes.isEmpty(), qPrintable(file));
    const std::optional<DiaryEntry> parsed = parseEntryFile(bytes);
    QVERIFY(parsed.has_value());
    QCOMPARE(parsed->title, expected.title);
    QCOMPARE(parsed->date, expected.date);
    QCOMPARE(parsed->mood, expected.mood);
    QCOMPARE(parsed->weather, expected.weather);
    QCOMPARE(parsed->content, expected.content);
}

void TestEntryFile::hyphenRunInContent_data() {
    QTest::addColumn<int>("hyphens");
    QTest::addColumn<bool>("cut");

    QTest::newRow("35: not a separator") << 35 << false;
    QTest::newRow("exactly 36") << 36 << true;
    QTest::newRow("37") << 37 << true;
    QTest::newRow("72: two separators") << 72 << true;
}

void TestEntryFile::hyphenRunInContent() {
    QFETCH(int, hyphens);
    QFETCH(bool, cut);
    const Text before = gbk("第一行写了字。") + "\r\n" + gbk("第二行") + "\r\n";
    const Text content = before + Text(hyphens, '-') + "\r\n" + gbk("最后一行。");
    const DiaryEntry entry = entryOf("标题", "日期", "心情", "天气", content);

    const std::optional<DiaryEntry> parsed = parseEntryFile(formatEntryFile(entry));
    QVERIFY(parsed.has_value());
    QCOMPARE(parsed->content, cut ? before : content);
    QCOMPARE(parsed->title, entry.title);
}

void TestEntryFile::malformedFilesGiveNothing_data() {
    QTest::addColumn<QByteArray>("bytes");

    const Text header =
        gbk("标题") + "\r\n" + gbk("日期") + "\r\n" + gbk("心情") + "\r\n" + gbk("天气") + "\r\n";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no separator") << header + gbk("内容");
    QTest::newRow("35 hyphens only") << header + Text(35, '-') + gbk("内容");
    QTest::newRow("three header lines") << gbk("标题") + "\r\n" + gbk("日期") + "\r\n" +
                                               gbk("心情") + "\r\n" + kSeparator + gbk("内容");
    QTest::newRow("nothing after the separator") << header + kSeparator;
    QTest::newRow("an entry with empty content")
        << formatEntryFile(entryOf("标题", "日期", "心情", "天气", {}));
    QTest::newRow("separator only") << kSeparator;
    QTest::newRow("zero byte before the separator")
        << header + QByteArray(1, '\0') + kSeparator + gbk("内容");
    // 0xB0 takes the first hyphen as its trail byte, so only 35 hyphens remain at a boundary.
    QTest::newRow("separator behind a lead byte") << header + "\xB0" + kSeparator + gbk("内容");
}

void TestEntryFile::malformedFilesGiveNothing() {
    QFETCH(QByteArray, bytes);
    QVERIFY(!parseEntryFile(bytes).has_value());
}

void TestEntryFile::splitFindsSeparatorsOnlyAtCharacterBoundaries_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<QByteArrayList>("pieces");

    QTest::newRow("empty text") << QByteArray() << QByteArray("AB") << QByteArrayList();
    QTest::newRow("no match") << QByteArray("xyz") << QByteArray("AB") << QByteArrayList{"xyz"};
    QTest::newRow("match first") << QByteArray("ABx") << QByteArray("AB")
                                 << QByteArrayList{"", "x"};
    QTest::newRow("adjacent matches")
        << QByteArray("xABAByAB") << QByteArray("AB") << QByteArrayList{"x", "", "y"};
    QTest::newRow("overlapping start")
        << QByteArray("AAB") << QByteArray("AB") << QByteArrayList{"A"};
    // 0x81 0x41 is one character whose trail byte is 'A': "AB" across it is no match.
    const QByteArray trailA("\x81\x41");
    QTest::newRow("trail byte A then B")
        << "x" + trailA + "ByABz" << QByteArray("AB") << QByteArrayList{"x" + trailA + "By", "z"};
    // A two-byte separator spanning the trail of one character and the lead of the next.
    const QByteArray ah("\xB0\xA1");
    QTest::newRow("two-byte separator across characters")
        << "\xB1" + ah + "\xB2" << ah << QByteArrayList{"\xB1" + ah + "\xB2"};
    QTest::newRow("two-byte separator at a boundary")
        << "a" + ah + "b" << ah << QByteArrayList{"a", "b"};
    QTest::newRow("line break after a CR trail byte")
        << QByteArray("\x81\r\n\r\nx") << QByteArray("\r\n") << QByteArrayList{"\x81\r\n", "x"};
    QTest::newRow("lead byte dangling at the end")
        << QByteArray("a\r\nb\x81") << QByteArray("\r\n") << QByteArrayList{"a", "b\x81"};
}

void TestEntryFile::splitFindsSeparatorsOnlyAtCharacterBoundaries() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, separator);
    QFETCH(QByteArrayList, pieces);
    QCOMPARE(toList(splitAtCharacters(text, separator)), pieces);
}

QTEST_GUILESS_MAIN(TestEntryFile)
#include "tst_entry_file.moc"
