#include "book_registry.h"
#include "diary_store.h"
#include "gui_support.h"
#include "main_window.h"
#include "past_entries_window.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace wendlow;
using namespace wendlow::test;

namespace {

DiaryEntry entryTitled(const char* title) {
    return {gbk(title), gbk("2010年2月1日"), gbk("开心"), gbk("晴朗"), gbk("内容") + gbk(title)};
}

const Text& secondBook() {
    static const Text name = gbk("第二本");
    return name;
}

// The program started on a default book that already holds entries with these titles.
std::unique_ptr<ProgramFixture> startWith(std::initializer_list<const char*> titles,
                                          const QTime& time = QTime(9, 5)) {
    auto f = std::make_unique<ProgramFixture>();
    f->clock.set(QDateTime(QDate(2010, 2, 14), time));
    DiaryStore store(f->context());
    if (!store.createBookFiles(defaultBook().name)) {
        return nullptr;
    }
    for (const char* title : titles) {
        if (!store.appendEntry(defaultBook().name, entryTitled(title))) {
            return nullptr;
        }
    }
    if (!f->start() || !f->app().pastEntriesWindow()) {
        return nullptr;
    }
    return f;
}

// Registers a second book holding entries with these titles; its position is 1.
bool addSecondBook(ProgramFixture& f, std::initializer_list<const char*> titles) {
    BookRecord book{secondBook(), gbk("大大主人"), gbk("另一本"), 3, Text()};
    if (BookRegistry(f.context()).appendBook(book) != RegistryResult::Ok) {
        return false;
    }
    DiaryStore store(f.context());
    if (!store.createBookFiles(secondBook())) {
        return false;
    }
    for (const char* title : titles) {
        if (!store.appendEntry(secondBook(), entryTitled(title))) {
            return false;
        }
    }
    return true;
}

QStringList names(std::initializer_list<const char*> texts) {
    QStringList result;
    for (const char* text : texts) {
        result << QString::fromUtf8(text);
    }
    return result;
}

QStringList lines(const PastEntriesWindow* window) {
    QStringList result;
    for (int i = 0; i < window->list()->count(); ++i) {
        result << window->list()->item(i)->text();
    }
    return result;
}

QStringList storedTitles(ProgramFixture& f, const Text& book) {
    QStringList result;
    for (const Text& title : DiaryStore(f.context()).listEntryTitles(book)) {
        result << toUnicode(title);
    }
    return result;
}

QString greeting(const PastEntriesWindow* window) {
    return window->findChild<QLabel*>(QStringLiteral("标签1"))->text();
}

QPoint rowCentre(const PastEntriesWindow* window, int row) {
    return window->list()->visualItemRect(window->list()->item(row)).center();
}

void leftClickRow(PastEntriesWindow* window, int row) {
    QTest::mouseClick(window->list()->viewport(), Qt::LeftButton, {}, rowCentre(window, row));
}

void rightPress(PastEntriesWindow* window, const QPoint& at) {
    QTest::mousePress(window->list()->viewport(), Qt::RightButton, {}, at);
}

void rightPressRow(PastEntriesWindow* window, int row) {
    rightPress(window, rowCentre(window, row));
}

// Chooses an item of the open pop-up menu with the mouse, as the user does.
bool choose(PastEntriesWindow* window, const QString& item) {
    QMenu* menu = window->menu();
    if (!menu->isVisible()) {
        return false;
    }
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        if (action->text() == item) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return !menu->isVisible();
        }
    }
    return false;
}

QPoint besideMain(ProgramFixture& f) {
    const QRect outer = f.main().frameGeometry();
    return {outer.left() + outer.width() + 11, outer.top()};
}

QPushButton* button5(ProgramFixture& f) {
    return f.main().findChild<QPushButton*>(QStringLiteral("按钮5"));
}

} // namespace

class TstPastEntries : public QObject {
    Q_OBJECT

  private slots:
    void emptyBookHasNoMenu();
    void rightClickActsOnTheSelectedLine();
    void openPutsTheStoredEntryIntoTheEditor();
    void standsBesideTheMainWindow();
    void followsTheCurrentBook_data();
    void followsTheCurrentBook();
    void listOfAnotherBookNeverActs_data();
    void listOfAnotherBookNeverActs();
    void openWhenTheFileCannotBeOpened();
    void positionBeyondTheEnd_data();
    void positionBeyondTheEnd();
    void pastEntriesButton();
    void noGreetingAtSix();
};

void TstPastEntries::emptyBookHasNoMenu() {
    auto f = startWith({});
    QVERIFY(f);
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("往事登记"));
    QVERIFY(lines(window).isEmpty());
    QCOMPARE(f->state().entryCountText, Text("0"));
    QCOMPARE(greeting(window),
             QStringLiteral("上午好啊，小小主人！你在<《开心假期》日记本中写了0篇日记啦！"));

    f->state().selectedEntryIndex = 7;
    rightPress(window, QPoint(20, 10));
    QVERIFY(!window->menu()->isVisible());
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(f->state().selectedEntryIndex, 7);
    QVERIFY(f->fatal.calls.empty());
}

void TstPastEntries::rightClickActsOnTheSelectedLine() {
    auto f = startWith({"A", "B", "C"});
    QVERIFY(f);
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    QCOMPARE(lines(window), names({"A", "B", "C"}));
    QVERIFY(greeting(window).endsWith(QStringLiteral("写了3篇日记啦！")));

    // Lines but nothing selected yet: no menu either.
    rightPressRow(window, 0);
    QVERIFY(!window->menu()->isVisible());

    f->main().titleEdit()->setText(QStringLiteral("正在写"));
    f->main().contentEdit()->setPlainText(QStringLiteral("没写完的日记"));
    const DiaryEntry editor = f->main().entry();

    leftClickRow(window, 1);
    QCOMPARE(window->list()->currentRow(), 1);
    rightPressRow(window, 2);
    QVERIFY(window->menu()->isVisible());
    QCOMPARE(window->list()->currentRow(), 1);
    QCOMPARE(window->list()->selectedItems().size(), 1);
    QCOMPARE(window->list()->selectedItems().first()->text(), QStringLiteral("B"));
    QCOMPARE(f->state().selectedEntryIndex, 1);

    QVERIFY(choose(window, QStringLiteral("删除")));
    QCOMPARE(storedTitles(*f, defaultBook().name), names({"A", "C"}));
    QCOMPARE(lines(window), names({"A", "C"}));
    QCOMPARE(f->state().entryCountText, Text("2"));
    QVERIFY(greeting(window).endsWith(QStringLiteral("写了2篇日记啦！")));
    QCOMPARE(f->main().entry(), editor);
    QVERIFY(f->boxes.shown.empty());

    // A line deselected with Ctrl stays the current one, but it is not selected: no menu.
    leftClickRow(window, 0);
    QTest::mouseClick(window->list()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      rowCentre(window, 0));
    QCOMPARE(window->list()->currentRow(), 0);
    QVERIFY(window->list()->selectedItems().isEmpty());
    f->state().selectedEntryIndex = 9;
    rightPressRow(window, 0);
    QVERIFY(!window->menu()->isVisible());
    QCOMPARE(f->state().selectedEntryIndex, 9);
    QVERIFY(f->fatal.calls.empty());
}

void TstPastEntries::openPutsTheStoredEntryIntoTheEditor() {
    auto f = startWith({});
    QVERIFY(f);
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    MainWindow& main = f->main();

    // Saved through the main window: the date is longer than the 20 bytes that are stored.
    const QString longDate = QStringLiteral("2010年2月14日 09:05:30 星期日");
    main.titleEdit()->setText(QStringLiteral("我的一天"));
    main.dateEdit()->setText(longDate);
    main.moodCombo()->setEditText(QStringLiteral("兴奋"));
    main.weatherCombo()->setEditText(QStringLiteral("多云"));
    main.contentEdit()->setPlainText(QStringLiteral("今天去公园。"));
    auto* save = main.findChild<QWidget*>(QStringLiteral("保存文件"));
    QVERIFY(save);
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(f->boxes.shown.size(), size_t(1));
    QCOMPARE(lines(window), names({"我的一天"}));
    QVERIFY(main.titleEdit()->text().isEmpty());

    leftClickRow(window, 0);
    rightPressRow(window, 0);
    QVERIFY(choose(window, QStringLiteral("打开")));
    QCOMPARE(main.titleEdit()->text(), QStringLiteral("我的一天"));
    QCOMPARE(fromUnicode(main.dateEdit()->text()), fromUnicode(longDate).left(20));
    QCOMPARE(main.dateEdit()->text(), QStringLiteral("2010年2月14日 09:05:"));
    QCOMPARE(main.moodCombo()->currentText(), QStringLiteral("兴奋"));
    QCOMPARE(main.weatherCombo()->currentText(), QStringLiteral("多云"));
    QCOMPARE(main.contentEdit()->toPlainText(), QStringLiteral("今天去公园。"));
    // The entry stays where it was.
    QCOMPARE(lines(window), names({"我的一天"}));
    QCOMPARE(storedTitles(*f, defaultBook().name), names({"我的一天"}));
    QCOMPARE(f->boxes.shown.size(), size_t(1));
}

void TstPastEntries::standsBesideTheMainWindow() {
    auto f = startWith({"A", "B"});
    QVERIFY(f);
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    QCOMPARE(window->frameGeometry().topLeft(), besideMain(*f));

    f->main().move(100, 80);
    QCOMPARE(f->main().frameGeometry().topLeft(), QPoint(100, 80));
    f->app().refreshPastEntries();
    QCOMPARE(window->frameGeometry().topLeft(), besideMain(*f));
    QCOMPARE(besideMain(*f), QPoint(100 + f->main().frameGeometry().width() + 11, 80));

    window->move(20, 300);
    QCOMPARE(window->frameGeometry().topLeft(), QPoint(20, 300));
    leftClickRow(window, 0);
    rightPressRow(window, 0);
    QVERIFY(choose(window, QStringLiteral("删除")));
    QCOMPARE(lines(window), names({"B"}));
    QCOMPARE(window->frameGeometry().topLeft(), besideMain(*f));
}

// However the current book changes, an open window shows that book's entries.
void TstPastEntries::followsTheCurrentBook_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("prepareMainWindow") << QStringLiteral("prepareMainWindow");
    QTest::newRow("loadPastEntries") << QStringLiteral("loadPastEntries");
    QTest::newRow("按钮5") << QStringLiteral("button");
}

void TstPastEntries::followsTheCurrentBook() {
    QFETCH(QString, how);
    auto f = startWith({"A", "B"});
    QVERIFY(f);
    QVERIFY(addSecondBook(*f, {"X"}));
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    QCOMPARE(lines(window), names({"A", "B"}));

    if (how == QLatin1String("prepareMainWindow")) {
        f->state().bookIndex = 1;
        f->app().prepareMainWindow();
    } else {
        f->state().bookIndex = 1;
        f->state().bookName = secondBook();
        if (how == QLatin1String("loadPastEntries")) {
            f->app().loadPastEntries(false);
        } else {
            QTest::mouseClick(button5(*f), Qt::LeftButton);
        }
    }
    QCOMPARE(f->app().pastEntriesWindow(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(lines(window), names({"X"}));
    QCOMPARE(f->state().entryCountText, Text("1"));
    QVERIFY(greeting(window).contains(QStringLiteral("《第二本》日记本中写了1篇")));
    QVERIFY(!QApplication::activeModalWidget());
}

void TstPastEntries::listOfAnotherBookNeverActs_data() {
    QTest::addColumn<QString>("item");
    QTest::newRow("打开") << QStringLiteral("打开");
    QTest::newRow("删除") << QStringLiteral("删除");
}

void TstPastEntries::listOfAnotherBookNeverActs() {
    QFETCH(QString, item);
    auto f = startWith({"A", "B", "C"});
    QVERIFY(f);
    QVERIFY(addSecondBook(*f, {"X", "Y"}));
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    const DiaryEntry editor = f->main().entry();

    // The current book changes behind the window's back, as a rename would leave it.
    f->state().bookIndex = 1;
    f->state().bookName = secondBook();
    leftClickRow(window, 1);
    rightPressRow(window, 1);
    QVERIFY(choose(window, item));

    QCOMPARE(storedTitles(*f, defaultBook().name), names({"A", "B", "C"}));
    QCOMPARE(storedTitles(*f, secondBook()), names({"X", "Y"}));
    QCOMPARE(lines(window), names({"X", "Y"}));
    QCOMPARE(f->state().entryCountText, Text("2"));
    QCOMPARE(f->main().entry(), editor);
    QVERIFY(f->fatal.calls.empty());
}

void TstPastEntries::openWhenTheFileCannotBeOpened() {
    auto f = startWith({"A", "B"});
    QVERIFY(f);
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    f->main().titleEdit()->setText(QStringLiteral("正在写"));
    const DiaryEntry editor = f->main().entry();

    leftClickRow(window, 0);
    rightPressRow(window, 0);
    QVERIFY(QFile::remove(DiaryStore(f->context()).entryFilePath(defaultBook().name)));
    QVERIFY(choose(window, QStringLiteral("打开")));

    QCOMPARE(f->boxes.shown.size(), size_t(1));
    QVERIFY(!f->boxes.shown.front().isEmpty());
    QCOMPARE(f->boxes.buttonsShown.front(), MessageBoxes::Ok);
    QCOMPARE(f->main().entry(), editor);
    QVERIFY(f->fatal.calls.empty());
}

void TstPastEntries::positionBeyondTheEnd_data() {
    QTest::addColumn<QString>("item");
    QTest::newRow("打开") << QStringLiteral("打开");
    QTest::newRow("删除") << QStringLiteral("删除");
}

void TstPastEntries::positionBeyondTheEnd() {
    QFETCH(QString, item);
    auto f = startWith({"A", "B", "C"});
    QVERIFY(f);
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    f->main().titleEdit()->setText(QStringLiteral("正在写"));
    const DiaryEntry editor = f->main().entry();

    leftClickRow(window, 2);
    rightPressRow(window, 2);
    QCOMPARE(f->state().selectedEntryIndex, 2);
    QVERIFY(DiaryStore(f->context()).deleteEntry(defaultBook().name, 2));
    QVERIFY(choose(window, item));

    QCOMPARE(storedTitles(*f, defaultBook().name), names({"A", "B"}));
    if (item == QStringLiteral("打开")) {
        QCOMPARE(f->main().entry(), DiaryEntry());
        QCOMPARE(lines(window), names({"A", "B", "C"}));
    } else {
        QCOMPARE(f->main().entry(), editor);
        QCOMPARE(lines(window), names({"A", "B"}));
        QCOMPARE(f->state().entryCountText, Text("2"));
    }
    QVERIFY(f->boxes.shown.empty());
    QVERIFY(f->fatal.calls.empty());
}

void TstPastEntries::pastEntriesButton() {
    auto f = startWith({"A"});
    QVERIFY(f);
    QPointer<PastEntriesWindow> window = f->app().pastEntriesWindow();
    QVERIFY(window->isVisible());

    // Open: only brought back and to the front, even over a new entry written behind its back.
    QVERIFY(DiaryStore(f->context()).appendEntry(defaultBook().name, entryTitled("B")));
    window->showMinimized();
    QVERIFY(window->isMinimized());
    QTest::mouseClick(button5(*f), Qt::LeftButton);
    QCOMPARE(f->app().pastEntriesWindow(), window.data());
    QVERIFY(!window->isMinimized());
    QVERIFY(window->isVisible());
    QCOMPARE(lines(window), names({"A"}));
    QVERIFY(!QApplication::activeModalWidget());

    window->close();
    QTRY_VERIFY(!window);
    QVERIFY(!f->app().pastEntriesWindow());

    // Closed: created anew, filled, and the main window waits until it is closed again.
    bool seen = false;
    QStringList linesSeen;
    Text countSeen;
    QWidget* modalSeen = nullptr;
    PastEntriesWindow* created = nullptr;
    whenReady(
        [&] {
            created = f->app().pastEntriesWindow();
            return created && created->isVisible();
        },
        [&] {
            seen = true;
            linesSeen = lines(created);
            countSeen = f->state().entryCountText;
            modalSeen = QApplication::activeModalWidget();
            created->close();
        });
    QTest::mouseClick(button5(*f), Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(linesSeen, names({"A", "B"}));
    QCOMPARE(countSeen, Text("2"));
    QCOMPARE(modalSeen, created);
    QVERIFY(!QApplication::activeModalWidget());
    QTRY_VERIFY(!f->app().pastEntriesWindow());
}

void TstPastEntries::noGreetingAtSix() {
    auto f = startWith({"A"}, QTime(6, 30));
    QVERIFY(f);
    PastEntriesWindow* window = f->app().pastEntriesWindow();
    QCOMPARE(greeting(window), QStringLiteral("标签"));
    QCOMPARE(f->state().entryCountText, Text("1"));

    // The timer writes the greeting once the hour has one.
    f->clock.set(QDateTime(QDate(2010, 2, 14), QTime(7, 0)));
    QTRY_COMPARE(greeting(window),
                 QStringLiteral("上午好啊，小小主人！你在<《开心假期》日记本中写了1篇日记啦！"));

    // A window created anew at 6:59 starts from its own text again.
    f->clock.set(QDateTime(QDate(2010, 2, 14), QTime(6, 59)));
    window->close();
    QTRY_VERIFY(!f->app().pastEntriesWindow());
    QString seen;
    whenReady(
        [&] {
            PastEntriesWindow* w = f->app().pastEntriesWindow();
            return w && w->isVisible();
        },
        [&] {
            seen = greeting(f->app().pastEntriesWindow());
            f->app().pastEntriesWindow()->close();
        });
    QTest::mouseClick(button5(*f), Qt::LeftButton);
    QCOMPARE(seen, QStringLiteral("标签"));
}

QTEST_MAIN(TstPastEntries)
#include "tst_past_entries.moc"
