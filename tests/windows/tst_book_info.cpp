#include "book_registry.h"
#include "credits.h"
#include "diary_store.h"
#include "main_window.h"
#include "new_book_window.h"
#include "past_entries_window.h"
#include "settings.h"
#include "settings_keys.h"

#include "gui_support.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

using namespace wendlow;
using namespace wendlow::test;

namespace keys = wendlow::settings_keys;

namespace {

const QString kBookInfo = QStringLiteral("窗口_修改信息");
const Text kSaved = gbk("数据修改成功！");
const Text kMissing = gbk("日记本名称和可爱小主人一定要填写哦！");

QStringList names(std::initializer_list<const char*> utf8) {
    QStringList result;
    for (const char* text : utf8) {
        result << QString::fromUtf8(text);
    }
    return result;
}

// The program started with the welcome window suppressed; the default book holds entries with
// these titles.
std::unique_ptr<ProgramFixture> startWith(std::initializer_list<const char*> titles = {}) {
    auto f = std::make_unique<ProgramFixture>();
    if (!QDir().mkpath(f->path(QStringLiteral("DATEINI"))) ||
        !writeSetting(keys::infIniPath(f->context()), keys::section(), keys::welcomeHidden(),
                      keys::flagTrue())) {
        return nullptr;
    }
    DiaryStore store(f->context());
    if (!store.createBookFiles(defaultBook().name)) {
        return nullptr;
    }
    for (const char* title : titles) {
        const DiaryEntry entry{gbk(title), gbk("2010年2月1日"), gbk("开心"), gbk("晴朗"),
                               gbk("内容")};
        if (!store.appendEntry(defaultBook().name, entry)) {
            return nullptr;
        }
    }
    if (!f->start()) {
        return nullptr;
    }
    return f;
}

struct Boxes {
    explicit Boxes(QWidget* window)
        : name(window->findChild<QLineEdit*>(QStringLiteral("编辑框1"))),
          owner(window->findChild<QLineEdit*>(QStringLiteral("编辑框2"))),
          days(window->findChild<QLineEdit*>(QStringLiteral("编辑框3"))),
          password(window->findChild<QLineEdit*>(QStringLiteral("编辑框4"))),
          note(window->findChild<QPlainTextEdit*>(QStringLiteral("编辑框5"))), window_(window) {}

    // Replaces a box's text the way the user does: select everything and type over it.
    static void retype(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    void save() const {
        QTest::mouseClick(window_->findChild<QAbstractButton*>(QStringLiteral("按钮6")),
                          Qt::LeftButton);
    }

    QLineEdit* name;
    QLineEdit* owner;
    QLineEdit* days;
    QLineEdit* password;
    QPlainTextEdit* note;

  private:
    QWidget* window_;
};

QStringList titles(ProgramFixture& f, const Text& book) {
    QStringList result;
    for (const Text& title : DiaryStore(f.context()).listEntryTitles(book)) {
        result << toUnicode(title);
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

bool folderExists(ProgramFixture& f, const char* name) {
    return QFileInfo(f.path(QString::fromUtf8(name))).isDir();
}

} // namespace

class TstBookInfo : public QObject {
    Q_OBJECT

  private slots:
    void showsTheCurrentBook_data();
    void showsTheCurrentBook();
    void savesDays_data();
    void savesDays();
    void missingNameOrOwner_data();
    void missingNameOrOwner();
    void renameTakesTheFolderAlong();
    void renameRefused_data();
    void renameRefused();
    void creditLabels_data();
    void creditLabels();
    void mainWindowCreditLabel();
};

void TstBookInfo::showsTheCurrentBook_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("default book") << 0
                                  << names({"开心假期", "小小主人", "7", "", "这个假期我要快乐！"});
    QTest::newRow("locked book") << 1 << names({"秘密", "小明", "0", "abc", "第一行\n第二行"});
}

void TstBookInfo::showsTheCurrentBook() {
    QFETCH(int, position);
    QFETCH(QStringList, shown);

    auto f = startWith();
    QVERIFY(f);
    const BookRecord locked{gbk("秘密"), gbk("小明"), gbk("第一行\r\n第二行"), 0, gbk("abc")};
    QCOMPARE(BookRegistry(f->context()).appendBook(locked), RegistryResult::Ok);
    f->state().bookIndex = position;

    const ModalVisit visit = visitModal(
        kBookInfo, [&] { f->app().loadBookInfo(); },
        [&](QWidget* window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("修改信息"));
            const Boxes boxes(window);
            QCOMPARE(QStringList({boxes.name->text(), boxes.owner->text(), boxes.days->text(),
                                  boxes.password->text(), boxes.note->toPlainText()}),
                     shown);
            QCOMPARE(boxes.password->echoMode(), QLineEdit::Normal);
        });
    QVERIFY(visit.shown);
    QVERIFY(visit.modal);
    // Closing writes nothing.
    QCOMPARE(BookRegistry(f->context()).readBook(1), std::optional<BookRecord>(locked));
    QVERIFY(f->boxes.shown.empty());
}

void TstBookInfo::savesDays_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("captionEnd");

    QTest::newRow("10") << QStringLiteral("10") << 10 << QStringLiteral("  10天假期");
    QTest::newRow("abc") << QStringLiteral("abc") << 0 << QStringLiteral("  1天假期");
    QTest::newRow("3.9") << QStringLiteral("3.9") << 3 << QStringLiteral("  3天假期");
    QTest::newRow("full-width 31") << QStringLiteral("３１") << 31 << QStringLiteral("  31天假期");
}

void TstBookInfo::savesDays() {
    QFETCH(QString, typed);
    QFETCH(int, stored);
    QFETCH(QString, captionEnd);

    auto f = startWith();
    QVERIFY(f);
    QString captionInside;
    const ModalVisit visit = visitModal(
        kBookInfo, [&] { f->app().loadBookInfo(); },
        [&](QWidget* window) {
            const Boxes boxes(window);
            Boxes::retype(boxes.days, typed);
            boxes.save();
            captionInside = f->main().windowTitle();
            // The window keeps what was typed.
            QCOMPARE(boxes.days->text(), typed);
            QVERIFY(window->isVisible());
        });
    QVERIFY(visit.shown);
    QCOMPARE(f->boxes.shown, std::vector<Text>{kSaved});
    BookRecord expected = defaultBook();
    expected.days = stored;
    QCOMPARE(BookRegistry(f->context()).readBook(0), std::optional<BookRecord>(expected));
    QCOMPARE(captionInside, QStringLiteral("WendlowV1.0  小小主人 的 开心假期") + captionEnd);
    QCOMPARE(f->state().holidayDays, qMax(stored, 1));
}

void TstBookInfo::missingNameOrOwner_data() {
    QTest::addColumn<bool>("emptyName");

    QTest::newRow("empty owner") << false;
    QTest::newRow("empty name") << true;
}

// Refused, yet the main window is set up again: date, mood and weather go back to their start.
void TstBookInfo::missingNameOrOwner() {
    QFETCH(bool, emptyName);

    auto f = startWith();
    QVERIFY(f);
    MainWindow& main = f->main();
    main.titleEdit()->setText(QStringLiteral("正在写"));
    main.dateEdit()->setText(QStringLiteral("从前"));
    main.moodCombo()->setCurrentIndex(2);
    main.weatherCombo()->setEditText(QStringLiteral("下雪"));
    f->clock.set(QDateTime(QDate(2010, 2, 15), QTime(20, 30)));

    const ModalVisit visit = visitModal(
        kBookInfo, [&] { f->app().loadBookInfo(); },
        [&](QWidget* window) {
            const Boxes boxes(window);
            Boxes::retype(emptyName ? boxes.name : boxes.owner, QString());
            Boxes::retype(boxes.days, QStringLiteral("10"));
            boxes.save();
        });
    QVERIFY(visit.shown);
    QCOMPARE(f->boxes.shown, std::vector<Text>{kMissing});
    QCOMPARE(BookRegistry(f->context()).readBook(0), std::optional<BookRecord>(defaultBook()));
    QCOMPARE(main.dateEdit()->text(), QStringLiteral("2010年2月15日20时30分"));
    QCOMPARE(main.moodCombo()->currentText(), QStringLiteral("开心"));
    QCOMPARE(main.weatherCombo()->currentText(), QStringLiteral("随人而异"));
    QCOMPARE(main.titleEdit()->text(), QStringLiteral("正在写"));
    QCOMPARE(main.windowTitle(), QStringLiteral("WendlowV1.0  小小主人 的 开心假期  7天假期"));
}

void TstBookInfo::renameTakesTheFolderAlong() {
    auto f = startWith({"一", "二", "三"});
    QVERIFY(f);
    PastEntriesWindow* past = f->app().pastEntriesWindow();
    QVERIFY(past && past->isVisible());
    QCOMPARE(lines(past), names({"一", "二", "三"}));

    const ModalVisit visit = visitModal(
        kBookInfo, [&] { f->app().loadBookInfo(); },
        [&](QWidget* window) {
            const Boxes boxes(window);
            Boxes::retype(boxes.name, QStringLiteral("暑假"));
            boxes.save();
        });
    QVERIFY(visit.shown);
    QCOMPARE(f->boxes.shown, std::vector<Text>{kSaved});
    QCOMPARE(BookRegistry(f->context()).listBookNames(), std::vector<Text>{gbk("暑假")});
    QVERIFY(folderExists(*f, "暑假"));
    QVERIFY(!folderExists(*f, "开心假期"));
    QCOMPARE(titles(*f, gbk("暑假")), names({"一", "二", "三"}));
    QCOMPARE(f->state().bookName, gbk("暑假"));
    QCOMPARE(past->listedBook(), gbk("暑假"));
    QCOMPARE(lines(past), names({"一", "二", "三"}));
    QCOMPARE(f->main().windowTitle(), QStringLiteral("WendlowV1.0  小小主人 的 暑假  7天假期"));

    // New entries go to the renamed book.
    f->main().titleEdit()->setText(QStringLiteral("四"));
    QVERIFY(DiaryStore(f->context()).appendEntry(gbk("暑假"), f->main().entry()));
    QCOMPARE(titles(*f, gbk("暑假")), names({"一", "二", "三", "四"}));
}

void TstBookInfo::renameRefused_data() {
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("makeTargetFolder");
    QTest::addColumn<bool>("shareOldName");
    QTest::addColumn<Text>("message");

    QTest::newRow("folder of the new name exists")
        << QStringLiteral("暑假") << true << false << Text();
    QTest::newRow("another book uses the old name")
        << QStringLiteral("暑假") << false << true << Text();
    QTest::newRow("slash") << QStringLiteral("a/b") << false << false << unsafeBookNameMessage();
    QTest::newRow("parent") << QStringLiteral("..") << false << false << unsafeBookNameMessage();
    QTest::newRow("device") << QStringLiteral("NUL") << false << false << unsafeBookNameMessage();
}

// A refused rename writes nothing and leaves the book's folder where it was.
void TstBookInfo::renameRefused() {
    QFETCH(QString, newName);
    QFETCH(bool, makeTargetFolder);
    QFETCH(bool, shareOldName);
    QFETCH(Text, message);

    auto f = startWith({"一", "二"});
    QVERIFY(f);
    if (makeTargetFolder) {
        QVERIFY(QDir().mkpath(f->path(newName)));
    }
    BookRegistry registry(f->context());
    if (shareOldName) {
        QCOMPARE(registry.appendBook({defaultBook().name, gbk("小明"), Text(), 3, Text()}),
                 RegistryResult::Ok);
    }
    const int books = registry.countBooks();

    const ModalVisit visit = visitModal(
        kBookInfo, [&] { f->app().loadBookInfo(); },
        [&](QWidget* window) {
            const Boxes boxes(window);
            Boxes::retype(boxes.name, newName);
            Boxes::retype(boxes.days, QStringLiteral("10"));
            boxes.save();
            QCOMPARE(boxes.name->text(), newName);
        });
    QVERIFY(visit.shown);
    QCOMPARE(f->boxes.shown.size(), size_t(1));
    QVERIFY(f->boxes.shown.front() != kSaved);
    if (!message.isEmpty()) {
        QCOMPARE(f->boxes.shown.front(), message);
    }
    QCOMPARE(registry.countBooks(), books);
    QCOMPARE(registry.readBook(0), std::optional<BookRecord>(defaultBook()));
    QCOMPARE(titles(*f, defaultBook().name), names({"一", "二"}));
    if (makeTargetFolder) {
        QVERIFY(QDir(f->path(newName)).isEmpty());
    } else if (message.isEmpty()) {
        QVERIFY(!QFileInfo::exists(f->path(newName)));
    }
    QCOMPARE(f->state().bookName, defaultBook().name);
    QCOMPARE(f->main().windowTitle(), QStringLiteral("WendlowV1.0  小小主人 的 开心假期  7天假期"));
}

void TstBookInfo::creditLabels_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QUrl>("page");
    QTest::addColumn<bool>("hand");

    QTest::newRow("标签13") << QStringLiteral("标签13") << credits::kMakersPage << true;
    QTest::newRow("标签14") << QStringLiteral("标签14") << credits::kContributorPage << false;
    QTest::newRow("标签4") << QStringLiteral("标签4") << credits::kSecondContributorPage << true;
    QTest::newRow("标签3") << QStringLiteral("标签3") << credits::kMakersPage << true;
}

void TstBookInfo::creditLabels() {
    QFETCH(QString, label);
    QFETCH(QUrl, page);
    QFETCH(bool, hand);

    auto f = startWith();
    QVERIFY(f);
    const ModalVisit visit = visitModal(
        kBookInfo, [&] { f->app().loadBookInfo(); },
        [&](QWidget* window) {
            auto* credit = window->findChild<QLabel*>(label);
            QVERIFY(credit);
            QVERIFY(!credit->text().isEmpty());
            QCOMPARE(credit->cursor().shape(), hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
            QTest::mouseClick(credit, Qt::RightButton);
            QVERIFY(f->launcher.opened.empty());
            QTest::mouseClick(credit, Qt::LeftButton);
            QCOMPARE(f->launcher.opened, std::vector<QUrl>{page});
        });
    QVERIFY(visit.shown);
    QVERIFY(f->boxes.shown.empty());
}

void TstBookInfo::mainWindowCreditLabel() {
    auto f = startWith();
    QVERIFY(f);
    auto* credit = f->main().findChild<QLabel*>(QStringLiteral("标签5"));
    QVERIFY(credit);
    QCOMPARE(credit->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(credit, Qt::LeftButton);
    if (f->launcher.opened.empty()) {
        QSKIP("the main window's credit label 标签5 opens nothing yet");
    }
    QCOMPARE(f->launcher.opened, std::vector<QUrl>{credits::kMakersPage});
}

QTEST_MAIN(TstBookInfo)
#include "tst_book_info.moc"
