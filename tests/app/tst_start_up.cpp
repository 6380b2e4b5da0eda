#include "book_registry.h"
#include "gui_support.h"
#include "settings.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

using namespace wendlow;
using namespace wendlow::test;

namespace {

const QDateTime kStart(QDate(2010, 2, 14), QTime(9, 5, 7));

QString infIni(ProgramFixture& fx) {
    return fx.path(QStringLiteral("DATEINI/Inf.ini"));
}

Text banben(ProgramFixture& fx) {
    return readSetting(infIni(fx), "Infor", "banben");
}

QLineEdit* edit(ProgramFixture& fx, const char* name) {
    return fx.main().findChild<QLineEdit*>(QString::fromUtf8(name));
}

QComboBox* combo(ProgramFixture& fx, const char* name) {
    return fx.main().findChild<QComboBox*>(QString::fromUtf8(name));
}

QPlainTextEdit* content(ProgramFixture& fx) {
    return fx.main().findChild<QPlainTextEdit*>(QStringLiteral("Text_内容"));
}

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void firstStartInAnEmptyDirectory();
    void zeroHolidayDaysShowAsOne();
    void versionIsRewrittenAtEveryRun_data();
    void versionIsRewrittenAtEveryRun();
    void rerunKeepsTheEntryAndResetsTheRest();
    void damagedRegistryIsKeptAside();
    void unwritableDirectoryStopsTheStart_data();
    void unwritableDirectoryStopsTheStart();
    void closingTheMainWindowEndsTheProgram_data();
    void closingTheMainWindowEndsTheProgram();
};

void TestStartUp::initTestCase() {
    // The program ends on the main window's signal, not when Qt sees the last window go.
    qApp->setQuitOnLastWindowClosed(false);
}

void TestStartUp::firstStartInAnEmptyDirectory() {
    ProgramFixture fx;
    fx.clock.set(kStart);
    QVERIFY(fx.start());

    QVERIFY(fx.boxes.shown.empty());
    QVERIFY(fx.fatal.calls.empty());
    QVERIFY(QFileInfo(fx.path(QStringLiteral("DATEINI/Inf.edb"))).isFile());
    QVERIFY(QFileInfo(infIni(fx)).isFile());
    QVERIFY(QFileInfo(fx.path(QStringLiteral("开心假期/Diary.edb"))).isFile());
    QCOMPARE(banben(fx), Text("1.0"));
    QCOMPARE(BookRegistry(fx.context()).readBook(0), std::optional<BookRecord>(defaultBook()));

    QCOMPARE(fx.main().windowTitle(), QStringLiteral("WendlowV1.0  小小主人 的 开心假期  7天假期"));
    QVERIFY(fx.main().isVisible());
    QCOMPARE(edit(fx, "Text_日期")->text(), toUnicode(formatDateTime(kStart)));
    QCOMPARE(edit(fx, "Text_日期")->text(), QStringLiteral("2010年2月14日9时5分7秒"));
    QCOMPARE(edit(fx, "Text_标题")->text(), QStringLiteral("我的一天"));
    QCOMPARE(content(fx)->toPlainText(), QString());
    QCOMPARE(combo(fx, "组合Text_心情")->currentText(), QStringLiteral("开心"));
    QCOMPARE(combo(fx, "组合Text_天气")->currentText(), QStringLiteral("随人而异"));

    const ProgramState& state = fx.state();
    QCOMPARE(state.bookName, gbk("开心假期"));
    QCOMPARE(state.ownerName, gbk("小小主人"));
    QCOMPARE(state.bookNote, gbk("这个假期我要快乐！"));
    QCOMPARE(state.holidayDays, 7);
    QCOMPARE(state.bookIndex, 0);
    QCOMPARE(state.entryCountText, Text("0"));

    // The past-entries window opens beside the main window, not modally.
    PastEntriesWindow* past = fx.app().pastEntriesWindow();
    QVERIFY(past);
    QVERIFY(past->isVisible());
    QVERIFY(!past->isModal());
    const QRect outer = fx.main().frameGeometry();
    QCOMPARE(past->pos(), QPoint(outer.left() + outer.width() + 11, outer.top()));
    QCOMPARE(past->list()->count(), 0);
}

void TestStartUp::zeroHolidayDaysShowAsOne() {
    ProgramFixture fx;
    BookRegistry registry(fx.context());
    QCOMPARE(registry.createRegistry().outcome, RegistryCheck::Outcome::Created);
    QCOMPARE(registry.updateBook(0, {gbk("寒假"), gbk("小明"), Text(), 0, Text()}),
             RegistryResult::Ok);

    QVERIFY(fx.start());
    QCOMPARE(fx.main().windowTitle(), QStringLiteral("WendlowV1.0  小明 的 寒假  1天假期"));
    QCOMPARE(fx.state().holidayDays, 1);

    // Reloading the book brings the 0 back; the set-up turns it into 1 again.
    fx.app().prepareMainWindow();
    QCOMPARE(fx.state().holidayDays, 1);
    QCOMPARE(fx.main().windowTitle(), QStringLiteral("WendlowV1.0  小明 的 寒假  1天假期"));
    // The registry itself keeps its 0.
    QCOMPARE(registry.readBook(0)->days, 0);
}

void TestStartUp::versionIsRewrittenAtEveryRun_data() {
    QTest::addColumn<Text>("stored");
    QTest::newRow("other version") << Text("2.0");
    QTest::newRow("empty value") << Text();
    QTest::newRow("with a blank") << Text("1.0 ");
}

void TestStartUp::versionIsRewrittenAtEveryRun() {
    QFETCH(Text, stored);
    ProgramFixture fx;
    QVERIFY(QDir().mkpath(fx.path(QStringLiteral("DATEINI"))));
    QVERIFY(writeSetting(infIni(fx), "Infor", "banben", stored));

    QVERIFY(fx.start());
    QCOMPARE(banben(fx), Text("1.0"));
    QVERIFY(fx.main().windowTitle().startsWith(QStringLiteral("WendlowV1.0  ")));

    QVERIFY(writeSetting(infIni(fx), "Infor", "banben", stored));
    fx.app().prepareMainWindow();
    QCOMPARE(banben(fx), Text("1.0"));
    QVERIFY(fx.main().windowTitle().startsWith(QStringLiteral("WendlowV1.0  ")));
}

void TestStartUp::rerunKeepsTheEntryAndResetsTheRest() {
    ProgramFixture fx;
    fx.clock.set(kStart);
    QVERIFY(fx.start());
    PastEntriesWindow* past = fx.app().pastEntriesWindow();

    edit(fx, "Text_标题")->setText(QStringLiteral("去公园"));
    edit(fx, "Text_日期")->setText(QStringLiteral("昨天"));
    combo(fx, "组合Text_心情")->setEditText(QStringLiteral("很累"));
    combo(fx, "组合Text_天气")->setCurrentIndex(2);
    content(fx)->setPlainText(QStringLiteral("上午去公园\n下午回家"));

    // Another book becomes current, as opening a book does before it runs the set-up.
    BookRegistry registry(fx.context());
    QCOMPARE(registry.appendBook({gbk("暑假日记"), gbk("小明"), Text(), 30, Text()}),
             RegistryResult::Ok);
    fx.state().bookIndex = 1;
    const QDateTime later(QDate(2010, 2, 15), QTime(20, 0));
    fx.clock.set(later);
    fx.app().prepareMainWindow();

    QCOMPARE(edit(fx, "Text_标题")->text(), QStringLiteral("去公园"));
    QCOMPARE(content(fx)->toPlainText(), QStringLiteral("上午去公园\n下午回家"));
    QCOMPARE(edit(fx, "Text_日期")->text(), QStringLiteral("2010年2月15日20时"));
    QCOMPARE(combo(fx, "组合Text_心情")->currentText(), QStringLiteral("开心"));
    QCOMPARE(combo(fx, "组合Text_天气")->currentText(), QStringLiteral("随人而异"));
    QCOMPARE(fx.main().windowTitle(), QStringLiteral("WendlowV1.0  小明 的 暑假日记  30天假期"));
    QCOMPARE(fx.state().bookName, gbk("暑假日记"));
    // Still the one past-entries window, and no message on the way.
    QCOMPARE(fx.app().pastEntriesWindow(), past);
    QVERIFY(past->isVisible());
    QVERIFY(fx.boxes.shown.empty());
}

void TestStartUp::damagedRegistryIsKeptAside() {
    ProgramFixture fx;
    fx.clock.set(kStart);
    const QByteArray garbage("this is no diary registry, just some bytes\n");
    QVERIFY(QDir().mkpath(fx.path(QStringLiteral("DATEINI"))));
    QVERIFY(writeFile(fx.path(QStringLiteral("DATEINI/Inf.edb")), garbage));

    QVERIFY(fx.start());

    const QString kept = fx.path(QStringLiteral("DATEINI/Inf.edb.damaged-20100214-090507"));
    QCOMPARE(readFile(kept), garbage);
    QCOMPARE(fx.boxes.shown.size(), size_t(1));
    QVERIFY2(fx.boxes.shown[0].contains(fromUnicode(QDir::toNativeSeparators(kept))),
             toUnicode(fx.boxes.shown[0]).toUtf8());
    QVERIFY(fx.fatal.calls.empty());
    // A fresh registry took its place, and the program carries on with the default book.
    QCOMPARE(BookRegistry(fx.context()).readBook(0), std::optional<BookRecord>(defaultBook()));
    QCOMPARE(fx.main().windowTitle(), QStringLiteral("WendlowV1.0  小小主人 的 开心假期  7天假期"));

    // The next set-up finds the fresh registry and says nothing more.
    fx.app().prepareMainWindow();
    QCOMPARE(fx.boxes.shown.size(), size_t(1));
    QCOMPARE(QDir(fx.path(QStringLiteral("DATEINI")))
                 .entryList({QStringLiteral("Inf.edb.damaged-*")}, QDir::Files)
                 .size(),
             1);
}

void TestStartUp::unwritableDirectoryStopsTheStart_data() {
    QTest::addColumn<bool>("readOnlyDirectory");
    QTest::newRow("DATEINI is a file") << false;
    QTest::newRow("read-only program directory") << true;
}

void TestStartUp::unwritableDirectoryStopsTheStart() {
    QFETCH(bool, readOnlyDirectory);
    ProgramFixture fx;
    const QString dir = fx.path();
    QFile::Permissions before = QFile::permissions(dir);
    auto restore = qScopeGuard([&] { QFile::setPermissions(dir, before); });
    if (readOnlyDirectory) {
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                               QFile::ExeGroup | QFile::ReadOther |
                                               QFile::ExeOther));
        // Root writes through the missing write permission.
        if (QDir().mkdir(fx.path(QStringLiteral("probe")))) {
            QSKIP("the directory stays writable for this user");
        }
    } else {
        QVERIFY(writeFile(fx.path(QStringLiteral("DATEINI")), "not a folder"));
    }

    QVERIFY(!fx.start());

    QCOMPARE(fx.boxes.shown.size(), size_t(1));
    QVERIFY2(fx.boxes.shown[0].contains(fromUnicode(QDir::toNativeSeparators(dir))),
             toUnicode(fx.boxes.shown[0]).toUtf8());
    QCOMPARE(fx.boxes.buttonsShown[0], MessageBoxes::Ok);
    QVERIFY(fx.fatal.calls.empty());
    QVERIFY(!fx.app().mainWindow());
    QVERIFY(!fx.app().pastEntriesWindow());
    if (!readOnlyDirectory) {
        QCOMPARE(readFile(fx.path(QStringLiteral("DATEINI"))), QByteArray("not a folder"));
    }
    QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("开心假期"))));
}

void TestStartUp::closingTheMainWindowEndsTheProgram_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("close box") << QStringLiteral("close");
    QTest::newRow("Esc in the window") << QStringLiteral("Esc");
    QTest::newRow("Esc in the content box") << QStringLiteral("Esc in content");
}

void TestStartUp::closingTheMainWindowEndsTheProgram() {
    QFETCH(QString, how);
    ProgramFixture fx;
    QVERIFY(fx.start());
    QSignalSpy finished(&fx.app(), &Application::finished);
    QPointer<MainWindow> main = fx.app().mainWindow();
    QPointer<PastEntriesWindow> past = fx.app().pastEntriesWindow();
    QVERIFY(past);

    if (how == QLatin1String("close")) {
        QVERIFY(main->close());
    } else if (how == QLatin1String("Esc")) {
        QTest::keyClick(main.data(), Qt::Key_Escape);
    } else {
        QTest::keyClick(content(fx), Qt::Key_Escape);
    }

    QCOMPARE(finished.count(), 1);
    // Every other window goes with it.
    QTRY_VERIFY(main.isNull());
    QTRY_VERIFY(past.isNull());
    QVERIFY(fx.boxes.shown.empty());
    QCOMPARE(finished.count(), 1);
}

QTEST_MAIN(TestStartUp)
#include "tst_start_up.moc"
