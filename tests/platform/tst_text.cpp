#include "text.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace wendlow;

// Known GBK bytes, written out so that the conversions are checked against the code page itself
// rather than against each other.
namespace {
const QByteArray kXiaoMing("\xD0\xA1\xC3\xF7");                     // 小明
const QByteArray kHappyHoliday("\xBF\xAA\xD0\xC4\xBC\xD9\xC6\xDA"); // 开心假期
const QByteArray kGrinningFace("\x94\x39\xFC\x36");                 // 😀, four-byte form
const QByteArray kExtBChar("\x95\x32\x82\x36");                     // 𠀀, four-byte form
const QByteArray kTrailUpperA("\x81\x41");                          // 丄
const double kInf = std::numeric_limits<double>::infinity();
} // namespace

class TstText : public QObject {
    Q_OBJECT

  private slots:
    void conversionsMatchGbk_data();
    void conversionsMatchGbk();
    void cutCharacterShowsNothing_data();
    void cutCharacterShowsNothing();
    void characterOutsideGbkIsKept();
    void isWholeText_data();
    void isWholeText();
    void nextCharacter_data();
    void nextCharacter();
    void foldAsciiCase_data();
    void foldAsciiCase();
    void textToNumber_data();
    void textToNumber();
};

void TstText::conversionsMatchGbk_data() {
    QTest::addColumn<QString>("unicode");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ascii") << QStringLiteral("Infor 1.0") << QByteArray("Infor 1.0");
    QTest::newRow("chinese") << QStringLiteral("开心假期") << kHappyHoliday;
    QTest::newRow("mixed") << QStringLiteral("Hi小明!") << QByteArray("Hi" + kXiaoMing + "!");
    QTest::newRow("full-width digits") << QStringLiteral("３１") << QByteArray("\xA3\xB3\xA3\xB1");
    QTest::newRow("ascii-like trail bytes")
        << QStringLiteral("擺淺沒") << QByteArray("\x94\x5B\x9C\x5C\x9B\x5D");
}

void TstText::conversionsMatchGbk() {
    QFETCH(QString, unicode);
    QFETCH(QByteArray, bytes);
    QCOMPARE(fromUnicode(unicode), bytes);
    QCOMPARE(toUnicode(bytes), unicode);
    QCOMPARE(gbk(unicode.toUtf8().constData()), bytes);
}

void TstText::cutCharacterShowsNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("lead byte alone") << kXiaoMing.left(1) << QString();
    QTest::newRow("cut after one character") << kXiaoMing.left(3) << QStringLiteral("小");
    QTest::newRow("ascii then cut") << QByteArray("ab" + kXiaoMing.left(1)) << QStringLiteral("ab");
    QTest::newRow("four-byte form cut") << kGrinningFace.left(3) << QString();
}

void TstText::cutCharacterShowsNothing() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(toUnicode(bytes), shown);
}

void TstText::characterOutsideGbkIsKept() {
    const QString typed = QStringLiteral("小明😀");
    const Text stored = fromUnicode(typed);
    QCOMPARE(stored, QByteArray(kXiaoMing + kGrinningFace));
    QVERIFY(!stored.contains('?'));
    QCOMPARE(toUnicode(stored), typed);
}

void TstText::isWholeText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("whole");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ascii") << QByteArray("abc") << true;
    QTest::newRow("chinese") << kHappyHoliday << true;
    QTest::newRow("mixed") << QByteArray("1" + kXiaoMing + "x") << true;
    QTest::newRow("four-byte form") << QByteArray(kGrinningFace + kExtBChar) << true;
    QTest::newRow("dangling lead at end") << kXiaoMing.left(3) << false;
    QTest::newRow("lone lead byte") << QByteArray("\xD0") << false;
    QTest::newRow("half of a four-byte form") << kGrinningFace.left(2) << false;
    QTest::newRow("three of a four-byte form") << kGrinningFace.left(3) << false;
    QTest::newRow("invalid trail byte") << QByteArray("\xD0\x7F") << false;
    QTest::newRow("invalid pair") << QByteArray("\xFF\xFF") << false;
}

void TstText::isWholeText() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, whole);
    QCOMPARE(wendlow::isWholeText(bytes), whole);
}

void TstText::nextCharacter_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qsizetype>("pos");
    QTest::addColumn<qsizetype>("next");
    const QByteArray mixed("a" + kXiaoMing + "b");
    QTest::newRow("ascii") << mixed << qsizetype(0) << qsizetype(1);
    QTest::newRow("two-byte") << mixed << qsizetype(1) << qsizetype(3);
    QTest::newRow("second two-byte") << mixed << qsizetype(3) << qsizetype(5);
    QTest::newRow("ascii after two-byte") << mixed << qsizetype(5) << qsizetype(6);
    QTest::newRow("trail byte like a letter") << kTrailUpperA << qsizetype(0) << qsizetype(2);
}

void TstText::nextCharacter() {
    QFETCH(QByteArray, bytes);
    QFETCH(qsizetype, pos);
    QFETCH(qsizetype, next);
    QCOMPARE(wendlow::nextCharacter(bytes, pos), next);
}

void TstText::foldAsciiCase_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("folded");
    QTest::newRow("ascii") << QByteArray("XuanZhong 1.0") << QByteArray("xuanzhong 1.0");
    QTest::newRow("trail byte A kept") << kTrailUpperA << kTrailUpperA;
    QTest::newRow("trail byte kept, letters around folded")
        << QByteArray("Z" + kTrailUpperA + "A") << QByteArray("z" + kTrailUpperA + "a");
    QTest::newRow("chinese then letters")
        << QByteArray(kXiaoMing + "MING") << QByteArray(kXiaoMing + "ming");
    QTest::newRow("four-byte form then letter")
        << QByteArray(kGrinningFace + "Q") << QByteArray(kGrinningFace + "q");
    QTest::newRow("dangling lead at end") << QByteArray("AB\xD0") << QByteArray("ab\xD0");
}

void TstText::foldAsciiCase() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, folded);
    QCOMPARE(wendlow::foldAsciiCase(bytes), folded);
}

void TstText::textToNumber_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("number");

    // Plain ASCII numbers.
    QTest::newRow("integer") << QByteArray("31") << 31.0;
    QTest::newRow("decimal") << QByteArray("2.9") << 2.9;
    QTest::newRow("decimal 7.9") << QByteArray("7.9") << 7.9;
    QTest::newRow("negative decimal") << QByteArray("-0.5") << -0.5;
    QTest::newRow("plus sign") << QByteArray("+3") << 3.0;
    QTest::newRow("no integer part") << QByteArray(".5") << 0.5;
    QTest::newRow("no fraction digits") << QByteArray("1.") << 1.0;
    QTest::newRow("leading zeros") << QByteArray("007") << 7.0;

    // Exponents, complete or not.
    QTest::newRow("exponent") << QByteArray("1e3") << 1000.0;
    QTest::newRow("capital exponent") << QByteArray("1E3") << 1000.0;
    QTest::newRow("signed exponent") << QByteArray("1e+3") << 1000.0;
    QTest::newRow("negative exponent") << QByteArray("25e-2") << 0.25;
    QTest::newRow("decimal with exponent") << QByteArray(".5e1") << 5.0;
    QTest::newRow("bare e") << QByteArray("1e") << 1.0;
    QTest::newRow("e and sign only") << QByteArray("1e+") << 1.0;
    QTest::newRow("e then blank") << QByteArray("1e 3") << 1.0;
    QTest::newRow("huge") << QByteArray("1e999") << kInf;
    QTest::newRow("huge negative") << QByteArray("-1e999") << -kInf;
    QTest::newRow("tiny") << QByteArray("1e-999") << 0.0;

    // Leading blanks.
    QTest::newRow("spaces") << QByteArray("  42") << 42.0;
    QTest::newRow("tab and newline") << QByteArray("\t\n7") << 7.0;
    QTest::newRow("full-width space") << QByteArray("\xA1\xA1\xA1\xA1"
                                                    "42")
                                      << 42.0;

    // Stops at the first other character.
    QTest::newRow("then chinese") << QByteArray("3" + gbk("次")) << 3.0;
    QTest::newRow("second point") << QByteArray("1.0.1") << 1.0;
    QTest::newRow("line end") << QByteArray("1.1\r\n") << 1.1;
    QTest::newRow("blank inside") << QByteArray("12 34") << 12.0;
    QTest::newRow("hex is not read") << QByteArray("0x10") << 0.0;
    QTest::newRow("exponent with point") << QByteArray("1e3.5") << 1000.0;

    // Full-width forms count as their ASCII characters.
    QTest::newRow("full-width digits") << QByteArray("\xA3\xB3\xA3\xB1") << 31.0;
    QTest::newRow("full-width digits then chinese")
        << QByteArray("\xA3\xB3\xA3\xB1" + gbk("天")) << 31.0;
    QTest::newRow("full-width minus and point")
        << QByteArray("\xA3\xAD\xA3\xB0\xA3\xAE\xA3\xB5") << -0.5;
    QTest::newRow("ascii and full-width mixed") << QByteArray("1\xA3\xAE"
                                                              "5")
                                                << 1.5;
    QTest::newRow("full-width exponent") << QByteArray("2\xA3\xC5"
                                                       "2")
                                         << 200.0;
    QTest::newRow("full-width blank then full-width digits")
        << QByteArray("\xA1\xA1\xA3\xB7") << 7.0;

    // Not a number.
    QTest::newRow("letters") << QByteArray("abc") << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("sign only") << QByteArray("-") << 0.0;
    QTest::newRow("point only") << QByteArray(".") << 0.0;
    QTest::newRow("sign and point") << QByteArray("+.") << 0.0;
    QTest::newRow("sign then blank") << QByteArray("- 3") << 0.0;
    QTest::newRow("exponent only") << QByteArray("e5") << 0.0;
    QTest::newRow("inf is not a number") << QByteArray("inf") << 0.0;
    QTest::newRow("nan is not a number") << QByteArray("nan") << 0.0;
    QTest::newRow("chinese numeral") << gbk("三") << 0.0;

    // Bytes of other characters must never be taken for digits: the four-byte forms carry digit
    // bytes in their second and fourth place, and 0xA3 also starts four-byte forms.
    QTest::newRow("four-byte character") << kExtBChar << 0.0;
    QTest::newRow("digits then four-byte character") << QByteArray("7" + kExtBChar) << 7.0;
    QTest::newRow("four-byte form led by 0xA3") << QByteArray("\xA3\x35\x81\x30") << 0.0;
    QTest::newRow("dangling full-width lead") << QByteArray("\xA3") << 0.0;
    QTest::newRow("digit then dangling lead") << QByteArray("5\xA3") << 5.0;
}

void TstText::textToNumber() {
    QFETCH(QByteArray, text);
    QFETCH(double, number);
    const double got = wendlow::textToNumber(text);
    // Exact: the value must be the double nearest to the decimal text, as a correctly rounded
    // conversion gives it.
    if (got != number) {
        QFAIL(qPrintable(
            QStringLiteral("got %1, expected %2").arg(got, 0, 'g', 17).arg(number, 0, 'g', 17)));
    }
}

QTEST_GUILESS_MAIN(TstText)
#include "tst_text.moc"
