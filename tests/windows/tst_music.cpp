#include "gui_support.h"
#include "sine_wav.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QtTest>

#include <climits>
#include <cmath>
#include <numbers>

using namespace wendlow;
using namespace wendlow::test;

namespace {

// Longer than any wait here needs for sub-second files; only a hang reaches it.
constexpr int kPatience = 60000;

// Frames one pass of a file gives, played alone on a sink of its own.
qint64 framesOfOnePass(const QString& file) {
    Mp3Player player(std::make_unique<CountingSink>());
    player.play(1, file);
    if (!QTest::qWaitFor([&] { return !player.isPlaying(); }, kPatience)) {
        return -1;
    }
    return player.framesDelivered();
}

// The program started in its own directory, with the music controls at hand.
struct Program {
    ProgramFixture fx;
    bool started = false;

    Program() { started = fx.start(); }

    QLineEdit* path() { return child<QLineEdit>("Text_地址"); }
    QLineEdit* count() { return child<QLineEdit>("编辑框5"); }
    QPushButton* playButton() { return child<QPushButton>("按钮1"); }
    Mp3Player& player() { return fx.player; }
    bool finish() {
        return QTest::qWaitFor([this] { return !fx.player.isPlaying(); }, kPatience);
    }
    bool deliveredMoreThan(qint64 frames) {
        return QTest::qWaitFor([&] { return fx.player.framesDelivered() > frames; }, kPatience);
    }

    template <typename W> W* child(const char* name) {
        return fx.main().findChild<W*>(QString::fromUtf8(name));
    }
};

} // namespace

class TestMusic : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void repeatCount_data();
    void repeatCount();

    void countBoxReplacesThePlayback_data();
    void countBoxReplacesThePlayback();
    void negativeCountKeepsPlaying_data();
    void negativeCountKeepsPlaying();
    void typingTwelveRestartsAtEachKey();

    void playButtonCancelledChangesNothing_data();
    void playButtonCancelledChangesNothing();
    void playButtonPlaysTheChosenFile();

    void unplayableFileIsSilence_data();
    void unplayableFileIsSilence();

  private:
    QString file(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    void makeMp3(const QString& name, const QByteArray& wav);

    QTemporaryDir dir_;
    QString song_;
    QString otherSong_;
    qint64 songPass_ = 0;
    qint64 otherPass_ = 0;
};

void TestMusic::makeMp3(const QString& name, const QByteArray& wav) {
    const QString wavPath = file(name + QStringLiteral(".wav"));
    QVERIFY(writeFile(wavPath, wav));
    QProcess lame;
    lame.start(QStringLiteral("lame"), {QStringLiteral("--quiet"), wavPath, file(name)});
    QVERIFY2(lame.waitForFinished(kPatience), "lame (Debian package lame) is needed");
    QCOMPARE(lame.exitStatus(), QProcess::NormalExit);
    QCOMPARE(lame.exitCode(), 0);
    QVERIFY(QFileInfo(file(name)).size() > 0);
}

void TestMusic::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    QVERIFY(dir_.isValid());
    // Short files, so that a dozen passes go by quickly on a sink that never waits.
    song_ = file(QStringLiteral("歌.mp3"));
    otherSong_ = file(QStringLiteral("other.mp3"));
    makeMp3(QStringLiteral("歌.mp3"), sineWav(44100, 2, 8820, 440));
    makeMp3(QStringLiteral("other.mp3"), sineWav(44100, 2, 22050, 880));
    songPass_ = framesOfOnePass(song_);
    otherPass_ = framesOfOnePass(otherSong_);
    QVERIFY(songPass_ > 0);
    QVERIFY(otherPass_ > 0);
    // The two files must tell apart by their length.
    QVERIFY(songPass_ != otherPass_);
}

void TestMusic::repeatCount_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("empty") << QByteArray() << 1;
    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("-1") << QByteArray("-1") << -1;
    QTest::newRow("2.9 is cut") << QByteArray("2.9") << 2;
    QTest::newRow("-2.9 is cut toward zero") << QByteArray("-2.9") << -2;
    QTest::newRow("3次") << gbk("3次") << 3;
    QTest::newRow("abc") << QByteArray("abc") << 0;
    QTest::newRow("full-width 3") << gbk("３") << 3;
    QTest::newRow("full-width blank before 5") << gbk("　5") << 5;
    QTest::newRow("1e30 is beyond 64 bits") << QByteArray("1e30") << 0;
    QTest::newRow("2^32 + 1 keeps the low bits") << QByteArray("4294967297") << 1;
    QTest::newRow("2^32 - 1 is -1 in 32 bits") << QByteArray("4294967295") << -1;
    QTest::newRow("2^31 wraps to the most negative") << QByteArray("2147483648") << INT_MIN;
}

void TestMusic::repeatCount() {
    QFETCH(QByteArray, text);
    QFETCH(int, count);
    QCOMPARE(MainWindow::repeatCount(text), count);
}

void TestMusic::countBoxReplacesThePlayback_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("passes");
    QTest::newRow("emptied") << QString() << 1;
    QTest::newRow("0 stops") << QStringLiteral("0") << 0;
    QTest::newRow("2.9") << QStringLiteral("2.9") << 2;
    QTest::newRow("3次") << QStringLiteral("3次") << 3;
    QTest::newRow("abc stops") << QStringLiteral("abc") << 0;
    QTest::newRow("full-width 3") << QStringLiteral("３") << 3;
}

// Whatever plays, a new count starts the file from its beginning for that many passes.
void TestMusic::countBoxReplacesThePlayback() {
    QFETCH(QString, text);
    QFETCH(int, passes);
    Program p;
    QVERIFY(p.started);
    QVERIFY(!p.player().isPlaying());
    p.path()->setText(song_);
    p.count()->setText(QStringLiteral("-1"));
    QVERIFY(p.deliveredMoreThan(songPass_));

    p.count()->setText(text);
    QVERIFY(p.finish());
    QCOMPARE(p.player().framesDelivered(), passes * songPass_);
    QVERIFY(p.fx.boxes.shown.empty());
}

void TestMusic::negativeCountKeepsPlaying_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("-1") << QStringLiteral("-1");
    QTest::newRow("-7") << QStringLiteral("-7");
    QTest::newRow("2^32 - 1") << QStringLiteral("4294967295");
}

void TestMusic::negativeCountKeepsPlaying() {
    QFETCH(QString, text);
    Program p;
    QVERIFY(p.started);
    p.path()->setText(song_);
    p.count()->setText(text);
    QVERIFY(p.deliveredMoreThan(5 * songPass_));
    QVERIFY(p.player().isPlaying());

    // Only the next play ends it.
    p.count()->setText(QStringLiteral("0"));
    QVERIFY(p.finish());
    QCOMPARE(p.player().framesDelivered(), 0);
}

// Each key is a new play: the 1 alone plays once, the 2 after it starts twelve passes afresh.
void TestMusic::typingTwelveRestartsAtEachKey() {
    Program p;
    QVERIFY(p.started);
    p.path()->setText(song_);
    p.count()->clear();
    QVERIFY(p.finish());
    QCOMPARE(p.player().framesDelivered(), songPass_);
    // Another file from here on, so that each key's play shows in the frames.
    p.path()->setText(otherSong_);

    p.count()->setFocus();
    QTest::keyClick(p.count(), Qt::Key_1);
    QCOMPARE(p.count()->text(), QStringLiteral("1"));
    QVERIFY(p.finish());
    QCOMPARE(p.player().framesDelivered(), otherPass_);

    QTest::keyClick(p.count(), Qt::Key_2);
    QCOMPARE(p.count()->text(), QStringLiteral("12"));
    QVERIFY(p.finish());
    // Counted from the restart: the pass heard before it is not in the total.
    QCOMPARE(p.player().framesDelivered(), 12 * otherPass_);
}

void TestMusic::playButtonCancelledChangesNothing_data() {
    QTest::addColumn<std::optional<QString>>("chosen");
    QTest::newRow("cancelled") << std::optional<QString>();
    QTest::newRow("empty name") << std::optional<QString>(QString());
}

void TestMusic::playButtonCancelledChangesNothing() {
    QFETCH(std::optional<QString>, chosen);
    Program p;
    QVERIFY(p.started);
    p.path()->setText(song_);
    p.count()->setText(QStringLiteral("-1"));
    QVERIFY(p.deliveredMoreThan(0));
    // The box now says 0 without having played it, so any play the button made would stop the
    // music at once.
    {
        const QSignalBlocker quiet(p.count());
        p.count()->setText(QStringLiteral("0"));
    }

    p.fx.dialogs.openPaths.push_back(chosen);
    QTest::mouseClick(p.playButton(), Qt::LeftButton);

    QVERIFY(p.fx.dialogs.openPaths.empty());
    QCOMPARE(p.path()->text(), song_);
    QVERIFY(p.player().isPlaying());
    const qint64 before = p.player().framesDelivered();
    QVERIFY(p.deliveredMoreThan(before + 2 * songPass_));
    QVERIFY(p.fx.boxes.shown.empty());
}

void TestMusic::playButtonPlaysTheChosenFile() {
    Program p;
    QVERIFY(p.started);
    p.path()->setText(song_);
    p.count()->setText(QStringLiteral("-1"));
    QVERIFY(p.deliveredMoreThan(0));
    {
        const QSignalBlocker quiet(p.count());
        p.count()->setText(QStringLiteral("3"));
    }

    p.fx.dialogs.openPaths.push_back(otherSong_);
    QTest::mouseClick(p.playButton(), Qt::LeftButton);

    QCOMPARE(p.path()->text(), otherSong_);
    QVERIFY(p.finish());
    QCOMPARE(p.player().framesDelivered(), 3 * otherPass_);
    QVERIFY(p.fx.boxes.shown.empty());
}

void TestMusic::unplayableFileIsSilence_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file") << QStringLiteral("gone.mp3");
    QTest::newRow("not music") << QStringLiteral("notes.txt");
    QTest::newRow("no path") << QString();
}

// The music in progress stops, nothing starts, and nobody is told.
void TestMusic::unplayableFileIsSilence() {
    QFETCH(QString, name);
    QVERIFY(writeFile(file(QStringLiteral("notes.txt")), QByteArray("not music\n").repeated(500)));
    Program p;
    QVERIFY(p.started);
    p.path()->setText(song_);
    p.count()->setText(QStringLiteral("-1"));
    QVERIFY(p.deliveredMoreThan(0));

    p.path()->setText(name.isEmpty() ? QString() : file(name));
    // Editing the path alone changes nothing.
    QVERIFY(p.player().isPlaying());
    p.count()->setText(QStringLiteral("2"));
    QVERIFY(p.finish());
    QCOMPARE(p.player().framesDelivered(), 0);
    QVERIFY(p.fx.boxes.shown.empty());
    QVERIFY(p.fx.fatal.calls.empty());
}

QTEST_MAIN(TestMusic)
#include "tst_music.moc"
