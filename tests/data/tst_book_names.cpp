#include "book_names.h"

#include <QtTest>

using namespace wendlow;

Q_DECLARE_METATYPE(wendlow::Text)

class TestBookNames : public QObject {
    Q_OBJECT

  private slots:
    void safety_data();
    void safety();
    void folderNameIsTheBookNameInUnicode();
};

void TestBookNames::safety_data() {
    QTest::addColumn<Text>("name");
    QTest::addColumn<bool>("safe");

    QTest::newRow("chinese") << gbk("开心假期") << true;
    QTest::newRow("short chinese") << gbk("寒假") << true;
    QTest::newRow("ascii") << Text("abc") << true;
    QTest::newRow("inner blank") << Text("a b") << true;
    QTest::newRow("inner dot") << Text("a.b") << true;

    QTest::newRow("empty") << Text() << false;
    QTest::newRow("dot") << Text(".") << false;
    QTest::newRow("dot dot") << Text("..") << false;
    QTest::newRow("climbs out") << Text("../x") << false;
    QTest::newRow("slash") << Text("a/b") << false;
    QTest::newRow("backslash") << Text("a\\b") << false;
    QTest::newRow("colon") << Text("a:b") << false;
    QTest::newRow("star") << Text("a*b") << false;
    QTest::newRow("question") << Text("a?b") << false;
    QTest::newRow("quote") << Text("a\"b") << false;
    QTest::newRow("less") << Text("a<b") << false;
    QTest::newRow("greater") << Text("a>b") << false;
    QTest::newRow("pipe") << Text("a|b") << false;
    QTest::newRow("tab") << Text("a\tb") << false;
    QTest::newRow("newline") << Text("a\nb") << false;
    QTest::newRow("leading blank") << Text(" lead") << false;
    QTest::newRow("trailing blank") << Text("trail ") << false;
    QTest::newRow("trailing dot") << Text("trail.") << false;
    QTest::newRow("leading dot") << Text(".hidden") << false;
    QTest::newRow("CON") << Text("CON") << false;
    QTest::newRow("con") << Text("con") << false;
    QTest::newRow("device with extension") << Text("nul.txt") << false;
    QTest::newRow("COM1") << Text("COM1") << false;
    QTest::newRow("LPT9") << Text("LPT9") << false;
    QTest::newRow("settings folder") << Text("DATEINI") << false;
    QTest::newRow("settings folder lower case") << Text("dateini") << false;
    QTest::newRow("full-width space first") << gbk("\u3000假期") << false;
    QTest::newRow("full-width space last") << gbk("假期\u3000") << false;
    QTest::newRow("cut in a character") << gbk("开心假期").left(3) << false;
}

void TestBookNames::safety() {
    QFETCH(Text, name);
    QFETCH(bool, safe);
    QCOMPARE(isSafeBookName(name), safe);
}

void TestBookNames::folderNameIsTheBookNameInUnicode() {
    QCOMPARE(bookFolderName(gbk("开心假期")), QStringLiteral("开心假期"));
}

QTEST_GUILESS_MAIN(TestBookNames)
#include "tst_book_names.moc"
