#include "greetings.h"
#include "gui_support.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace wendlow;
using namespace wendlow::test;

Q_DECLARE_METATYPE(wendlow::Text)

namespace {

const char* const kTail = "。今天我们又将记录你的心情！想查看以前的日记双击左边的日记就可以了！";

ProgramState stateOf(const char* owner, const char* book, const char* count) {
    ProgramState state;
    state.ownerName = gbk(owner);
    state.bookName = gbk(book);
    state.entryCountText = gbk(count);
    state.greetingTail = gbk(kTail);
    return state;
}

QLabel* mainLabel(ProgramFixture& fx) {
    return fx.main().findChild<QLabel*>(QStringLiteral("标签_开始信息"));
}

QLabel* pastLabel(ProgramFixture& fx) {
    return fx.app().pastEntriesWindow()->findChild<QLabel*>(QStringLiteral("标签1"));
}

} // namespace

class TestGreetings : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void greetingWordByHour_data();
    void greetingWordByHour();
    void greetingTexts_data();
    void greetingTexts();
    void pastEntriesTextBytes();
    void windowsGreetAtStart_data();
    void windowsGreetAtStart();
    void sixOClockKeepsTheDesignTextsUntilSeven();
};

void TestGreetings::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
}

void TestGreetings::greetingWordByHour_data() {
    QTest::addColumn<int>("hour");
    QTest::addColumn<QString>("word"); // empty: no greeting at all
    // Written out hour by hour, so that the overlapping rules are checked at every edge.
    const char* const words[24] = {
        "凌晨", "凌晨", "凌晨", "凌晨", "凌晨", "凌晨", "",     "上午",
        "上午", "上午", "上午", "上午", "中午", "下午", "下午", "下午",
        "下午", "下午", "下午", "傍晚", "晚上", "晚上", "晚上", "晚上",
    };
    for (int hour = 0; hour < 24; ++hour) {
        QTest::addRow("%02d h", hour) << hour << QString::fromUtf8(words[hour]);
    }
}

void TestGreetings::greetingWordByHour() {
    QFETCH(int, hour);
    QFETCH(QString, word);
    const std::optional<Text> actual = greetingWord(hour);
    if (word.isEmpty()) {
        QVERIFY(!actual);
        return;
    }
    QVERIFY(actual);
    QCOMPARE(*actual, fromUnicode(word + QStringLiteral("好啊，")));
}

void TestGreetings::greetingTexts_data() {
    QTest::addColumn<QString>("owner");
    QTest::addColumn<Text>("mainText");
    QTest::addColumn<Text>("pastText");
    QTest::newRow("owner 小小主人")
        << QStringLiteral("小小主人")
        << gbk("上午好啊，小小主人。今天我们又将记录你的心情！想查看以前的日记双击左边的日记就可以"
               "了！")
        << gbk("上午好啊，小小主人！你在<《开心假期》日记本中写了3篇日记啦！");
    QTest::newRow("empty owner")
        << QString()
        << gbk("上午好啊，。今天我们又将记录你的心情！想查看以前的日记双击左边的日记就可以了！")
        << gbk("上午好啊，！你在<《开心假期》日记本中写了3篇日记啦！");
}

void TestGreetings::greetingTexts() {
    QFETCH(QString, owner);
    QFETCH(Text, mainText);
    QFETCH(Text, pastText);
    const ProgramState state = stateOf(owner.toUtf8().constData(), "开心假期", "3");
    QCOMPARE(mainGreetingText(gbk("上午好啊，"), state), mainText);
    QCOMPARE(pastEntriesGreetingText(gbk("上午好啊，"), state), pastText);
}

void TestGreetings::pastEntriesTextBytes() {
    // The fragment before the book name is an ASCII "<" followed by the full-width title mark.
    const Text expected = QByteArray::fromHex("cfc2cee7bac3b0a1a3ac"         // 下午好啊，
                                              "d0a1d0a1d6f7c8cb"             // 小小主人
                                              "a3a1c4e3d4da3ca1b6"           // ！你在<《
                                              "bfaad0c4bcd9c6da"             // 开心假期
                                              "a1b7c8d5bcc7b1bed6d0d0b4c1cb" // 》日记本中写了
                                              "33"                           // 3
                                              "c6aac8d5bcc7c0b2a3a1");       // 篇日记啦！
    const std::optional<Text> word = greetingWord(15);
    QVERIFY(word);
    QCOMPARE(pastEntriesGreetingText(*word, stateOf("小小主人", "开心假期", "3")), expected);
}

void TestGreetings::windowsGreetAtStart_data() {
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("word");
    QTest::newRow("09:30") << QTime(9, 30) << QStringLiteral("上午好啊，");
    QTest::newRow("12:00") << QTime(12, 0) << QStringLiteral("中午好啊，");
    QTest::newRow("12:59") << QTime(12, 59, 59) << QStringLiteral("中午好啊，");
    QTest::newRow("13:00") << QTime(13, 0) << QStringLiteral("下午好啊，");
    QTest::newRow("19:15") << QTime(19, 15) << QStringLiteral("傍晚好啊，");
    QTest::newRow("20:00") << QTime(20, 0) << QStringLiteral("晚上好啊，");
    QTest::newRow("23:59") << QTime(23, 59) << QStringLiteral("晚上好啊，");
    QTest::newRow("00:00") << QTime(0, 0) << QStringLiteral("凌晨好啊，");
    QTest::newRow("05:59") << QTime(5, 59) << QStringLiteral("凌晨好啊，");
}

void TestGreetings::windowsGreetAtStart() {
    QFETCH(QTime, time);
    QFETCH(QString, word);
    ProgramFixture fx;
    fx.clock.set(QDateTime(QDate(2010, 7, 20), time));
    QVERIFY(fx.start());
    // Both lines are there before the first timer tick.
    QCOMPARE(mainLabel(fx)->text(), word + QStringLiteral("小小主人") + QString::fromUtf8(kTail));
    QCOMPARE(pastLabel(fx)->text(),
             word + QStringLiteral("小小主人！你在<《开心假期》日记本中写了0篇日记啦！"));
}

void TestGreetings::sixOClockKeepsTheDesignTextsUntilSeven() {
    ProgramFixture fx;
    fx.clock.set(QDateTime(QDate(2010, 7, 20), QTime(6, 30)));
    QVERIFY(fx.start());
    const QString designText = QStringLiteral("早上好啊，小小主人") + QString::fromUtf8(kTail);
    QCOMPARE(mainLabel(fx)->text(), designText);
    QCOMPARE(pastLabel(fx)->text(), QStringLiteral("标签"));

    // A tick of each timer at 6 o'clock writes nothing.
    auto* mainTimer = fx.main().findChild<QTimer*>(QStringLiteral("时钟1"));
    auto* pastTimer = fx.app().pastEntriesWindow()->findChild<QTimer*>(QStringLiteral("时钟1"));
    QVERIFY(mainTimer && pastTimer);
    QVERIFY(mainTimer->isActive() && pastTimer->isActive());
    QSignalSpy mainTicks(mainTimer, &QTimer::timeout);
    QSignalSpy pastTicks(pastTimer, &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(!mainTicks.isEmpty() && !pastTicks.isEmpty(), 10000);
    QCOMPARE(mainLabel(fx)->text(), designText);
    QCOMPARE(pastLabel(fx)->text(), QStringLiteral("标签"));

    fx.clock.set(QDateTime(QDate(2010, 7, 20), QTime(7, 0)));
    QTRY_COMPARE_WITH_TIMEOUT(mainLabel(fx)->text(),
                              QStringLiteral("上午好啊，小小主人") + QString::fromUtf8(kTail),
                              10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        pastLabel(fx)->text(),
        QStringLiteral("上午好啊，小小主人！你在<《开心假期》日记本中写了0篇日记啦！"), 10000);

    // The timers read the program state on every tick.
    fx.state().ownerName = gbk("小明");
    QTRY_COMPARE_WITH_TIMEOUT(mainLabel(fx)->text(),
                              QStringLiteral("上午好啊，小明") + QString::fromUtf8(kTail), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        pastLabel(fx)->text(),
        QStringLiteral("上午好啊，小明！你在<《开心假期》日记本中写了0篇日记啦！"), 10000);
}

QTEST_MAIN(TestGreetings)
#include "tst_greetings.moc"
