#include "settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace wendlow;

namespace {

const QByteArray kTrue("\xD5\xE6");                          // 真
const QByteArray kFalse("\xBC\xD9");                         // 假
const QByteArray kXiaoMing("\xD0\xA1\xC3\xF7");              // 小明
const QByteArray kTrailUpperA("\x81\x41");                   // 丄
const QByteArray kTrailLowerA("\x81\x61");                   // 乤
const QByteArray kBracketTrails("\x94\x5B\x9C\x5C\x9B\x5D"); // 擺淺沒: trails '[', '\', ']'

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString fixture(const QString& name) {
    return QStringLiteral(WENDLOW_FIXTURES "/") + name;
}

// The file's non-empty lines, whatever the line ends.
QList<QByteArray> lines(const QString& path) {
    QList<QByteArray> out;
    for (QByteArray line : readFile(path).split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (!line.isEmpty()) {
            out.append(line);
        }
    }
    return out;
}

QByteArray unixLineEnds(QByteArray bytes) {
    return bytes.replace("\r\n", "\n");
}

} // namespace

class TstSettings : public QObject {
    Q_OBJECT

  private slots:
    void init();

    void readMissing_data();
    void readMissing();
    void writeCreatesFile();
    void writeReplacesValue_data();
    void writeReplacesValue();
    void writeKeepsOtherSettings();
    void namesIgnoreAsciiCase_data();
    void namesIgnoreAsciiCase();
    void caseVariantsShareOneEntry();
    void gbkNamesRoundTrip_data();
    void gbkNamesRoundTrip();
    void longValueIsCut_data();
    void longValueIsCut();
    void writeWithoutDirectoryWritesNothing();
    void writeLeavesNoTemporaryFile();
    void failedWriteKeepsOldFile();
    void gbkFixtureReadsByteExact();
    void gbkFixtureKeepsOtherValues();

  private:
    QString path(const QString& name = QStringLiteral("Inf.ini")) const {
        return dir_->filePath(name);
    }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TstSettings::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TstSettings::readMissing_data() {
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("no file") << false << QByteArray();
    QTest::newRow("empty file") << true << QByteArray();
    QTest::newRow("other section") << true << QByteArray("[Other]\nName=x\n");
    QTest::newRow("other key") << true << QByteArray("[Infor]\nJiLu=x\n");
    QTest::newRow("key outside any section") << true << QByteArray("Name=x\n[Infor]\nJiLu=y\n");
    QTest::newRow("not an ini file") << true << QByteArray("\x00\x01\xFF garbage", 12);
}

void TstSettings::readMissing() {
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, content);
    if (fileExists) {
        QVERIFY(writeFile(path(), content));
    }
    QCOMPARE(readSetting(path(), "Infor", "Name"), Text());
    // Reading never creates or changes the file.
    QCOMPARE(QFile::exists(path()), fileExists);
    if (fileExists) {
        QCOMPARE(readFile(path()), content);
    }
}

void TstSettings::writeCreatesFile() {
    QVERIFY(writeSetting(path(), "Infor", "xuanzhong", kTrue));
    QCOMPARE(lines(path()), (QList<QByteArray>{"[Infor]", "xuanzhong=" + kTrue}));
    QCOMPARE(readSetting(path(), "Infor", "xuanzhong"), kTrue);
}

void TstSettings::writeReplacesValue_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("flag turned") << kFalse << kTrue;
    QTest::newRow("longer value") << QByteArray("1.0") << kXiaoMing + kXiaoMing;
    QTest::newRow("emptied") << kXiaoMing << QByteArray();
}

void TstSettings::writeReplacesValue() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QVERIFY(writeSetting(path(), "Infor", "Name", first));
    QVERIFY(writeSetting(path(), "Infor", "Name", second));
    QCOMPARE(readSetting(path(), "Infor", "Name"), second);
    QCOMPARE(lines(path()), (QList<QByteArray>{"[Infor]", "Name=" + second}));
}

void TstSettings::writeKeepsOtherSettings() {
    const QByteArray before = "[Infor]\r\n"
                              "banben=1.0\r\n"
                              "xuanzhong=" +
                              kFalse +
                              "\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "xuanzhong=" +
                              kXiaoMing + "\r\n";
    QVERIFY(writeFile(path(), before));

    QVERIFY(writeSetting(path(), "Infor", "xuanzhong", kTrue));
    QVERIFY(writeSetting(path(), "Infor", "Name", kXiaoMing));
    QVERIFY(writeSetting(path(), "Third", "JiLu", kTrue));

    QCOMPARE(readSetting(path(), "Infor", "banben"), Text("1.0"));
    QCOMPARE(readSetting(path(), "Infor", "xuanzhong"), kTrue);
    QCOMPARE(readSetting(path(), "Infor", "Name"), kXiaoMing);
    QCOMPARE(readSetting(path(), "Other", "xuanzhong"), kXiaoMing);
    QCOMPARE(readSetting(path(), "Third", "JiLu"), kTrue);

    const QList<QByteArray> got = lines(path());
    for (const QByteArray& line :
         {QByteArray("[Infor]"), QByteArray("[Other]"), QByteArray("[Third]"),
          QByteArray("banben=1.0"), "xuanzhong=" + kTrue, "xuanzhong=" + kXiaoMing,
          "Name=" + kXiaoMing, "JiLu=" + kTrue}) {
        QVERIFY2(got.count(line) == 1, line.constData());
    }
    QCOMPARE(got.size(), 8);
}

void TstSettings::namesIgnoreAsciiCase_data() {
    QTest::addColumn<QByteArray>("writeSection");
    QTest::addColumn<QByteArray>("writeKey");
    QTest::addColumn<QByteArray>("readSection");
    QTest::addColumn<QByteArray>("readKey");
    QTest::addColumn<bool>("found");

    const QByteArray s("Infor");
    QTest::newRow("same spelling")
        << s << QByteArray("xuanzhong") << s << QByteArray("xuanzhong") << true;
    QTest::newRow("section in lower case")
        << s << QByteArray("xuanzhong") << QByteArray("infor") << QByteArray("xuanzhong") << true;
    QTest::newRow("key in upper case")
        << s << QByteArray("xuanzhong") << s << QByteArray("XUANZHONG") << true;
    QTest::newRow("both mixed") << QByteArray("INFOR") << QByteArray("JiLu") << QByteArray("iNfOr")
                                << QByteArray("jilU") << true;
    QTest::newRow("other name") << s << QByteArray("Name") << s << QByteArray("Names") << false;

    // A trail byte in the range of ASCII capitals is part of a character, not a letter.
    QTest::newRow("gbk key, same character") << s << kTrailUpperA << s << kTrailUpperA << true;
    QTest::newRow("gbk key, trail byte A vs a") << s << kTrailUpperA << s << kTrailLowerA << false;
    QTest::newRow("gbk key, trail byte a vs A") << s << kTrailLowerA << s << kTrailUpperA << false;
    QTest::newRow("gbk section, trail byte A vs a")
        << kTrailUpperA << QByteArray("k") << kTrailLowerA << QByteArray("k") << false;
    QTest::newRow("gbk section, trail byte a vs A")
        << kTrailLowerA << QByteArray("k") << kTrailUpperA << QByteArray("k") << false;

    // Letters next to two-byte characters still fold.
    QTest::newRow("letter after gbk")
        << s << QByteArray(kTrailUpperA + "A") << s << QByteArray(kTrailUpperA + "a") << true;
    QTest::newRow("letter before gbk")
        << s << QByteArray("A" + kTrailUpperA) << s << QByteArray("a" + kTrailUpperA) << true;
    QTest::newRow("letters between gbk")
        << kXiaoMing + "AB" + kTrailUpperA << QByteArray("k") << kXiaoMing + "ab" + kTrailUpperA
        << QByteArray("K") << true;
}

void TstSettings::namesIgnoreAsciiCase() {
    QFETCH(QByteArray, writeSection);
    QFETCH(QByteArray, writeKey);
    QFETCH(QByteArray, readSection);
    QFETCH(QByteArray, readKey);
    QFETCH(bool, found);
    QVERIFY(writeSetting(path(), writeSection, writeKey, kXiaoMing));
    QCOMPARE(readSetting(path(), readSection, readKey), found ? kXiaoMing : Text());
}

void TstSettings::caseVariantsShareOneEntry() {
    QVERIFY(writeSetting(path(), "Infor", "xuanzhong", kFalse));
    QVERIFY(writeSetting(path(), "INFOR", "XuanZhong", kTrue));
    QCOMPARE(readSetting(path(), "infor", "xuanzhong"), kTrue);
    QCOMPARE(lines(path()).size(), 2);

    // Twins differing only in a trail byte's case are two keys.
    QVERIFY(writeSetting(path(), "Infor", kTrailUpperA, "1"));
    QVERIFY(writeSetting(path(), "Infor", kTrailLowerA, "2"));
    QCOMPARE(readSetting(path(), "Infor", kTrailUpperA), Text("1"));
    QCOMPARE(readSetting(path(), "Infor", kTrailLowerA), Text("2"));
    QCOMPARE(lines(path()).size(), 4);
}

void TstSettings::gbkNamesRoundTrip_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("chinese key") << QByteArray("Infor") << gbk("名字") << kXiaoMing;
    QTest::newRow("chinese section") << gbk("信息") << QByteArray("Name") << kXiaoMing;
    QTest::newRow("value with bracket-like trails")
        << QByteArray("Infor") << QByteArray("Name") << kBracketTrails;
    QTest::newRow("key with bracket-like trails")
        << QByteArray("Infor") << kBracketTrails << kXiaoMing;
    QTest::newRow("section with bracket-like trails")
        << kBracketTrails << QByteArray("Name") << kXiaoMing;
    QTest::newRow("four-byte form")
        << QByteArray("Infor") << QByteArray("Name") << fromUnicode(QStringLiteral("小明😀"));
}

void TstSettings::gbkNamesRoundTrip() {
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QVERIFY(writeFile(path(), "[Infor]\nbanben=1.0\n"));
    QVERIFY(writeSetting(path(), section, key, value));
    QCOMPARE(readSetting(path(), section, key), value);
    QCOMPARE(readSetting(path(), "Infor", "banben"), Text("1.0"));
    // Writing it again finds the same entry instead of adding one.
    QVERIFY(writeSetting(path(), section, key, value));
    QCOMPARE(readSetting(path(), section, key), value);
    QCOMPARE(lines(path()).size(), section == "Infor" ? 3 : 4);
}

void TstSettings::longValueIsCut_data() {
    QTest::addColumn<int>("length");
    QTest::newRow("below the limit") << 10238;
    QTest::newRow("at the limit") << 10239;
    QTest::newRow("one over") << 10240;
    QTest::newRow("far over") << 30000;
}

void TstSettings::longValueIsCut() {
    QFETCH(int, length);
    // Two-byte characters, so that the cut at an odd length splits one; a byte cut is intended.
    const QByteArray value = gbk("中").repeated(length / 2 + 1).left(length);
    QVERIFY(writeFile(path(), "[Infor]\nName=" + value + "\nJiLu=" + kTrue + "\n"));
    QCOMPARE(readSetting(path(), "Infor", "Name"), value.left(10239));
    QCOMPARE(readSetting(path(), "Infor", "JiLu"), kTrue);

    QVERIFY(writeSetting(path(), "Infor", "Name2", value));
    QCOMPARE(readSetting(path(), "Infor", "Name2"), value.left(10239));
}

void TstSettings::writeWithoutDirectoryWritesNothing() {
    const QString file = path(QStringLiteral("DATEINI/Inf.ini"));
    QVERIFY(!writeSetting(file, "Infor", "xuanzhong", kTrue));
    QVERIFY(!QFile::exists(file));
    QVERIFY(!QFile::exists(path(QStringLiteral("DATEINI"))));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(readSetting(file, "Infor", "xuanzhong"), Text());
}

void TstSettings::writeLeavesNoTemporaryFile() {
    const auto entries = [this] {
        return QDir(dir_->path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    QVERIFY(writeSetting(path(), "Infor", "banben", "1.0"));
    QCOMPARE(entries(), QStringList{QStringLiteral("Inf.ini")});
    QVERIFY(writeSetting(path(), "Infor", "xuanzhong", kTrue));
    QCOMPARE(entries(), QStringList{QStringLiteral("Inf.ini")});
}

void TstSettings::failedWriteKeepsOldFile() {
    const QByteArray before = "[Infor]\nxuanzhong=" + kFalse + "\n";
    QVERIFY(writeFile(path(), before));
    QFile::Permissions writable = QFile::permissions(dir_->path());
    QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool canStillWrite = QFile(path(QStringLiteral("probe"))).open(QIODevice::WriteOnly);
    QFile::remove(path(QStringLiteral("probe")));
    if (canStillWrite) {
        QFile::setPermissions(dir_->path(), writable);
        QSKIP("directory permissions are not enforced for this user");
    }
    const bool written = writeSetting(path(), "Infor", "xuanzhong", kTrue);
    QFile::setPermissions(dir_->path(), writable);
    QVERIFY(!written);
    QCOMPARE(readFile(path()), before);
}

void TstSettings::gbkFixtureReadsByteExact() {
    // A file as the program's Windows predecessor left it: GBK with CRLF line ends.
    const QString file = fixture(QStringLiteral("settings_date.ini"));
    QVERIFY(QFile::exists(file));
    QCOMPARE(readSetting(file, "Infor", "Name"), kXiaoMing);
    QCOMPARE(readSetting(file, "Infor", "JiLu"), kTrue);
    QCOMPARE(readSetting(file, "infor", "jilu"), kTrue);
    QCOMPARE(readSetting(file, "Infor", "xuanzhong"), Text());
}

void TstSettings::gbkFixtureKeepsOtherValues() {
    const QString file = path(QStringLiteral("Date.ini"));
    QVERIFY(QFile::copy(fixture(QStringLiteral("settings_date.ini")), file));
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));

    QVERIFY(writeSetting(file, "Infor", "Name", kBracketTrails));

    // Line ends are the platform's; everything else must match byte for byte.
    QCOMPARE(unixLineEnds(readFile(file)),
             unixLineEnds(readFile(fixture(QStringLiteral("settings_date_renamed.ini")))));
    QCOMPARE(readSetting(file, "Infor", "Name"), kBracketTrails);
    QCOMPARE(readSetting(file, "Infor", "JiLu"), kTrue);
}

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
