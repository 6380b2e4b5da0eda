#include "colour_picker.h"
#include "diary_store.h"
#include "gui_support.h"

#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace wendlow;
using namespace wendlow::test;

Q_DECLARE_METATYPE(wendlow::Text)

namespace {

const QDateTime kStart(QDate(2010, 2, 14), QTime(9, 5));
const Text kBook = gbk("开心假期");

// The program, started in its own directory, with the controls of the main window at hand.
struct Program {
    ProgramFixture fx;

    Program() {
        fx.clock.set(kStart);
        started = fx.start();
    }
    bool started = false;

    MainWindow& main() { return fx.main(); }
    QLineEdit* title() { return child<QLineEdit>("Text_标题"); }
    QLineEdit* date() { return child<QLineEdit>("Text_日期"); }
    QComboBox* mood() { return child<QComboBox>("组合Text_心情"); }
    QComboBox* weather() { return child<QComboBox>("组合Text_天气"); }
    QPlainTextEdit* content() { return child<QPlainTextEdit>("Text_内容"); }
    ColourPicker* picker(int n) {
        return n == 1 ? child<ColourPicker>("颜色选择器1") : child<ColourPicker>("颜色选择器2");
    }
    QToolButton* tool(const char* caption) { return child<QToolButton>(caption); }
    void press(const char* caption) {
        QToolButton* button = tool(caption);
        QVERIFY2(button, caption);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    PastEntriesWindow* past() { return fx.app().pastEntriesWindow(); }
    QStringList listed() {
        QStringList lines;
        for (int i = 0; i < past()->list()->count(); ++i) {
            lines << past()->list()->item(i)->text();
        }
        return lines;
    }
    DiaryStore store() { return DiaryStore(fx.context()); }

    template <typename W> W* child(const char* name) {
        return main().findChild<W*>(QString::fromUtf8(name));
    }
};

QString dateText(const QDateTime& when) {
    return toUnicode(formatDateTime(when));
}

DiaryEntry entry(const char* title, const char* date = "2010年2月1日", const char* mood = "开心",
                 const char* weather = "晴朗", const char* content = "") {
    return {gbk(title), gbk(date), gbk(mood), gbk(weather), gbk(content)};
}

// Compares field by field, so a failure names the field.
void compareEntries(const DiaryEntry& actual, const DiaryEntry& expected) {
    QCOMPARE(actual.title, expected.title);
    QCOMPARE(actual.date, expected.date);
    QCOMPARE(actual.mood, expected.mood);
    QCOMPARE(actual.weather, expected.weather);
    QCOMPARE(actual.content, expected.content);
}

// How many pixels of the content box's viewport have exactly this colour.
int pixelsOf(QPlainTextEdit* box, const QColor& colour) {
    const QImage image = box->viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).rgb() == colour.rgb()) {
                ++count;
            }
        }
    }
    return count;
}

// Clicks a swatch in the picker's drop-down, as the user does.
void chooseSwatch(ColourPicker* picker, int index) {
    picker->dropDown();
    auto* swatch = picker->findChild<QToolButton*>(QStringLiteral("色块%1").arg(index));
    QVERIFY(swatch);
    QVERIFY(swatch->isVisible());
    QTest::mouseClick(swatch, Qt::LeftButton);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void saveAppendsTheEntryAndRefreshesTheList();
    void saveWithAnEmptyTitle();
    void failedSaveStillClearsTheEditor();
    void saveWithThePastEntriesWindowClosedRecounts();

    void newEntryWhenEverythingIsEmpty();
    void newEntryAsks_data();
    void newEntryAsks();

    void dateStampsAppendAtTheEnd();

    void backgroundButtonOnlyToggles();
    void chosenColoursApplyToTheContent();
    void pickerHidesWhenItLosesFocus();

    void fontDialog();

    void contentLineBreaks();

    void pastEntriesButtonLoadsModallyWhenClosed();
    void pastEntriesButtonOnlyActivatesAnOpenWindow();
};

void TestMainWindow::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
}

void TestMainWindow::saveAppendsTheEntryAndRefreshesTheList() {
    Program p;
    QVERIFY(p.started);
    // Two entries written earlier; the list is filled from the file at start.
    QVERIFY(p.store().appendEntry(kBook, entry("第一天")));
    QVERIFY(p.store().appendEntry(kBook, entry("第二天")));
    p.past()->refreshPastEntries();
    QCOMPARE(p.listed(), QStringList({QStringLiteral("第一天"), QStringLiteral("第二天")}));

    p.title()->setText(QStringLiteral("去公园"));
    p.mood()->setEditText(QStringLiteral("很累"));
    p.weather()->setCurrentIndex(2);
    p.content()->setPlainText(QStringLiteral("上午去公园\n下午回家"));
    const DiaryEntry expected{gbk("去公园"), formatDateTime(kStart), gbk("很累"), gbk("多云"),
                              gbk("上午去公园\r\n下午回家")};

    const QDateTime saveTime(QDate(2010, 2, 14), QTime(15, 20, 30));
    p.fx.clock.set(saveTime);
    p.press("保存文件");

    QCOMPARE(p.fx.boxes.shown, std::vector<Text>{gbk("恭喜你！写完了一篇日记！")});
    QCOMPARE(p.fx.boxes.buttonsShown[0], MessageBoxes::Ok);
    QCOMPARE(p.store().countEntries(kBook), 3);
    const std::optional<DiaryEntry> saved = p.store().readEntry(kBook, 2);
    QVERIFY(saved);
    compareEntries(*saved, expected);
    if (QTest::currentTestFailed()) {
        return;
    }

    QCOMPARE(p.listed(), QStringList({QStringLiteral("第一天"), QStringLiteral("第二天"),
                                      QStringLiteral("去公园")}));
    QCOMPARE(p.fx.state().entryCountText, Text("3"));
    QCOMPARE(p.past()->findChild<QLabel*>(QStringLiteral("标签1"))->text(),
             QStringLiteral("下午好啊，小小主人！你在<《开心假期》日记本中写了3篇日记啦！"));

    // The editor is cleared: no design text in the title, the date of the save.
    QCOMPARE(p.title()->text(), QString());
    QCOMPARE(p.date()->text(), QStringLiteral("2010年2月14日15时20分30秒"));
    QCOMPARE(p.content()->toPlainText(), QString());
    QCOMPARE(p.mood()->currentText(), QStringLiteral("很累"));
    QCOMPARE(p.weather()->currentText(), QStringLiteral("多云"));
}

void TestMainWindow::saveWithAnEmptyTitle() {
    Program p;
    QVERIFY(p.started);
    p.title()->clear();
    p.content()->setPlainText(QStringLiteral("没有标题"));
    p.press("保存文件");

    QCOMPARE(p.fx.boxes.shown, std::vector<Text>{gbk("恭喜你！写完了一篇日记！")});
    QCOMPARE(p.store().countEntries(kBook), 1);
    compareEntries(*p.store().readEntry(kBook, 0),
                   {Text(), formatDateTime(kStart), gbk("开心"), gbk("随人而异"), gbk("没有标题")});
    QCOMPARE(p.listed(), QStringList({QString()}));
    QCOMPARE(p.fx.state().entryCountText, Text("1"));
}

void TestMainWindow::failedSaveStillClearsTheEditor() {
    Program p;
    QVERIFY(p.started);
    QVERIFY(p.store().appendEntry(kBook, entry("第一天")));
    p.past()->refreshPastEntries();
    QVERIFY(QDir(p.fx.path(QStringLiteral("开心假期"))).removeRecursively());

    p.title()->setText(QStringLiteral("写不进去"));
    p.content()->setPlainText(QStringLiteral("内容"));
    const QDateTime saveTime(QDate(2010, 2, 14), QTime(10, 0));
    p.fx.clock.set(saveTime);
    p.press("保存文件");

    QCOMPARE(p.fx.boxes.shown, std::vector<Text>{gbk("对不起！日记无法写入数据库！")});
    QCOMPARE(p.title()->text(), QString());
    QCOMPARE(p.date()->text(), dateText(saveTime));
    QCOMPARE(p.content()->toPlainText(), QString());
    // Nothing was counted or listed anew.
    QCOMPARE(p.fx.state().entryCountText, Text("1"));
    QCOMPARE(p.listed(), QStringList({QStringLiteral("第一天")}));
    QVERIFY(!QFileInfo::exists(p.fx.path(QStringLiteral("开心假期"))));
    QVERIFY(p.fx.fatal.calls.empty());
}

void TestMainWindow::saveWithThePastEntriesWindowClosedRecounts() {
    Program p;
    QVERIFY(p.started);
    p.past()->close();
    QTRY_VERIFY(!p.past());
    QCOMPARE(p.fx.state().entryCountText, Text("0"));
    // Entries the window never saw: the count must come from the book, not from adding one.
    QVERIFY(p.store().appendEntry(kBook, entry("第一天")));
    QVERIFY(p.store().appendEntry(kBook, entry("第二天")));

    p.press("保存文件");

    QCOMPARE(p.fx.boxes.shown, std::vector<Text>{gbk("恭喜你！写完了一篇日记！")});
    QCOMPARE(p.fx.state().entryCountText, Text("3"));
    QVERIFY(!p.past());
    QCOMPARE(p.store().countEntries(kBook), 3);
}

void TestMainWindow::newEntryWhenEverythingIsEmpty() {
    Program p;
    QVERIFY(p.started);
    p.title()->clear();
    p.date()->clear();
    p.mood()->setEditText(QString());
    p.weather()->setEditText(QString());
    p.content()->clear();
    p.fx.clock.set(kStart.addSecs(3600));

    p.press("新建文件");

    QVERIFY(p.fx.boxes.shown.empty());
    QCOMPARE(p.date()->text(), QString());
    QCOMPARE(p.mood()->currentText(), QString());
    QCOMPARE(p.store().countEntries(kBook), 0);
}

void TestMainWindow::newEntryAsks_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("bookWritable");
    QTest::addColumn<Text>("outcome");
    QTest::newRow("cancel") << int(MessageBoxes::AnsweredCancel) << true << Text();
    QTest::newRow("ok") << int(MessageBoxes::AnsweredOk) << true << gbk("保存成功！");
    QTest::newRow("ok, save fails") << int(MessageBoxes::AnsweredOk) << false << gbk("保存失败！");
}

void TestMainWindow::newEntryAsks() {
    QFETCH(int, answer);
    QFETCH(bool, bookWritable);
    QFETCH(Text, outcome);
    Program p;
    QVERIFY(p.started);
    p.title()->setText(QStringLiteral("半篇日记"));
    p.weather()->setCurrentIndex(1);
    p.content()->setPlainText(QStringLiteral("第一行\n第二行"));
    const DiaryEntry onScreen = p.main().entry();
    if (!bookWritable) {
        QVERIFY(QDir(p.fx.path(QStringLiteral("开心假期"))).removeRecursively());
    }
    const QStringList listedBefore = p.listed();
    const QDateTime pressTime(QDate(2010, 2, 14), QTime(11, 30, 15));
    p.fx.clock.set(pressTime);
    p.fx.boxes.answers = {answer};

    p.press("新建文件");

    std::vector<Text> expectedShown{gbk("刚刚写的日记还没保存呢！点击确定保存")};
    if (!outcome.isEmpty()) {
        expectedShown.push_back(outcome);
    }
    QCOMPARE(p.fx.boxes.shown, expectedShown);
    QCOMPARE(p.fx.boxes.buttonsShown[0], MessageBoxes::OkCancel);

    if (answer == MessageBoxes::AnsweredCancel) {
        compareEntries(p.main().entry(), onScreen);
        QCOMPARE(p.store().countEntries(kBook), 0);
    } else {
        QCOMPARE(p.title()->text(), QString());
        QCOMPARE(p.date()->text(), dateText(pressTime));
        QCOMPARE(p.content()->toPlainText(), QString());
        QCOMPARE(p.weather()->currentText(), QStringLiteral("晴朗"));
        if (bookWritable) {
            QCOMPARE(p.store().countEntries(kBook), 1);
            compareEntries(*p.store().readEntry(kBook, 0), onScreen);
        }
    }
    // This button leaves the past-entries window and the count alone.
    QCOMPARE(p.listed(), listedBefore);
    QCOMPARE(p.fx.state().entryCountText, Text("0"));
}

void TestMainWindow::dateStampsAppendAtTheEnd() {
    Program p;
    QVERIFY(p.started);
    p.content()->setPlainText(QStringLiteral("今天\n很好"));
    // The caret is at the start; the stamp still goes to the end.
    p.content()->moveCursor(QTextCursor::Start);

    const QDateTime first(QDate(2010, 2, 14), QTime(11, 0, 5));
    const QDateTime second(QDate(2010, 2, 14), QTime(12, 0));
    p.fx.clock.set(first);
    p.press("加入日期");
    p.fx.clock.set(second);
    p.press("加入日期");

    QCOMPARE(p.content()->toPlainText(),
             QStringLiteral("今天\n很好2010年2月14日11时0分5秒2010年2月14日12时"));
    QVERIFY(p.content()->textCursor().atEnd());
    QVERIFY(p.fx.boxes.shown.empty());
}

void TestMainWindow::backgroundButtonOnlyToggles() {
    Program p;
    QVERIFY(p.started);
    ColourPicker* picker = p.picker(1);
    QVERIFY(picker->isHidden());
    QVERIFY(p.picker(2)->isHidden());
    const QColor colourBefore = picker->colour();
    const QString sheetBefore = p.content()->styleSheet();

    p.press("背景颜色");
    QVERIFY(picker->isVisible());
    QVERIFY(p.picker(2)->isHidden());
    p.press("背景颜色");
    QVERIFY(picker->isHidden());

    QCOMPARE(picker->colour(), colourBefore);
    QCOMPARE(p.content()->styleSheet(), sheetBefore);
}

void TestMainWindow::chosenColoursApplyToTheContent() {
    Program p;
    QVERIFY(p.started);
    // Full blocks give solid pixels in the text colour.
    p.content()->setPlainText(QStringLiteral("█████ █████"));
    QFont big = p.content()->font();
    big.setPointSize(24);
    p.content()->setFont(big);
    const QColor red(255, 0, 0);
    const QColor yellow(255, 255, 0);
    QCOMPARE(ColourPicker::colours().at(10), red);
    QCOMPARE(ColourPicker::colours().at(11), yellow);
    QCOMPARE(pixelsOf(p.content(), red), 0);

    p.press("字体颜色");
    QVERIFY(p.picker(2)->isVisible());
    chooseSwatch(p.picker(2), 10);
    QVERIFY(p.picker(2)->isHidden());
    QCOMPARE(p.picker(2)->colour(), red);
    QCOMPARE(p.content()->palette().color(QPalette::Text), red);
    QVERIFY(pixelsOf(p.content(), red) > 0);

    p.press("背景颜色");
    QVERIFY(p.picker(1)->isVisible());
    chooseSwatch(p.picker(1), 11);
    QVERIFY(p.picker(1)->isHidden());
    QCOMPARE(p.picker(1)->colour(), yellow);
    QCOMPARE(p.content()->palette().color(QPalette::Base), yellow);
    QCOMPARE(p.content()->palette().color(QPalette::Text), red);
    QVERIFY(pixelsOf(p.content(), yellow) > 0);
    QVERIFY(pixelsOf(p.content(), red) > 0);
    QCOMPARE(pixelsOf(p.content(), Qt::white), 0);
}

void TestMainWindow::pickerHidesWhenItLosesFocus() {
    Program p;
    QVERIFY(p.started);
    p.main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&p.main()));

    p.press("字体颜色");
    ColourPicker* picker = p.picker(2);
    QVERIFY(picker->isVisible());
    QTRY_VERIFY(picker->hasFocus());
    // The drop-down taking the focus does not count as leaving.
    picker->dropDown();
    QTest::keyClick(picker->findChild<QFrame*>(QStringLiteral("颜色列表")), Qt::Key_Escape);
    QVERIFY(picker->isVisible());

    p.content()->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(picker->isHidden());
    QCOMPARE(picker->colour(), QColor(Qt::black));
    QCOMPARE(p.content()->styleSheet(), QString());
}

void TestMainWindow::fontDialog() {
    Program p;
    QVERIFY(p.started);
    const QFont initial = p.content()->font();

    // Cancelled: nothing changes.
    p.press("字体设置");
    QCOMPARE(p.fx.dialogs.fontInitials.size(), size_t(1));
    QCOMPARE(p.content()->font(), initial);

    const QStringList families = QFontDatabase::families();
    QVERIFY(!families.isEmpty());
    const QString family = families.contains(QStringLiteral("WenQuanYi Micro Hei"))
                               ? QStringLiteral("WenQuanYi Micro Hei")
                               : families.constLast();
    QFont chosen(family, 15);
    chosen.setBold(true);
    chosen.setItalic(true);
    chosen.setUnderline(true);
    p.fx.dialogs.fonts.push_back(chosen);
    p.press("字体设置");

    const QFont applied = p.content()->font();
    QCOMPARE(applied.family(), family);
    QCOMPARE(applied.pointSize(), 15);
    QVERIFY(applied.bold());
    QVERIFY(applied.italic());
    QVERIFY(applied.underline());
    QVERIFY(!applied.strikeOut());

    // The next dialog starts with the last confirmed choice; cancelling it keeps that font.
    p.press("字体设置");
    QCOMPARE(p.fx.dialogs.fontInitials.size(), size_t(3));
    const QFont offered = p.fx.dialogs.fontInitials[2];
    QCOMPARE(offered.family(), family);
    QCOMPARE(offered.pointSize(), 15);
    QVERIFY(offered.bold());
    QVERIFY(offered.italic());
    QVERIFY(offered.underline());
    QCOMPARE(p.content()->font(), applied);
}

void TestMainWindow::contentLineBreaks() {
    Program p;
    QVERIFY(p.started);
    p.content()->setFocus();
    QTest::keyClicks(p.content(), QStringLiteral("a"));
    QTest::keyClick(p.content(), Qt::Key_Return);
    QTest::keyClicks(p.content(), QStringLiteral("b"));
    QCOMPARE(p.main().entry().content, Text("a\r\nb"));

    DiaryEntry loaded = entry("旧日记", "2010年1月1日", "不错", "阴天", "第一行\r\n第二行");
    p.main().setEntry(loaded);
    QCOMPARE(p.content()->document()->blockCount(), 2);
    QCOMPARE(p.content()->toPlainText(), QStringLiteral("第一行\n第二行"));
    compareEntries(p.main().entry(), loaded);
}

void TestMainWindow::pastEntriesButtonLoadsModallyWhenClosed() {
    Program p;
    QVERIFY(p.started);
    p.past()->close();
    QTRY_VERIFY(!p.past());
    QVERIFY(p.store().appendEntry(kBook, entry("第一天")));

    struct Seen {
        bool modal = false;
        QStringList lines;
        QPoint pos;
    };
    auto seen = std::make_shared<Seen>();
    Application* app = &p.fx.app();
    whenReady(
        [app] {
            return app->pastEntriesWindow() && app->pastEntriesWindow()->isVisible() &&
                   QApplication::activeModalWidget() == app->pastEntriesWindow();
        },
        [app, seen] {
            PastEntriesWindow* w = app->pastEntriesWindow();
            seen->modal = w->isModal();
            for (int i = 0; i < w->list()->count(); ++i) {
                seen->lines << w->list()->item(i)->text();
            }
            seen->pos = w->pos();
            w->close();
        });
    QTest::mouseClick(p.child<QPushButton>("按钮5"), Qt::LeftButton);

    // The click returned only once the modal window was closed.
    QVERIFY(seen->modal);
    QCOMPARE(seen->lines, QStringList({QStringLiteral("第一天")}));
    const QRect outer = p.main().frameGeometry();
    QCOMPARE(seen->pos, QPoint(outer.left() + outer.width() + 11, outer.top()));
    QTRY_VERIFY(!p.past());
}

void TestMainWindow::pastEntriesButtonOnlyActivatesAnOpenWindow() {
    Program p;
    QVERIFY(p.started);
    PastEntriesWindow* open = p.past();
    QVERIFY(open->isVisible());
    // Written behind the window's back: an open window is not filled again.
    QVERIFY(p.store().appendEntry(kBook, entry("第一天")));
    // Should the window wrongly turn modal, close it so the test fails instead of hanging.
    auto wentModal = std::make_shared<bool>(false);
    auto armed = std::make_shared<bool>(true);
    whenReady([armed] { return *armed && QApplication::activeModalWidget() != nullptr; },
              [wentModal] {
                  *wentModal = true;
                  QApplication::activeModalWidget()->close();
              });

    QTest::mouseClick(p.child<QPushButton>("按钮5"), Qt::LeftButton);
    *armed = false;

    QVERIFY(!*wentModal);
    QCOMPARE(p.past(), open);
    QVERIFY(open->isVisible());
    QVERIFY(!open->isModal());
    QCOMPARE(p.listed(), QStringList());
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
