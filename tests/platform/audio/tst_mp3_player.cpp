#include "counting_sink.h"
#include "mp3_player.h"
#include "sine_wav.h"
#include "test_support.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

using namespace wendlow;
using wendlow::test::CountingSink;
using wendlow::test::sineWav;

namespace {

// Longer than a test needs to wait for sub-second files; only a hang reaches it.
constexpr int kPatience = 60000;

// Pitch of one channel from its rising zero crossings.
double pitch(const std::vector<std::int16_t>& samples, int channels, int channel, qint64 frames,
             int rate) {
    qint64 first = -1;
    qint64 last = -1;
    int rises = 0;
    for (qint64 i = 1; i < frames; ++i) {
        if (samples[size_t((i - 1) * channels + channel)] < 0 &&
            samples[size_t(i * channels + channel)] >= 0) {
            if (first < 0) {
                first = i;
            }
            last = i;
            ++rises;
        }
    }
    return rises < 2 ? 0.0 : (rises - 1) * double(rate) / double(last - first);
}

// A player on a counting sink the test can look into.
struct Rig {
    explicit Rig(CountingSink::Options options = {}) {
        auto owned = std::make_unique<CountingSink>(std::move(options));
        sink = owned.get();
        player = std::make_unique<Mp3Player>(std::move(owned));
    }
    bool finish() const {
        return QTest::qWaitFor([this] { return !player->isPlaying(); }, kPatience);
    }
    // The music the sink received from its latest opening, without the silence after it.
    std::vector<std::int16_t> music(int channels) const {
        std::vector<std::int16_t> all = sink->recorded();
        all.resize(size_t(player->framesDelivered() * channels));
        return all;
    }

    CountingSink* sink = nullptr;
    std::unique_ptr<Mp3Player> player;
};

// Sets an environment variable for one test and puts back what was there.
class EnvOverride {
  public:
    EnvOverride(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvOverride() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

  private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

} // namespace

class TestMp3Player : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void playsCountPassesWithoutGap_data();
    void playsCountPassesWithoutGap();
    void playsFileWithChineseName();
    void negativeCountLoopsUntilNextPlay_data();
    void negativeCountLoopsUntilNextPlay();
    void playReplacesWhatIsPlaying_data();
    void playReplacesWhatIsPlaying();
    void playsNothing_data();
    void playsNothing();
    void convertsToSinkFormat_data();
    void convertsToSinkFormat();
    void playsThroughSdlDevice();
    void noSoundDeviceIsSilence();
    void destroyingWhileLoopingReturns_data();
    void destroyingWhileLoopingReturns();

  private:
    QString path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    void makeMp3(const QString& name, const QByteArray& wav, const QStringList& lameArgs = {});

    QTemporaryDir dir_;
};

void TestMp3Player::makeMp3(const QString& name, const QByteArray& wav,
                            const QStringList& lameArgs) {
    const QString wavPath = path(name + QStringLiteral(".wav"));
    QVERIFY(wendlow::test::writeFile(wavPath, wav));
    QProcess lame;
    lame.start(QStringLiteral("lame"), QStringList{QStringLiteral("--quiet")} + lameArgs +
                                           QStringList{wavPath, path(name)});
    QVERIFY2(lame.waitForFinished(kPatience), "lame (Debian package lame) is needed");
    QCOMPARE(lame.exitStatus(), QProcess::NormalExit);
    QCOMPARE(lame.exitCode(), 0);
    QVERIFY(QFileInfo(path(name)).size() > 0);
}

void TestMp3Player::initTestCase() {
    QVERIFY(dir_.isValid());
    // Half a second each: 22050 frames at 44.1 kHz, 11025 at 22.05 kHz.
    makeMp3(QStringLiteral("a440.mp3"), sineWav(44100, 2, 22050, 440));
    makeMp3(QStringLiteral("b880.mp3"), sineWav(44100, 2, 13230, 880));
    // At 64 kbit/s the frames have room for the encoder's tag that tells its delay and padding.
    makeMp3(QStringLiteral("mono22k.mp3"), sineWav(22050, 1, 11025, 440),
            {QStringLiteral("-b"), QStringLiteral("64")});
    makeMp3(QStringLiteral("nosamples.mp3"), sineWav(44100, 2, 0, 440));
    QVERIFY(wendlow::test::writeFile(path(QStringLiteral("notes.txt")),
                                     QByteArray("not music\n").repeated(500)));
    QVERIFY(wendlow::test::writeFile(path(QStringLiteral("empty.mp3")), QByteArray()));
}

void TestMp3Player::playsCountPassesWithoutGap_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("once") << 1;
    QTest::newRow("twice") << 2;
    QTest::newRow("three times") << 3;
}

// Each pass is the whole file, sample for sample, straight after the one before; then silence.
void TestMp3Player::playsCountPassesWithoutGap() {
    QFETCH(int, count);
    Rig rig({.fixedFormat = {}, .record = true});
    const QString file = path(QStringLiteral("a440.mp3"));

    rig.player->play(1, file);
    QVERIFY(rig.finish());
    const std::vector<std::int16_t> pass = rig.music(2);
    const qint64 passFrames = qint64(pass.size() / 2);
    // The encoder's delay and padding are gone: the decoded pass is as long as the source, give
    // or take one MPEG frame.
    QVERIFY2(std::abs(passFrames - 22050) <= 1152, qPrintable(QString::number(passFrames)));

    rig.player->play(count, file);
    QVERIFY(rig.finish());
    QCOMPARE(rig.player->framesDelivered(), count * passFrames);
    const std::vector<std::int16_t> heard = rig.sink->recorded();
    for (size_t i = 0; i < heard.size(); ++i) {
        const std::int16_t expected = i < pass.size() * count ? pass[i % pass.size()] : 0;
        if (heard[i] != expected) {
            QFAIL(qPrintable(QStringLiteral("sample %1 (pass %2) is %3, expected %4")
                                 .arg(i)
                                 .arg(i / pass.size() + 1)
                                 .arg(heard[i])
                                 .arg(expected)));
        }
    }
    QVERIFY(!rig.sink->isOpen());
}

// The path reaches the decoder in the file system's encoding, whatever the process locale.
void TestMp3Player::playsFileWithChineseName() {
    const QString file = path(QStringLiteral("假期音乐.mp3"));
    QVERIFY(QFile::copy(path(QStringLiteral("a440.mp3")), file));
    Rig rig;
    rig.player->play(1, file);
    QVERIFY(rig.finish());
    QVERIFY(rig.player->framesDelivered() > 0);
}

void TestMp3Player::negativeCountLoopsUntilNextPlay_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("-1") << -1;
    QTest::newRow("most negative") << INT_MIN;
}

void TestMp3Player::negativeCountLoopsUntilNextPlay() {
    QFETCH(int, count);
    Rig rig;
    rig.player->play(count, path(QStringLiteral("a440.mp3")));
    QVERIFY(QTest::qWaitFor([&] { return rig.player->framesDelivered() > 20 * 22050; }, kPatience));
    QVERIFY(rig.player->isPlaying());

    rig.player->play(0, path(QStringLiteral("a440.mp3")));
    QVERIFY(rig.finish());
    QVERIFY(!rig.sink->isOpen());
    QCOMPARE(rig.player->framesDelivered(), 0);
}

void TestMp3Player::playReplacesWhatIsPlaying_data() {
    QTest::addColumn<QString>("next");
    QTest::addColumn<int>("count");
    QTest::newRow("another file") << QStringLiteral("b880.mp3") << 1;
    QTest::newRow("the same file from its start") << QStringLiteral("a440.mp3") << 2;
}

// What the sink receives after a new play is the new playback from its first sample, and
// nothing of the old one.
void TestMp3Player::playReplacesWhatIsPlaying() {
    QFETCH(QString, next);
    QFETCH(int, count);
    Rig rig({.fixedFormat = {}, .record = true});
    rig.player->play(count, path(next));
    QVERIFY(rig.finish());
    const std::vector<std::int16_t> alone = rig.music(2);
    QVERIFY(!alone.empty());

    rig.player->play(-1, path(QStringLiteral("a440.mp3")));
    QVERIFY(QTest::qWaitFor([&] { return rig.player->framesDelivered() > 30000; }, kPatience));
    rig.player->play(count, path(next));
    QVERIFY(rig.finish());
    QCOMPARE(rig.player->framesDelivered(), qint64(alone.size() / 2));
    QVERIFY(rig.music(2) == alone);
    QCOMPARE(rig.sink->opens(), 3);
}

void TestMp3Player::playsNothing_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("file");
    QTest::newRow("count 0") << 0 << path(QStringLiteral("a440.mp3"));
    QTest::newRow("empty path") << 1 << QString();
    QTest::newRow("missing file") << 1 << path(QStringLiteral("gone.mp3"));
    QTest::newRow("text file") << 1 << path(QStringLiteral("notes.txt"));
    QTest::newRow("empty file") << 1 << path(QStringLiteral("empty.mp3"));
    QTest::newRow("directory") << 1 << dir_.path();
    QTest::newRow("MP3 without samples, looped") << -1 << path(QStringLiteral("nosamples.mp3"));
}

// Stops the music in progress and starts nothing, without a word.
void TestMp3Player::playsNothing() {
    QFETCH(int, count);
    QFETCH(QString, file);
    Rig rig;
    rig.player->play(-1, path(QStringLiteral("a440.mp3")));
    QVERIFY(QTest::qWaitFor([&] { return rig.player->framesDelivered() > 0; }, kPatience));

    rig.player->play(count, file);
    QVERIFY(rig.finish());
    QCOMPARE(rig.player->framesDelivered(), 0);
    QVERIFY(!rig.sink->isOpen());
}

void TestMp3Player::convertsToSinkFormat_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("fileRate");
    QTest::addColumn<int>("mpegFrame");
    QTest::addColumn<std::optional<AudioFormat>>("device");
    QTest::newRow("22.05 kHz mono to 44.1 kHz stereo")
        << QStringLiteral("mono22k.mp3") << 22050 << 576
        << std::optional<AudioFormat>(AudioFormat{44100, 2});
    QTest::newRow("44.1 kHz stereo to 48 kHz mono")
        << QStringLiteral("a440.mp3") << 44100 << 1152
        << std::optional<AudioFormat>(AudioFormat{48000, 1});
    QTest::newRow("22.05 kHz mono as it is")
        << QStringLiteral("mono22k.mp3") << 22050 << 576 << std::optional<AudioFormat>();
}

// Half a second of 440 Hz stays half a second of 440 Hz whatever rate the device runs at.
void TestMp3Player::convertsToSinkFormat() {
    QFETCH(QString, file);
    QFETCH(int, fileRate);
    QFETCH(int, mpegFrame);
    QFETCH(std::optional<AudioFormat>, device);
    Rig rig({.fixedFormat = device, .record = true});
    rig.player->play(1, path(file));
    QVERIFY(rig.finish());

    const AudioFormat format = rig.sink->format();
    if (device) {
        QCOMPARE(format, *device);
    } else {
        QCOMPARE(format, (AudioFormat{fileRate, 1}));
    }
    const qint64 frames = rig.player->framesDelivered();
    const qint64 tolerance = qint64(mpegFrame) * format.rate / fileRate;
    QVERIFY2(std::abs(frames - format.rate / 2) <= tolerance, qPrintable(QString::number(frames)));
    const std::vector<std::int16_t> music = rig.music(format.channels);
    for (int channel = 0; channel < format.channels; ++channel) {
        const double hertz = pitch(music, format.channels, channel, frames, format.rate);
        QVERIFY2(std::abs(hertz - 440) <= 440 * 0.02, qPrintable(QString::number(hertz)));
    }
}

// End to end through SDL, with its driver that writes the device's samples to a file.
void TestMp3Player::playsThroughSdlDevice() {
    const QString out = path(QStringLiteral("device.raw"));
    EnvOverride driver("SDL_AUDIODRIVER", "disk");
    EnvOverride file("SDL_DISKAUDIOFILE", QFile::encodeName(out));
    EnvOverride delay("SDL_DISKAUDIODELAY", "0");
    {
        Mp3Player player;
        player.play(1, path(QStringLiteral("mono22k.mp3")));
        QVERIFY(QTest::qWaitFor([&] { return !player.isPlaying(); }, kPatience));
        const qint64 frames = player.framesDelivered();
        QVERIFY2(std::abs(frames - 11025) <= 576, qPrintable(QString::number(frames)));

        // The disk device takes the file's own format, 16-bit mono at 22.05 kHz, and writes
        // silence while it waits to be resumed.
        const QByteArray raw = wendlow::test::readFile(out);
        std::vector<std::int16_t> samples(size_t(raw.size() / 2));
        std::memcpy(samples.data(), raw.constData(), samples.size() * 2);
        const auto start =
            std::find_if(samples.begin(), samples.end(), [](auto s) { return s != 0; });
        QVERIFY(samples.end() - start >= frames);
        const std::vector<std::int16_t> music(start, start + frames);
        const double hertz = pitch(music, 1, 0, frames, 22050);
        QVERIFY2(std::abs(hertz - 440) <= 440 * 0.02, qPrintable(QString::number(hertz)));
        QVERIFY(std::all_of(start + frames, samples.end(), [](auto s) { return s == 0; }));
    }
}

void TestMp3Player::noSoundDeviceIsSilence() {
    EnvOverride driver("SDL_AUDIODRIVER", "wendlow-no-such-driver");
    Mp3Player player;
    for (int count : {1, -1}) {
        player.play(count, path(QStringLiteral("a440.mp3")));
        QVERIFY(QTest::qWaitFor([&] { return !player.isPlaying(); }, kPatience));
        QCOMPARE(player.framesDelivered(), 0);
    }
    player.play(-1, path(QStringLiteral("a440.mp3")));
}

void TestMp3Player::destroyingWhileLoopingReturns_data() {
    QTest::addColumn<bool>("sdl");
    QTest::newRow("counting sink") << false;
    QTest::newRow("SDL device") << true;
}

// Ending the program while music loops must not hang it.
void TestMp3Player::destroyingWhileLoopingReturns() {
    QFETCH(bool, sdl);
    EnvOverride driver("SDL_AUDIODRIVER", "dummy");
    auto player = sdl ? std::make_unique<Mp3Player>()
                      : std::make_unique<Mp3Player>(std::make_unique<CountingSink>());
    player->play(-1, path(QStringLiteral("a440.mp3")));
    QVERIFY(QTest::qWaitFor([&] { return player->framesDelivered() > 0; }, kPatience));
    QVERIFY(player->isPlaying());
    player.reset();
}

QTEST_GUILESS_MAIN(TestMp3Player)
#include "tst_mp3_player.moc"
