#include "book_registry.h"
#include "diary_store.h"
#include "main_window.h"
#include "past_entries_window.h"
#include "settings.h"
#include "settings_keys.h"
#include "simple_combo.h"

#include "gui_support.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

using namespace wendlow;
using namespace wendlow::test;

namespace keys = wendlow::settings_keys;

namespace {

const QString kOpenBook = QStringLiteral("窗口_选择日记本");
const Text kOpened = gbk("成功开启日记本，点击确定浏览吧！");

// The program started with the welcome window suppressed, on a registry that holds the default
// book and then `more`.
std::unique_ptr<ProgramFixture> startWith(const std::vector<BookRecord>& more) {
    auto f = std::make_unique<ProgramFixture>();
    if (!QDir().mkpath(f->path(QStringLiteral("DATEINI"))) ||
        !writeSetting(keys::infIniPath(f->context()), keys::section(), keys::welcomeHidden(),
                      keys::flagTrue()) ||
        !f->start()) {
        return nullptr;
    }
    BookRegistry registry(f->context());
    for (const BookRecord& book : more) {
        if (registry.appendBook(book) != RegistryResult::Ok) {
            return nullptr;
        }
    }
    return f;
}

BookRecord book(const char* name, const char* owner, qint32 days, const char* password = "") {
    return {gbk(name), gbk(owner), gbk("备注"), days, gbk(password)};
}

QString caption(const char* owner, const char* name, int days) {
    return QStringLiteral("WendlowV1.0  %1 的 %2  %3天假期")
        .arg(QString::fromUtf8(owner), QString::fromUtf8(name))
        .arg(days);
}

QStringList names(std::initializer_list<const char*> utf8) {
    QStringList result;
    for (const char* text : utf8) {
        result << QString::fromUtf8(text);
    }
    return result;
}

SimpleCombo* books(QWidget* window) {
    return window->findChild<SimpleCombo*>(QStringLiteral("组合Text_日记名称集"));
}

QLineEdit* passwordBox(QWidget* window) {
    return window->findChild<QLineEdit*>(QStringLiteral("Text_新开锁密码"));
}

QStringList items(SimpleCombo* combo) {
    QStringList result;
    for (int i = 0; i < combo->list()->count(); ++i) {
        result << combo->list()->item(i)->text();
    }
    return result;
}

// Chooses a book in the always-shown list with the mouse.
void choose(QWidget* window, int row) {
    QListWidget* list = books(window)->list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

void pressOpen(QWidget* window) {
    QTest::mouseClick(window->findChild<QAbstractButton*>(QStringLiteral("图形按钮1")),
                      Qt::LeftButton);
}

DiaryEntry entryTitled(const char* title) {
    return {gbk(title), gbk("2010年2月1日"), gbk("开心"), gbk("晴朗"), gbk("内容")};
}

bool fillBook(ProgramFixture& f, const Text& name, std::initializer_list<const char*> titles) {
    DiaryStore store(f.context());
    if (!store.createBookFiles(name)) {
        return false;
    }
    for (const char* title : titles) {
        if (!store.appendEntry(name, entryTitled(title))) {
            return false;
        }
    }
    return true;
}

QStringList lines(const PastEntriesWindow* window) {
    QStringList result;
    for (int i = 0; i < window->list()->count(); ++i) {
        result << window->list()->item(i)->text();
    }
    return result;
}

} // namespace

class TstOpenBook : public QObject {
    Q_OBJECT

  private slots:
    void choosesByPosition_data();
    void choosesByPosition();
    void lockedBook_data();
    void lockedBook();
    void unlockedBookIgnoresTheBox_data();
    void unlockedBookIgnoresTheBox();
    void pastEntriesFollowTheOpenedBook();
    void leavingChangesNothing_data();
    void leavingChangesNothing();
};

void TstOpenBook::choosesByPosition_data() {
    QTest::addColumn<std::vector<BookRecord>>("more");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("title");

    QTest::newRow("third of three")
        << std::vector<BookRecord>{book("寒假", "小明", 31), book("暑假", "小红", 64)}
        << names({"开心假期", "寒假", "暑假"}) << 2 << caption("小红", "暑假", 64);
    QTest::newRow("second of two with one name")
        << std::vector<BookRecord>{book("寒假", "小明", 31), book("寒假", "小红", 3)}
        << names({"开心假期", "寒假", "寒假"}) << 2 << caption("小红", "寒假", 3);
    QTest::newRow("first of the same name")
        << std::vector<BookRecord>{book("寒假", "小明", 31), book("寒假", "小红", 3)}
        << names({"开心假期", "寒假", "寒假"}) << 1 << caption("小明", "寒假", 31);
    QTest::newRow("days 0 shown as 1")
        << std::vector<BookRecord>{book("零天", "小明", 0)} << names({"开心假期", "零天"}) << 1
        << caption("小明", "零天", 1);
}

void TstOpenBook::choosesByPosition() {
    QFETCH(std::vector<BookRecord>, more);
    QFETCH(QStringList, names);
    QFETCH(int, row);
    QFETCH(QString, title);

    auto f = startWith(more);
    QVERIFY(f);
    f->main().titleEdit()->setText(QStringLiteral("正在写"));
    f->main().contentEdit()->setPlainText(QStringLiteral("没写完"));
    f->main().moodCombo()->setEditText(QStringLiteral("兴奋"));

    const ModalVisit visit = visitModal(
        kOpenBook, [&] { f->app().loadOpenBook(); },
        [&](QWidget* window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("选择一本日记本翻翻看"));
            QCOMPARE(items(books(window)), names);
            QCOMPARE(books(window)->currentIndex(), 0);
            QCOMPARE(books(window)->text(), QStringLiteral("开心假期"));
            QVERIFY(passwordBox(window)->text().isEmpty());
            choose(window, row);
            QCOMPARE(books(window)->currentIndex(), row);
            QCOMPARE(books(window)->text(), names[row]);
            pressOpen(window);
        });
    QVERIFY(visit.shown);
    QVERIFY(visit.modal);
    QCOMPARE(f->boxes.shown, std::vector<Text>{kOpened});
    QCOMPARE(f->state().bookIndex, row);
    QVERIFY(!visibleWindow(kOpenBook));
    QCOMPARE(f->main().windowTitle(), title);
    QCOMPARE(f->state().bookName, fromUnicode(names[row]));
    // The entry being written stays; its mood is reset.
    QCOMPARE(f->main().titleEdit()->text(), QStringLiteral("正在写"));
    QCOMPARE(f->main().contentEdit()->toPlainText(), QStringLiteral("没写完"));
    QCOMPARE(f->main().moodCombo()->currentText(), QStringLiteral("开心"));
    QVERIFY(f->fatal.calls.empty());
}

void TstOpenBook::lockedBook_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Text>("message");
    QTest::addColumn<bool>("opens");

    QTest::newRow("empty box") << QString() << gbk("你好像忘了输入 秘密 的开锁密码，赶快输入吧！")
                               << false;
    QTest::newRow("other case") << QStringLiteral("ABC")
                                << gbk("你输入了错误密码，请再修改正确密码！") << false;
    QTest::newRow("trailing blank")
        << QStringLiteral("abc ") << gbk("你输入了错误密码，请再修改正确密码！") << false;
    QTest::newRow("prefix") << QStringLiteral("ab") << gbk("你输入了错误密码，请再修改正确密码！")
                            << false;
    QTest::newRow("right") << QStringLiteral("abc") << kOpened << true;
}

void TstOpenBook::lockedBook() {
    QFETCH(QString, typed);
    QFETCH(Text, message);
    QFETCH(bool, opens);

    auto f = startWith({book("秘密", "小明", 10, "abc")});
    QVERIFY(f);
    const QString before = f->main().windowTitle();

    bool stayedOpen = false;
    const ModalVisit visit = visitModal(
        kOpenBook, [&] { f->app().loadOpenBook(); },
        [&](QWidget* window) {
            choose(window, 1);
            QLineEdit* password = passwordBox(window);
            QCOMPARE(password->echoMode(), QLineEdit::Normal);
            QTest::keyClicks(password, typed);
            if (typed.isEmpty()) {
                books(window)->editLine()->setFocus();
            }
            pressOpen(window);
            QCOMPARE(f->boxes.shown, std::vector<Text>{message});
            if (!opens) {
                const QPointer<QWidget> guard = window;
                QCoreApplication::processEvents();
                stayedOpen = guard && guard->isVisible();
                QVERIFY(stayedOpen);
                QCOMPARE(password->text(), typed);
                if (typed.isEmpty()) {
                    QCOMPARE(window->focusWidget(), password);
                }
            }
        });
    QVERIFY(visit.shown);
    QCOMPARE(stayedOpen, !opens);
    QCOMPARE(f->state().bookIndex, opens ? 1 : 0);
    QCOMPARE(f->main().windowTitle(), opens ? caption("小明", "秘密", 10) : before);
}

void TstOpenBook::unlockedBookIgnoresTheBox_data() {
    QTest::addColumn<QString>("typed");

    QTest::newRow("empty box") << QString();
    QTest::newRow("any text") << QStringLiteral("随便写写");
}

void TstOpenBook::unlockedBookIgnoresTheBox() {
    QFETCH(QString, typed);

    auto f = startWith({book("秘密", "小明", 10, "abc")});
    QVERIFY(f);
    f->state().bookIndex = 1;
    f->app().prepareMainWindow();
    QCOMPARE(f->main().windowTitle(), caption("小明", "秘密", 10));

    const ModalVisit visit = visitModal(
        kOpenBook, [&] { f->app().loadOpenBook(); },
        [&](QWidget* window) {
            passwordBox(window)->setText(typed);
            pressOpen(window);
        });
    QVERIFY(visit.shown);
    QCOMPARE(f->boxes.shown, std::vector<Text>{kOpened});
    QCOMPARE(f->state().bookIndex, 0);
    QCOMPARE(f->main().windowTitle(), caption("小小主人", "开心假期", 7));
}

void TstOpenBook::pastEntriesFollowTheOpenedBook() {
    auto f = startWith({book("寒假", "小明", 31)});
    QVERIFY(f);
    QVERIFY(fillBook(*f, defaultBook().name, {"一", "二"}));
    QVERIFY(fillBook(*f, gbk("寒假"), {"三"}));
    f->app().refreshPastEntries();
    PastEntriesWindow* past = f->app().pastEntriesWindow();
    QVERIFY(past && past->isVisible());
    QCOMPARE(lines(past), names({"一", "二"}));

    const ModalVisit visit = visitModal(
        kOpenBook, [&] { f->app().loadOpenBook(); },
        [&](QWidget* window) {
            choose(window, 1);
            pressOpen(window);
        });
    QVERIFY(visit.shown);
    QCOMPARE(f->state().bookIndex, 1);
    QCOMPARE(f->app().pastEntriesWindow(), past);
    QVERIFY(past->isVisible());
    QCOMPARE(lines(past), names({"三"}));
    QCOMPARE(past->listedBook(), gbk("寒假"));
    QCOMPARE(f->state().entryCountText, Text("1"));
}

void TstOpenBook::leavingChangesNothing_data() {
    QTest::addColumn<int>("how");

    QTest::newRow("我要退出！") << 0;
    QTest::newRow("Esc") << 1;
    QTest::newRow("close box") << 2;
}

void TstOpenBook::leavingChangesNothing() {
    QFETCH(int, how);

    auto f = startWith({book("寒假", "小明", 31)});
    QVERIFY(f);
    const QString before = f->main().windowTitle();
    bool closed = false;
    const ModalVisit visit = visitModal(
        kOpenBook, [&] { f->app().loadOpenBook(); },
        [&](QWidget* window) {
            choose(window, 1);
            passwordBox(window)->setText(QStringLiteral("abc"));
            switch (how) {
            case 0:
                QTest::mouseClick(window->findChild<QAbstractButton*>(QStringLiteral("图形按钮2")),
                                  Qt::LeftButton);
                break;
            case 1:
                // Pressed while typing the password.
                QTest::keyClick(passwordBox(window), Qt::Key_Escape);
                break;
            default:
                window->close();
                break;
            }
            const QPointer<QWidget> guard = window;
            QCoreApplication::processEvents();
            closed = !guard || !guard->isVisible();
        });
    QVERIFY(visit.shown);
    QVERIFY(closed);
    QVERIFY(f->boxes.shown.empty());
    QCOMPARE(f->state().bookIndex, 0);
    QCOMPARE(f->main().windowTitle(), before);

    // The next opening starts afresh.
    const ModalVisit again = visitModal(
        kOpenBook, [&] { f->app().loadOpenBook(); },
        [&](QWidget* window) {
            QCOMPARE(books(window)->currentIndex(), 0);
            QCOMPARE(books(window)->count(), 2);
            QVERIFY(passwordBox(window)->text().isEmpty());
        });
    QVERIFY(again.shown);
}

QTEST_MAIN(TstOpenBook)
#include "tst_open_book.moc"
