#include "entry_file.h"
#include "main_window.h"
#include "settings.h"
#include "settings_keys.h"

#include "gui_support.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

#include <unistd.h>

using namespace wendlow;
using namespace wendlow::test;

namespace keys = wendlow::settings_keys;

Q_DECLARE_METATYPE(wendlow::DiaryEntry)

namespace {

const QString kExportImport = QStringLiteral("窗口_导入导出");
const Text kExported = gbk("导出成功！");
const Text kExportFailed = gbk("导出失败！");
const Text kImported = gbk("导入成功！");
const Text kImportFailed = gbk("导入失败！");

// The program started with the welcome window suppressed.
std::unique_ptr<ProgramFixture> startProgram() {
    auto f = std::make_unique<ProgramFixture>();
    if (!QDir().mkpath(f->path(QStringLiteral("DATEINI"))) ||
        !writeSetting(keys::infIniPath(f->context()), keys::section(), keys::welcomeHidden(),
                      keys::flagTrue()) ||
        !f->start()) {
        return nullptr;
    }
    return f;
}

// Opens the window with the toolbar's "导入导出" and clicks `button` (按钮1 import, 按钮2 export)
// once inside it. False when the window did not come up modally.
bool clickInWindow(ProgramFixture& f, const QString& button) {
    bool clicked = false;
    const ModalVisit visit = visitModal(
        kExportImport, [&] { f.main().toolbarClicked(2); },
        [&](QWidget* window) {
            auto* b = window->findChild<QAbstractButton*>(button);
            if (b) {
                QTest::mouseClick(b, Qt::LeftButton);
                clicked = true;
            }
        });
    return visit.shown && visit.modal && clicked;
}

bool exportTo(ProgramFixture& f, const std::optional<QString>& path) {
    f.dialogs.savePaths.push_back(path);
    return clickInWindow(f, QStringLiteral("按钮2"));
}

bool importFrom(ProgramFixture& f, const std::optional<QString>& path) {
    f.dialogs.openPaths.push_back(path);
    return clickInWindow(f, QStringLiteral("按钮1"));
}

const Text& separator() {
    static const Text s(36, '-');
    return s;
}

DiaryEntry example() {
    return {gbk("我的一天"), gbk("2010年2月14日9时5分"), gbk("开心"), gbk("随人而异"),
            gbk("今天和爸爸去公园放风筝。\r\n晚上把这件事写进了日记。")};
}

// What the editor holds before an import, so that a refused import can be seen to keep it.
DiaryEntry onScreenBefore() {
    return {gbk("原来的标题"), gbk("2010年1月1日"), gbk("不错"), gbk("晴朗"),
            gbk("原来的内容\r\n第二行")};
}

QStringList items(const QComboBox* combo) {
    QStringList list;
    for (int i = 0; i < combo->count(); ++i) {
        list << combo->itemText(i);
    }
    return list;
}

} // namespace

class TstExportImport : public QObject {
    Q_OBJECT

  private slots:
    void exportWritesTheEntryFile();
    void roundTrip_data();
    void roundTrip();
    void exportWritesThePathAsChosen_data();
    void exportWritesThePathAsChosen();
    void cancelDoesNothing_data();
    void cancelDoesNothing();
    void emptyName();
    void exportThatCannotWrite_data();
    void exportThatCannotWrite();
    void exportIntoReadOnlyFolder();
    void importTakesWhatTheFileHolds_data();
    void importTakesWhatTheFileHolds();
    void malformedImportKeepsTheEditor_data();
    void malformedImportKeepsTheEditor();
};

void TstExportImport::exportWritesTheEntryFile() {
    auto f = startProgram();
    QVERIFY(f);
    f->main().setEntry(example());
    const QString path = f->path(QStringLiteral("我的一天.txt"));
    QVERIFY(exportTo(*f, path));
    QCOMPARE(f->boxes.shown, std::vector<Text>{kExported});
    const QByteArray expected = readFile(fixture(QStringLiteral("entry_example.txt")));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(readFile(path), expected);
    // Export reads the editor and leaves it as it was.
    QCOMPARE(f->main().entry(), example());
}

void TstExportImport::roundTrip_data() {
    QTest::addColumn<DiaryEntry>("entry");

    QTest::newRow("example") << example();
    QTest::newRow("empty title") << DiaryEntry{Text(), gbk("2010年2月14日"), gbk("开心"), gbk("晴"),
                                               gbk("只有内容")};
    QTest::newRow("mood and weather not among the items") << DiaryEntry{
        gbk("怪天"), gbk("某天"), gbk("说不清的心情"), gbk("下了一场鱼"), gbk("真的")};
    QTest::newRow("35 hyphens in the content and a GB18030-only character")
        << DiaryEntry{gbk("符号"), gbk("2010年2月14日"), gbk("开心"), gbk("晴"),
                      Text(35, '-') + gbk("\r\n笑😀") + "\r\n-"};
    QTest::newRow("title longer than a record's field")
        << DiaryEntry{gbk("这是一个比二十个字节长得多的标题，一点都不会被截断"), gbk("2010年"),
                      gbk("开心"), gbk("晴"), gbk("内容")};
}

// Export, change the editor, import: the five texts come back.
void TstExportImport::roundTrip() {
    QFETCH(DiaryEntry, entry);

    auto f = startProgram();
    QVERIFY(f);
    const QStringList moods = items(f->main().moodCombo());
    const QStringList weathers = items(f->main().weatherCombo());
    f->main().setEntry(entry);
    const QString path = f->path(QStringLiteral("entry.txt"));
    QVERIFY(exportTo(*f, path));
    QCOMPARE(readFile(path), formatEntryFile(entry));
    if (entry.title.isEmpty()) {
        QVERIFY(readFile(path).startsWith("\r\n"));
    }

    f->main().setEntry(onScreenBefore());
    QVERIFY(importFrom(*f, path));
    QCOMPARE(f->boxes.shown, (std::vector<Text>{kExported, kImported}));
    QCOMPARE(f->main().entry(), entry);
    // Texts go into the edit fields; the item lists stay as they were.
    QCOMPARE(items(f->main().moodCombo()), moods);
    QCOMPARE(items(f->main().weatherCombo()), weathers);
}

void TstExportImport::exportWritesThePathAsChosen_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("oldBytes");

    QTest::newRow("longer file there")
        << QStringLiteral("old.txt") << QByteArray(8192, 'x') + "END OF THE OLD FILE";
    QTest::newRow("shorter file there") << QStringLiteral("old.txt") << QByteArray("short");
    QTest::newRow("no extension") << QStringLiteral("日记") << QByteArray();
    QTest::newRow("two dots") << QStringLiteral("日记.备份.txt") << QByteArray();
}

// The file is written exactly at the chosen path, and an old file there is replaced whole.
void TstExportImport::exportWritesThePathAsChosen() {
    QFETCH(QString, name);
    QFETCH(QByteArray, oldBytes);

    auto f = startProgram();
    QVERIFY(f);
    const QString folder = f->path(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QLatin1Char('/') + name;
    if (!oldBytes.isEmpty()) {
        QVERIFY(writeFile(path, oldBytes));
    }
    f->main().setEntry(example());
    QVERIFY(exportTo(*f, path));
    QCOMPARE(f->boxes.shown, std::vector<Text>{kExported});
    QCOMPARE(readFile(path), formatEntryFile(example()));
    // Nothing else appears next to it: no added extension, no temporary file left behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{name});
}

void TstExportImport::cancelDoesNothing_data() {
    QTest::addColumn<bool>("exporting");

    QTest::newRow("export") << true;
    QTest::newRow("import") << false;
}

void TstExportImport::cancelDoesNothing() {
    QFETCH(bool, exporting);

    auto f = startProgram();
    QVERIFY(f);
    f->main().setEntry(example());
    const QStringList before = QDir(f->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QVERIFY(exporting ? exportTo(*f, std::nullopt) : importFrom(*f, std::nullopt));
    QVERIFY(f->boxes.shown.empty());
    QCOMPARE(f->main().entry(), example());
    QCOMPARE(QDir(f->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void TstExportImport::emptyName() {
    auto f = startProgram();
    QVERIFY(f);
    f->main().setEntry(example());
    const QStringList before = QDir(f->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QVERIFY(exportTo(*f, QString()));
    QVERIFY(importFrom(*f, QString()));
    QCOMPARE(f->boxes.shown, (std::vector<Text>{kExportFailed, kImportFailed}));
    QCOMPARE(f->main().entry(), example());
    QCOMPARE(QDir(f->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void TstExportImport::exportThatCannotWrite_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("untouched");

    // Paths relative to the program directory; `untouched` is a file whose bytes must stay.
    QTest::newRow("folder that does not exist") << QStringLiteral("missing/entry.txt") << QString();
    QTest::newRow("path is a folder") << QStringLiteral("folder") << QString();
    QTest::newRow("folder is a file")
        << QStringLiteral("plain.txt/entry.txt") << QStringLiteral("plain.txt");
    // Nobody, root included, may create files there.
    QTest::newRow("system folder without files")
        << QStringLiteral("/proc/wendlow-entry.txt") << QString();
}

void TstExportImport::exportThatCannotWrite() {
    QFETCH(QString, target);
    QFETCH(QString, untouched);

    auto f = startProgram();
    QVERIFY(f);
    QVERIFY(QDir().mkpath(f->path(QStringLiteral("folder"))));
    const QByteArray oldBytes = "bytes that were there before";
    if (!untouched.isEmpty()) {
        QVERIFY(writeFile(f->path(untouched), oldBytes));
    }
    const QString path = target.startsWith(QLatin1Char('/')) ? target : f->path(target);
    f->main().setEntry(example());
    QVERIFY(exportTo(*f, path));
    QCOMPARE(f->boxes.shown, std::vector<Text>{kExportFailed});
    QVERIFY(!QFileInfo(path).isFile());
    QVERIFY(QFileInfo(f->path(QStringLiteral("folder"))).isDir());
    if (!untouched.isEmpty()) {
        QCOMPARE(readFile(f->path(untouched)), oldBytes);
    }
}

// A folder the user may not write into: the old file there keeps every byte.
void TstExportImport::exportIntoReadOnlyFolder() {
    auto f = startProgram();
    QVERIFY(f);
    const QString folder = f->path(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/entry.txt");
    const QByteArray oldBytes = QByteArray(4096, 'o');
    QVERIFY(writeFile(path, oldBytes));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (geteuid() == 0) {
        QSKIP("root writes into read-only folders; the other unwritable targets cover this");
    }
    f->main().setEntry(example());
    QVERIFY(exportTo(*f, path));
    QCOMPARE(f->boxes.shown, std::vector<Text>{kExportFailed});
    QCOMPARE(readFile(path), oldBytes);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("entry.txt")});
}

void TstExportImport::importTakesWhatTheFileHolds_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<DiaryEntry>("expected");

    QTest::newRow("40 hyphens in the content")
        << readFile(fixture(QStringLiteral("entry_hyphen_run.txt")))
        << DiaryEntry{gbk("画画"), gbk("2010年2月16日"), gbk("平静"), gbk("多云"),
                      gbk("上面是标题。\r\n")};
    QTest::newRow("zero byte in the content")
        << readFile(fixture(QStringLiteral("entry_zero_byte.txt")))
        << DiaryEntry{gbk("读书"), gbk("2010年2月17日"), gbk("开心"), gbk("小雨"),
                      gbk("读完了一本书。")};
    QTest::newRow("six header lines")
        << readFile(fixture(QStringLiteral("entry_six_header_lines.txt")))
        << DiaryEntry{gbk("运动会"), gbk("2010年2月15日"), gbk("激动"), gbk("晴"),
                      gbk("我跑了第一名！")};
    QTest::newRow("unknown mood and weather")
        << gbk("题\r\n日\r\n心情古怪\r\n天上下鱼\r\n") + separator() + gbk("内容")
        << DiaryEntry{gbk("题"), gbk("日"), gbk("心情古怪"), gbk("天上下鱼"), gbk("内容")};
    // The piece between two separators is the content, even when it is empty.
    QTest::newRow("empty piece between two separators")
        << gbk("题\r\n日\r\n开心\r\n晴\r\n") + separator() + separator() + gbk("不读")
        << DiaryEntry{gbk("题"), gbk("日"), gbk("开心"), gbk("晴"), Text()};
    QTest::newRow("empty header lines") << "\r\n\r\n\r\n\r\n" + separator() + "x"
                                        << DiaryEntry{Text(), Text(), Text(), Text(), Text("x")};
}

void TstExportImport::importTakesWhatTheFileHolds() {
    QFETCH(QByteArray, bytes);
    QFETCH(DiaryEntry, expected);

    QVERIFY(!bytes.isEmpty());
    auto f = startProgram();
    QVERIFY(f);
    const QStringList moods = items(f->main().moodCombo());
    const QStringList weathers = items(f->main().weatherCombo());
    const int moodIndex = f->main().moodCombo()->currentIndex();
    f->main().setEntry(onScreenBefore());
    const QString path = f->path(QStringLiteral("in.txt"));
    QVERIFY(writeFile(path, bytes));
    QVERIFY(importFrom(*f, path));
    QCOMPARE(f->boxes.shown, std::vector<Text>{kImported});
    QCOMPARE(f->main().entry(), expected);
    QCOMPARE(f->main().moodCombo()->currentText(), toUnicode(expected.mood));
    QCOMPARE(items(f->main().moodCombo()), moods);
    QCOMPARE(items(f->main().weatherCombo()), weathers);
    QCOMPARE(f->main().moodCombo()->currentIndex(), moodIndex);
    // The file is only read.
    QCOMPARE(readFile(path), bytes);
}

void TstExportImport::malformedImportKeepsTheEditor_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("isFolder");

    const Text header = gbk("题\r\n日\r\n开心\r\n晴\r\n");
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("no separator") << header + gbk("内容") << false;
    QTest::newRow("35 hyphens") << header + Text(35, '-') + gbk("内容") << false;
    QTest::newRow("three header lines")
        << gbk("题\r\n日\r\n开心\r\n") + separator() + gbk("内容") << false;
    QTest::newRow("nothing after the separator") << header + separator() << false;
    QTest::newRow("zero byte before the separator")
        << gbk("题\r\n日\r\n") + QByteArray(1, '\0') + "\r\n\r\n" + separator() + gbk("内容")
        << false;
    QTest::newRow("separator only inside a character")
        << header + "\xb0" + separator() + gbk("内容") << false;
    QTest::newRow("folder instead of a file") << QByteArray() << true;
}

// A file that is not an entry file is refused and the editor stays as it was.
void TstExportImport::malformedImportKeepsTheEditor() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, isFolder);

    auto f = startProgram();
    QVERIFY(f);
    f->main().setEntry(onScreenBefore());
    const QString path = f->path(QStringLiteral("in.txt"));
    QVERIFY(isFolder ? QDir().mkpath(path) : writeFile(path, bytes));
    QVERIFY(importFrom(*f, path));
    QCOMPARE(f->boxes.shown, std::vector<Text>{kImportFailed});
    QCOMPARE(f->main().entry(), onScreenBefore());
    // The program goes on: the next good file is imported.
    QVERIFY(writeFile(f->path(QStringLiteral("good.txt")), formatEntryFile(example())));
    QVERIFY(importFrom(*f, f->path(QStringLiteral("good.txt"))));
    QCOMPARE(f->main().entry(), example());
}

QTEST_MAIN(TstExportImport)
#include "tst_export_import.moc"
