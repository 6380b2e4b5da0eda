#include "clock.h"

#include <QTest>

using namespace wendlow;

class TstClock : public QObject {
    Q_OBJECT

  private slots:
    void formatDateTime_data();
    void formatDateTime();
    void byteLength_data();
    void byteLength();
};

void TstClock::formatDateTime_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QByteArray>("text");

    // The time goes as far as its last part that is not zero.
    QTest::newRow("hour and minute")
        << QDateTime(QDate(2010, 2, 14), QTime(9, 5)) << gbk("2010年2月14日9时5分");
    QTest::newRow("with seconds") << QDateTime(QDate(2008, 1, 25), QTime(9, 5, 3))
                                  << gbk("2008年1月25日9时5分3秒");
    QTest::newRow("seconds with zero minute")
        << QDateTime(QDate(2008, 1, 25), QTime(9, 0, 3)) << gbk("2008年1月25日9时0分3秒");
    QTest::newRow("seconds at midnight hour")
        << QDateTime(QDate(2008, 1, 25), QTime(0, 0, 1)) << gbk("2008年1月25日0时0分1秒");
    QTest::newRow("minute at midnight hour")
        << QDateTime(QDate(2008, 1, 25), QTime(0, 30)) << gbk("2008年1月25日0时30分");
    QTest::newRow("hour only") << QDateTime(QDate(2008, 12, 31), QTime(23, 0))
                               << gbk("2008年12月31日23时");
    QTest::newRow("milliseconds are not shown")
        << QDateTime(QDate(2008, 7, 1), QTime(8, 0, 0, 500)) << gbk("2008年7月1日8时");
    QTest::newRow("date only at midnight")
        << QDateTime(QDate(2010, 2, 14), QTime(0, 0)) << gbk("2010年2月14日");

    // Years are written without padding.
    QTest::newRow("short year") << QDateTime(QDate(100, 1, 1), QTime(12, 0))
                                << gbk("100年1月1日12时");
    QTest::newRow("last day") << QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59))
                              << gbk("9999年12月31日23时59分59秒");

    // Out of range: clamped to the first or last day, at midnight.
    QTest::newRow("day before the first")
        << QDateTime(QDate(99, 12, 31), QTime(10, 20, 30)) << gbk("100年1月1日");
    QTest::newRow("year 1") << QDateTime(QDate(1, 6, 15), QTime(8, 0)) << gbk("100年1月1日");
    QTest::newRow("before year 1")
        << QDateTime(QDate(-44, 3, 15), QTime(12, 0)) << gbk("100年1月1日");
    QTest::newRow("day after the last")
        << QDateTime(QDate(10000, 1, 1), QTime(10, 20, 30)) << gbk("9999年12月31日");
    QTest::newRow("far future") << QDateTime(QDate(123456, 7, 8), QTime(1, 2))
                                << gbk("9999年12月31日");
    QTest::newRow("invalid") << QDateTime() << gbk("100年1月1日");
}

void TstClock::formatDateTime() {
    QFETCH(QDateTime, when);
    QFETCH(QByteArray, text);
    QCOMPARE(wendlow::formatDateTime(when), text);
}

void TstClock::byteLength_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<qsizetype>("bytes");
    // Every two-byte unit character counts 2.
    QTest::newRow("shortest four-digit")
        << QDateTime(QDate(2008, 1, 1), QTime(0, 0)) << qsizetype(12);
    QTest::newRow("all ones") << QDateTime(QDate(2008, 1, 1), QTime(1, 1, 1)) << qsizetype(21);
    QTest::newRow("mixed widths") << QDateTime(QDate(2008, 1, 25), QTime(9, 5, 3)) << qsizetype(22);
    QTest::newRow("longest four-digit")
        << QDateTime(QDate(2008, 12, 31), QTime(23, 59, 59)) << qsizetype(26);
}

void TstClock::byteLength() {
    QFETCH(QDateTime, when);
    QFETCH(qsizetype, bytes);
    QCOMPARE(wendlow::formatDateTime(when).size(), bytes);
}

QTEST_GUILESS_MAIN(TstClock)
#include "tst_clock.moc"
