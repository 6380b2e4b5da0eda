#include "book_names.h"
#include "book_registry.h"
#include "diary_store.h"
#include "main_window.h"
#include "new_book_window.h"
#include "past_entries_window.h"
#include "settings.h"
#include "settings_keys.h"

#include "gui_support.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

using namespace wendlow;
using namespace wendlow::test;

namespace keys = wendlow::settings_keys;

namespace {

const QString kNewBook = QStringLiteral("窗口_新日记本");
const Text kCreated = gbk("恭喜你！成功拥有了一本新的日记本！点击确定翻开看看吧！");

QStringList names(std::initializer_list<const char*> utf8) {
    QStringList result;
    for (const char* text : utf8) {
        result << QString::fromUtf8(text);
    }
    return result;
}

// Types text key by key, as a keyboard or input method delivers it. QTest::keyClicks cannot
// send characters outside Latin-1.
void type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The program started with the welcome window suppressed, on a registry that holds the default
// book and then books owned by `owners`; `Name` holds `remembered` unless it is null.
std::unique_ptr<ProgramFixture> startWith(std::initializer_list<const char*> owners = {},
                                          const char* remembered = nullptr) {
    auto f = std::make_unique<ProgramFixture>();
    if (!QDir().mkpath(f->path(QStringLiteral("DATEINI"))) ||
        !writeSetting(keys::infIniPath(f->context()), keys::section(), keys::welcomeHidden(),
                      keys::flagTrue()) ||
        (remembered && !writeSetting(keys::dateIniPath(f->context()), keys::section(),
                                     keys::ownerName(), gbk(remembered))) ||
        !f->start()) {
        return nullptr;
    }
    BookRegistry registry(f->context());
    for (const char* owner : owners) {
        if (registry.appendBook({gbk("别的"), gbk(owner), Text(), 3, Text()}) !=
            RegistryResult::Ok) {
            return nullptr;
        }
    }
    return f;
}

Text setting(ProgramFixture& f, const Text& key) {
    return readSetting(keys::dateIniPath(f.context()), keys::section(), key);
}

struct Form {
    explicit Form(QWidget* window)
        : name(window->findChild<QLineEdit*>(QStringLiteral("Text_日记本名称"))),
          days(window->findChild<QComboBox*>(QStringLiteral("组合Text_天数"))),
          owner(window->findChild<QComboBox*>(QStringLiteral("组合Text_可爱小主人"))),
          remember(window->findChild<QCheckBox*>(QStringLiteral("选择框1"))),
          password(window->findChild<QLineEdit*>(QStringLiteral("Text_开锁密码"))),
          note(window->findChild<QPlainTextEdit*>(QStringLiteral("Text_留点信息"))),
          window_(window) {}

    void press(const char* button) const {
        QTest::mouseClick(window_->findChild<QAbstractButton*>(QString::fromUtf8(button)),
                          Qt::LeftButton);
    }
    // Replaces what an editable combo box shows by typing.
    static void retype(QComboBox* combo, const QString& text) {
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        type(combo->lineEdit(), text);
    }
    QStringList ownerItems() const {
        QStringList result;
        for (int i = 0; i < owner->count(); ++i) {
            result << owner->itemText(i);
        }
        return result;
    }

    QLineEdit* name;
    QComboBox* days;
    QComboBox* owner;
    QCheckBox* remember;
    QLineEdit* password;
    QPlainTextEdit* note;

  private:
    QWidget* window_;
};

// Whether the window has closed once the events its handlers left behind have run; a window
// closes itself only after the handler that closes it has returned.
bool closedOnceIdle(QWidget* window) {
    const QPointer<QWidget> guard = window;
    QCoreApplication::processEvents();
    return !guard || !guard->isVisible();
}

QStringList programDirEntries(ProgramFixture& f) {
    return QDir(f.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

DiaryEntry entryTitled(const char* title) {
    return {gbk(title), gbk("2010年2月1日"), gbk("开心"), gbk("晴朗"), gbk("内容")};
}

bool fillDefaultBook(ProgramFixture& f, std::initializer_list<const char*> titles) {
    DiaryStore store(f.context());
    for (const char* title : titles) {
        if (!store.appendEntry(defaultBook().name, entryTitled(title))) {
            return false;
        }
    }
    return true;
}

QStringList titles(ProgramFixture& f, const Text& book) {
    QStringList result;
    for (const Text& title : DiaryStore(f.context()).listEntryTitles(book)) {
        result << toUnicode(title);
    }
    return result;
}

} // namespace

class TstNewBook : public QObject {
    Q_OBJECT

  private slots:
    void ownerList_data();
    void ownerList();
    void byteLimits_data();
    void byteLimits();
    void rememberNameBox();
    void creates_data();
    void creates();
    void afterCreationNameIsKept();
    void missingNameOrOwner_data();
    void missingNameOrOwner();
    void unsafeNames_data();
    void unsafeNames();
    void existingNameKeepsItsEntries();
    void closingRemembersOwner_data();
    void closingRemembersOwner();
    void clearButton();
    void pastEntriesFollowTheNewBook();
};

void TstNewBook::ownerList_data() {
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("shown");

    QTest::newRow("remembered 小明")
        << QStringLiteral("小明") << names({"小小主人", "小红", "小明"})
        << QStringLiteral("小小主人");
    QTest::newRow("nothing remembered") << QString() << names({"小小主人", "小红"}) << QString();
}

void TstNewBook::ownerList() {
    QFETCH(QString, remembered);
    QFETCH(QStringList, items);
    QFETCH(QString, shown);

    const QByteArray rememberedUtf8 = remembered.toUtf8();
    auto f = startWith({"小红"}, rememberedUtf8.constData());
    QVERIFY(f);
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("创建一本新的日记本"));
            const Form form(window);
            QCOMPARE(form.ownerItems(), items);
            QCOMPARE(form.owner->currentText(), shown);
            QCOMPARE(form.days->currentText(), QStringLiteral("7"));
            QCOMPARE(form.days->count(), 6);
            QVERIFY(form.name->text().isEmpty());
            QCOMPARE(form.password->echoMode(), QLineEdit::Password);
        });
    QVERIFY(visit.shown);
    QVERIFY(visit.modal);
}

void TstNewBook::byteLimits_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    const QString name = QStringLiteral("Text_日记本名称");
    const QString owner = QStringLiteral("组合Text_可爱小主人");
    QTest::newRow("name, five characters")
        << name << QStringLiteral("一二三四五") << QStringLiteral("一二三四");
    QTest::newRow("name, ten letters")
        << name << QStringLiteral("abcdefghij") << QStringLiteral("abcdefgh");
    QTest::newRow("name, odd bytes")
        << name << QStringLiteral("a一二三四") << QStringLiteral("a一二三");
    QTest::newRow("owner, five characters")
        << owner << QStringLiteral("一二三四五") << QStringLiteral("一二三四");
    QTest::newRow("owner, ten letters")
        << owner << QStringLiteral("abcdefghij") << QStringLiteral("abcdefgh");
}

void TstNewBook::byteLimits() {
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    auto f = startWith();
    QVERIFY(f);
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            QLineEdit* edit = form.name;
            if (control != form.name->objectName()) {
                edit = form.owner->lineEdit();
            }
            type(edit, typed);
            QCOMPARE(edit->text(), kept);
        });
    QVERIFY(visit.shown);
}

void TstNewBook::rememberNameBox() {
    auto f = startWith();
    QVERIFY(f);
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            QVERIFY(form.remember->isChecked());
            const QPoint indicator(8, form.remember->height() / 2);
            QTest::mouseClick(form.remember, Qt::LeftButton, {}, indicator);
            QVERIFY(!form.remember->isChecked());
            QVERIFY(!QFileInfo::exists(keys::dateIniPath(f->context())));
            QTest::mouseClick(form.remember, Qt::LeftButton, {}, indicator);
            QVERIFY(form.remember->isChecked());
            QCOMPARE(setting(*f, keys::rememberName()), gbk("真"));
            QTest::mouseClick(form.remember, Qt::LeftButton, {}, indicator);
            QVERIFY(!form.remember->isChecked());
            QCOMPARE(setting(*f, keys::rememberName()), gbk("真"));
        });
    QVERIFY(visit.shown);
}

void TstNewBook::creates_data() {
    QTest::addColumn<QString>("days");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("note");
    QTest::addColumn<BookRecord>("stored");

    QTest::newRow("7, nothing else") << QStringLiteral("7") << QString() << QString()
                                     << BookRecord{gbk("寒假"), gbk("小明"), Text(), 7, Text()};
    QTest::newRow("password and two-line note")
        << QStringLiteral("30") << QStringLiteral("abc") << QStringLiteral("第一行\n第二行")
        << BookRecord{gbk("寒假"), gbk("小明"), gbk("第一行\r\n第二行"), 30, gbk("abc")};
    QTest::newRow("days abc") << QStringLiteral("abc") << QString() << QString()
                              << BookRecord{gbk("寒假"), gbk("小明"), Text(), 0, Text()};
    QTest::newRow("days 3.9") << QStringLiteral("3.9") << QString() << QString()
                              << BookRecord{gbk("寒假"), gbk("小明"), Text(), 3, Text()};
    QTest::newRow("days full-width 31") << QStringLiteral("３１") << QString() << QString()
                                        << BookRecord{gbk("寒假"), gbk("小明"), Text(), 31, Text()};
    QTest::newRow("days empty") << QString() << QString() << QString()
                                << BookRecord{gbk("寒假"), gbk("小明"), Text(), 0, Text()};
}

void TstNewBook::creates() {
    QFETCH(QString, days);
    QFETCH(QString, password);
    QFETCH(QString, note);
    QFETCH(BookRecord, stored);

    auto f = startWith();
    QVERIFY(f);
    const QString captionBefore = f->main().windowTitle();
    bool closed = false;
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            type(form.name, QStringLiteral("寒假"));
            type(form.owner->lineEdit(), QStringLiteral("小明"));
            Form::retype(form.days, days);
            type(form.password, password);
            form.note->setPlainText(note);
            form.press("按钮_创建");
            QCOMPARE(f->boxes.shown, std::vector<Text>{kCreated});
            closed = closedOnceIdle(window);
        });
    QVERIFY(visit.shown);
    QVERIFY(closed);

    BookRegistry registry(f->context());
    QCOMPARE(registry.countBooks(), 2);
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(defaultBook()));
    QCOMPARE(registry.readBook(1), std::optional<BookRecord>(stored));
    QVERIFY(QFileInfo::exists(f->path(QStringLiteral("寒假/Diary.edb"))));
    QCOMPARE(DiaryStore(f->context()).countEntries(gbk("寒假")), 0);

    QCOMPARE(f->state().bookCreated, 1);
    QCOMPARE(f->state().bookIndex, 1);
    QCOMPARE(f->state().bookName, gbk("寒假"));
    QCOMPARE(f->state().ownerName, gbk("小明"));
    QCOMPARE(f->state().holidayDays, stored.days);
    QCOMPARE(f->state().bookPassword, stored.password);
    // The caption waits for the next set-up of the main window.
    QCOMPARE(f->main().windowTitle(), captionBefore);
    // Closing after a creation remembers nothing.
    QVERIFY(setting(*f, keys::ownerName()).isEmpty());
    QVERIFY(!QFileInfo::exists(keys::dateIniPath(f->context())));
    QVERIFY(f->fatal.calls.empty());
}

// Once a book was created in this run, no later closing of the window remembers an owner.
void TstNewBook::afterCreationNameIsKept() {
    auto f = startWith({}, "小东");
    QVERIFY(f);
    const ModalVisit first = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            type(form.name, QStringLiteral("寒假"));
            Form::retype(form.owner, QStringLiteral("小明"));
            form.press("按钮_创建");
            QVERIFY(closedOnceIdle(window));
        });
    QVERIFY(first.shown);
    QCOMPARE(setting(*f, keys::ownerName()), gbk("小东"));

    const ModalVisit second = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            QCOMPARE(form.ownerItems(), names({"小小主人", "小明", "小东"}));
            Form::retype(form.owner, QStringLiteral("小红"));
            window->close();
        });
    QVERIFY(second.shown);
    QCOMPARE(setting(*f, keys::ownerName()), gbk("小东"));
    QCOMPARE(BookRegistry(f->context()).countBooks(), 2);
}

void TstNewBook::missingNameOrOwner_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("owner");

    QTest::newRow("no owner") << QStringLiteral("寒假") << QString();
    QTest::newRow("no name") << QString() << QStringLiteral("小明");
}

void TstNewBook::missingNameOrOwner() {
    QFETCH(QString, name);
    QFETCH(QString, owner);

    auto f = startWith();
    QVERIFY(f);
    const QStringList before = programDirEntries(*f);
    bool stayed = false;
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            type(form.name, name);
            type(form.owner->lineEdit(), owner);
            form.press("按钮_创建");
            stayed = !closedOnceIdle(window);
        });
    QVERIFY(visit.shown);
    QVERIFY(stayed);
    QVERIFY(f->boxes.shown.empty());
    QCOMPARE(BookRegistry(f->context()).countBooks(), 1);
    QCOMPARE(programDirEntries(*f), before);
    QCOMPARE(f->state().bookCreated, 0);
    QCOMPARE(f->state().bookIndex, 0);
}

void TstNewBook::unsafeNames_data() {
    QTest::addColumn<QString>("name");

    QTest::newRow("slash") << QStringLiteral("a/b");
    QTest::newRow("parent") << QStringLiteral("..");
    QTest::newRow("device") << QStringLiteral("CON");
    QTest::newRow("leading blank") << QStringLiteral(" 寒假");
    QTest::newRow("settings folder") << QStringLiteral("DATEINI");
}

void TstNewBook::unsafeNames() {
    QFETCH(QString, name);

    auto f = startWith();
    QVERIFY(f);
    const QStringList before = programDirEntries(*f);
    bool stayed = false;
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            type(form.name, name);
            type(form.owner->lineEdit(), QStringLiteral("小明"));
            form.press("按钮_创建");
            stayed = !closedOnceIdle(window);
            QCOMPARE(form.name->text(), name);
        });
    QVERIFY(visit.shown);
    QVERIFY(stayed);
    QCOMPARE(f->boxes.shown, std::vector<Text>{unsafeBookNameMessage()});
    QCOMPARE(BookRegistry(f->context()).countBooks(), 1);
    QCOMPARE(programDirEntries(*f), before);
    QCOMPARE(f->state().bookCreated, 0);
}

void TstNewBook::existingNameKeepsItsEntries() {
    auto f = startWith();
    QVERIFY(f);
    QVERIFY(fillDefaultBook(*f, {"一", "二"}));
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            type(form.name, QStringLiteral("开心假期"));
            type(form.owner->lineEdit(), QStringLiteral("小明"));
            form.press("按钮_创建");
        });
    QVERIFY(visit.shown);
    QCOMPARE(f->boxes.shown, std::vector<Text>{kCreated});
    BookRegistry registry(f->context());
    QCOMPARE(registry.listBookNames(), std::vector<Text>({gbk("开心假期"), gbk("开心假期")}));
    QCOMPARE(titles(*f, gbk("开心假期")), names({"一", "二"}));
    QCOMPARE(f->state().bookIndex, 1);
    QCOMPARE(f->state().ownerName, gbk("小明"));
}

void TstNewBook::closingRemembersOwner_data() {
    QTest::addColumn<int>("how");
    QTest::addColumn<QString>("owner");

    QTest::newRow("close box, 小明") << 0 << QStringLiteral("小明");
    QTest::newRow("Esc, 小明") << 1 << QStringLiteral("小明");
    QTest::newRow("下次再创建吧！, 小明") << 2 << QStringLiteral("小明");
    QTest::newRow("close box, empty") << 0 << QString();
}

void TstNewBook::closingRemembersOwner() {
    QFETCH(int, how);
    QFETCH(QString, owner);

    auto f = startWith({}, "小东");
    QVERIFY(f);
    bool closed = false;
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            Form::retype(form.owner, owner);
            type(form.name, QStringLiteral("寒假"));
            switch (how) {
            case 0:
                window->close();
                break;
            case 1:
                // Pressed while typing the owner.
                QTest::keyClick(form.owner->lineEdit(), Qt::Key_Escape);
                break;
            default:
                form.press("按钮_退出");
                break;
            }
            closed = closedOnceIdle(window);
        });
    QVERIFY(visit.shown);
    QVERIFY(closed);
    QCOMPARE(setting(*f, keys::ownerName()), fromUnicode(owner));
    QCOMPARE(BookRegistry(f->context()).countBooks(), 1);
    QVERIFY(f->boxes.shown.empty());
    QVERIFY(f->main().isVisible());

    // The next opening offers the remembered name, or nothing new for an empty one.
    const ModalVisit again = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            QStringList expected = names({"小小主人"});
            if (!owner.isEmpty()) {
                expected << owner;
            }
            QCOMPARE(form.ownerItems(), expected);
        });
    QVERIFY(again.shown);
}

void TstNewBook::clearButton() {
    auto f = startWith({"小红"}, "小明");
    QVERIFY(f);
    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            type(form.name, QStringLiteral("寒假"));
            Form::retype(form.days, QStringLiteral("30"));
            form.owner->setCurrentIndex(1);
            type(form.password, QStringLiteral("abc"));
            form.note->setPlainText(QStringLiteral("留言"));
            QTest::mouseClick(form.remember, Qt::LeftButton, {},
                              QPoint(8, form.remember->height() / 2));
            QVERIFY(!form.remember->isChecked());

            f->boxes.answers.push_back(MessageBoxes::AnsweredCancel);
            form.press("按钮_清空");
            QCOMPARE(
                f->boxes.shown,
                std::vector<Text>{gbk("你还有一些内容没保存(关闭程序时默认保存),确定要清空吗？")});
            QCOMPARE(f->boxes.buttonsShown,
                     std::vector<MessageBoxes::Buttons>{MessageBoxes::OkCancel});
            QCOMPARE(form.name->text(), QStringLiteral("寒假"));
            QCOMPARE(form.days->currentText(), QStringLiteral("30"));
            QCOMPARE(form.owner->currentText(), QStringLiteral("小红"));
            QCOMPARE(form.password->text(), QStringLiteral("abc"));
            QCOMPARE(form.note->toPlainText(), QStringLiteral("留言"));

            f->boxes.answers.push_back(MessageBoxes::AnsweredOk);
            form.press("按钮_清空");
            QCOMPARE(f->boxes.shown.size(), size_t(2));
            QVERIFY(form.name->text().isEmpty());
            QVERIFY(form.days->currentText().isEmpty());
            QVERIFY(form.owner->currentText().isEmpty());
            QVERIFY(form.password->text().isEmpty());
            QVERIFY(form.note->toPlainText().isEmpty());
            QCOMPARE(form.days->count(), 6);
            QCOMPARE(form.ownerItems(), names({"小小主人", "小红", "小明"}));
            QVERIFY(!form.remember->isChecked());
            QVERIFY(window->isVisible());
        });
    QVERIFY(visit.shown);
}

// An open past-entries window lists the new book, not the one it was filled from.
void TstNewBook::pastEntriesFollowTheNewBook() {
    auto f = startWith();
    QVERIFY(f);
    QVERIFY(fillDefaultBook(*f, {"一", "二"}));
    f->app().refreshPastEntries();
    PastEntriesWindow* past = f->app().pastEntriesWindow();
    QVERIFY(past && past->isVisible());
    QCOMPARE(past->list()->count(), 2);

    const ModalVisit visit = visitModal(
        kNewBook, [&] { f->app().loadNewBook(); },
        [&](QWidget* window) {
            const Form form(window);
            type(form.name, QStringLiteral("寒假"));
            type(form.owner->lineEdit(), QStringLiteral("小明"));
            form.press("按钮_创建");
        });
    QVERIFY(visit.shown);
    QCOMPARE(f->state().bookName, gbk("寒假"));
    QCOMPARE(f->app().pastEntriesWindow(), past);
    QCOMPARE(past->listedBook(), gbk("寒假"));
    QCOMPARE(past->list()->count(), 0);
    QCOMPARE(f->state().entryCountText, Text("0"));
}

QTEST_MAIN(TstNewBook)
#include "tst_new_book.moc"
