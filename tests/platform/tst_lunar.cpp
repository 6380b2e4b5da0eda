#include "lunar.h"

#include <QProcess>
#include <QSet>
#include <QTest>

using namespace wendlow;

Q_DECLARE_METATYPE(LunarDay)
Q_DECLARE_METATYPE(std::optional<LunarDay>)

namespace {

QString describe(const std::optional<LunarDay>& day) {
    if (!day) {
        return QStringLiteral("none");
    }
    return QStringLiteral("%1 %2%3 %4")
        .arg(day->year)
        .arg(day->leapMonth ? QStringLiteral("leap ") : QString())
        .arg(day->month)
        .arg(day->day);
}

} // namespace

class TstLunar : public QObject {
    Q_OBJECT

  private slots:
    void matchesOracle_data();
    void matchesOracle();
    void knownDates_data();
    void knownDates();
    void cellText_data();
    void cellText();
    void dayNamesAreDistinct();
};

void TstLunar::matchesOracle_data() {
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");

    QTest::newRow("1950-2050") << QDate(1950, 1, 1) << QDate(2050, 12, 31);
    // The rest of what both cover; the later part holds the months corrected in our code.
    QTest::newRow("1900-1949") << QDate(1900, 2, 1) << QDate(1949, 12, 31);
    QTest::newRow("2051-2099") << QDate(2051, 1, 1) << QDate(2099, 12, 31);
}

// Every day against python3-lunardate, an independent table of the same calendar.
void TstLunar::matchesOracle() {
    QFETCH(QDate, first);
    QFETCH(QDate, last);

    const QString script = QFINDTESTDATA("lunar_oracle.py");
    QVERIFY2(!script.isEmpty(), "lunar_oracle.py not found");
    QProcess oracle;
    oracle.start(QStringLiteral("/usr/bin/python3"),
                 {script, first.toString(Qt::ISODate), last.toString(Qt::ISODate)});
    QVERIFY2(oracle.waitForFinished(300000), "the oracle did not finish");
    QVERIFY2(oracle.exitStatus() == QProcess::NormalExit && oracle.exitCode() == 0,
             oracle.readAllStandardError().constData());

    const QList<QByteArray> lines = oracle.readAllStandardOutput().split('\n');
    qint64 compared = 0;
    int mismatches = 0;
    QStringList firstMismatches;
    QDate expectedDate = first;
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) {
            continue;
        }
        const QList<QByteArray> fields = line.split(' ');
        QCOMPARE(fields.size(), 5);
        const QDate date = QDate::fromString(QString::fromLatin1(fields[0]), Qt::ISODate);
        QCOMPARE(date, expectedDate);
        expectedDate = expectedDate.addDays(1);
        const LunarDay expected{fields[1].toInt(), fields[2].toInt(), fields[3].toInt(),
                                fields[4] == "1"};
        const std::optional<LunarDay> actual = lunarDayOf(date);
        ++compared;
        if (actual != expected) {
            ++mismatches;
            if (firstMismatches.size() < 5) {
                firstMismatches << QStringLiteral("%1: expected %2, got %3")
                                       .arg(date.toString(Qt::ISODate), describe(expected),
                                            describe(actual));
            }
        }
    }
    QCOMPARE(compared, first.daysTo(last) + 1);
    QVERIFY2(mismatches == 0, qPrintable(QStringLiteral("%1 of %2 days differ; first: %3")
                                             .arg(mismatches)
                                             .arg(compared)
                                             .arg(firstMismatches.join(QStringLiteral("; ")))));
}

void TstLunar::knownDates_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<std::optional<LunarDay>>("expected");
    QTest::addColumn<QString>("text");

    using Day = std::optional<LunarDay>;
    QTest::newRow("Spring Festival 2027")
        << QDate(2027, 2, 6) << Day(LunarDay{2027, 1, 1, false}) << QStringLiteral("正月");
    QTest::newRow("eve of Spring Festival 2027")
        << QDate(2027, 2, 5) << Day(LunarDay{2026, 12, 29, false}) << QStringLiteral("廿九");
    QTest::newRow("last day before the leap month")
        << QDate(2023, 3, 21) << Day(LunarDay{2023, 2, 30, false}) << QStringLiteral("三十");
    QTest::newRow("leap second month 2023")
        << QDate(2023, 3, 22) << Day(LunarDay{2023, 2, 1, true}) << QStringLiteral("闰二月");
    QTest::newRow("after the leap month")
        << QDate(2023, 4, 20) << Day(LunarDay{2023, 3, 1, false}) << QStringLiteral("三月");
    QTest::newRow("leap fourth month 2020")
        << QDate(2020, 5, 23) << Day(LunarDay{2020, 4, 1, true}) << QStringLiteral("闰四月");
    QTest::newRow("leap eleventh month 2033")
        << QDate(2033, 12, 22) << Day(LunarDay{2033, 11, 1, true}) << QStringLiteral("闰冬月");
    QTest::newRow("lunar year 2033 ends in 2034")
        << QDate(2034, 1, 20) << Day(LunarDay{2033, 12, 1, false}) << QStringLiteral("腊月");

    // The months whose start our code corrects, and their neighbours.
    QTest::newRow("2057 eighth month has 29 days")
        << QDate(2057, 9, 27) << Day(LunarDay{2057, 8, 29, false}) << QStringLiteral("廿九");
    QTest::newRow("2057 ninth month starts")
        << QDate(2057, 9, 28) << Day(LunarDay{2057, 9, 1, false}) << QStringLiteral("九月");
    QTest::newRow("2057 ninth month ends")
        << QDate(2057, 10, 27) << Day(LunarDay{2057, 9, 30, false}) << QStringLiteral("三十");
    QTest::newRow("2057 tenth month starts")
        << QDate(2057, 10, 28) << Day(LunarDay{2057, 10, 1, false}) << QStringLiteral("十月");
    QTest::newRow("2060 fourth month starts")
        << QDate(2060, 4, 30) << Day(LunarDay{2060, 4, 1, false}) << QStringLiteral("四月");
    QTest::newRow("2060 fourth month ends")
        << QDate(2060, 5, 29) << Day(LunarDay{2060, 4, 30, false}) << QStringLiteral("三十");
    QTest::newRow("2060 fifth month starts")
        << QDate(2060, 5, 30) << Day(LunarDay{2060, 5, 1, false}) << QStringLiteral("五月");

    // The edges of the library's tables.
    QTest::newRow("first day covered")
        << QDate(1900, 2, 1) << Day(LunarDay{1900, 1, 2, false}) << QStringLiteral("初二");
    QTest::newRow("day before the first") << QDate(1900, 1, 31) << Day() << QString();
    QTest::newRow("long before") << QDate(1850, 6, 1) << Day() << QString();
    QTest::newRow("day after the last") << QDate(2101, 1, 29) << Day() << QString();
    QTest::newRow("long after") << QDate(2200, 1, 1) << Day() << QString();
    QTest::newRow("invalid date") << QDate() << Day() << QString();
}

void TstLunar::knownDates() {
    QFETCH(QDate, date);
    QFETCH(std::optional<LunarDay>, expected);
    QFETCH(QString, text);

    const std::optional<LunarDay> actual = lunarDayOf(date);
    QCOMPARE(describe(actual), describe(expected));
    if (actual) {
        QCOMPARE(lunarCellText(*actual), text);
    }
}

void TstLunar::cellText_data() {
    QTest::addColumn<LunarDay>("day");
    QTest::addColumn<QString>("text");

    // The first of a month shows the month's name instead of 初一.
    QTest::newRow("first month") << LunarDay{2024, 1, 1, false} << QStringLiteral("正月");
    QTest::newRow("tenth month") << LunarDay{2024, 10, 1, false} << QStringLiteral("十月");
    QTest::newRow("eleventh month") << LunarDay{2024, 11, 1, false} << QStringLiteral("冬月");
    QTest::newRow("twelfth month") << LunarDay{2024, 12, 1, false} << QStringLiteral("腊月");
    QTest::newRow("leap month") << LunarDay{2023, 2, 1, true} << QStringLiteral("闰二月");
    QTest::newRow("leap twelfth month") << LunarDay{2023, 12, 1, true} << QStringLiteral("闰腊月");
    // Other days carry no month, leap or not.
    QTest::newRow("second") << LunarDay{2024, 1, 2, false} << QStringLiteral("初二");
    QTest::newRow("tenth") << LunarDay{2024, 1, 10, false} << QStringLiteral("初十");
    QTest::newRow("eleventh") << LunarDay{2024, 1, 11, false} << QStringLiteral("十一");
    QTest::newRow("fifteenth in a leap month")
        << LunarDay{2023, 2, 15, true} << QStringLiteral("十五");
    QTest::newRow("nineteenth") << LunarDay{2024, 1, 19, false} << QStringLiteral("十九");
    QTest::newRow("twentieth") << LunarDay{2024, 1, 20, false} << QStringLiteral("二十");
    QTest::newRow("twenty-first") << LunarDay{2024, 1, 21, false} << QStringLiteral("廿一");
    QTest::newRow("twenty-ninth") << LunarDay{2024, 1, 29, false} << QStringLiteral("廿九");
    QTest::newRow("thirtieth") << LunarDay{2024, 1, 30, false} << QStringLiteral("三十");
    // Nothing for what no calendar has.
    QTest::newRow("month 13") << LunarDay{2024, 13, 1, false} << QString();
    QTest::newRow("day 31") << LunarDay{2024, 1, 31, false} << QString();
    QTest::newRow("day 0") << LunarDay{2024, 1, 0, false} << QString();
}

void TstLunar::cellText() {
    QFETCH(LunarDay, day);
    QFETCH(QString, text);

    QCOMPARE(lunarCellText(day), text);
}

// Days 2..30 each get their own two-character name, and 初一 is never shown.
void TstLunar::dayNamesAreDistinct() {
    QSet<QString> names;
    for (int day = 2; day <= 30; ++day) {
        const QString name = lunarCellText(LunarDay{2024, 5, day, false});
        QCOMPARE(name.size(), 2);
        QVERIFY2(name != QStringLiteral("初一"), qPrintable(QString::number(day)));
        names.insert(name);
    }
    QCOMPARE(names.size(), 29);
    QVERIFY(!names.contains(lunarCellText(LunarDay{2024, 5, 1, false})));
}

QTEST_GUILESS_MAIN(TstLunar)
#include "tst_lunar.moc"
