// Kills a process that keeps appending entries, again and again, and checks after every kill
// that the book's file still opens and holds every acknowledged entry whole and in order.

#include "crash_entry.h"
#include "diary_store.h"
#include "program_dir.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

using namespace wendlow;
using namespace wendlow::test;

namespace {

constexpr int kKills = 24;
// Only guards against a child that hangs before its first entry; never a measure of speed.
constexpr int kFirstLineWaitMs = 120000;

quint32 chooseSeed() {
    bool ok = false;
    const quint32 fromEnvironment = qEnvironmentVariable("WENDLOW_CRASH_SEED").toUInt(&ok);
    return ok ? fromEnvironment : QRandomGenerator::global()->generate();
}

// The numbers in the complete lines of `output`; a line cut by the kill is not an
// acknowledgement.
bool parseAcknowledged(const QByteArray& output, std::vector<int>* numbers) {
    const qsizetype end = output.lastIndexOf('\n');
    if (end < 0) {
        return true;
    }
    for (const QByteArray& line : output.left(end).split('\n')) {
        bool ok = false;
        const int n = line.toInt(&ok);
        if (!ok) {
            return false;
        }
        numbers->push_back(n);
    }
    return true;
}

} // namespace

class TestCrash : public QObject {
    Q_OBJECT

  private slots:
    void killedAppendsLeaveWholeEntriesInOrder();

  private:
    // Checks the file: it opens, entries 1..count are the child's entries in order, and every
    // acknowledged entry is among them. Only entries from `firstToRead` on are read whole; the
    // earlier ones were read after an earlier kill and their titles are checked again.
    void verifyBook(DiaryStore& store, const Text& book, int lastAcknowledged, int firstToRead);
};

void TestCrash::verifyBook(DiaryStore& store, const Text& book, int lastAcknowledged,
                           int firstToRead) {
    const int count = store.countEntries(book);
    QVERIFY2(count >= lastAcknowledged,
             qPrintable(QStringLiteral("%1 entries in the file, but entry %2 was acknowledged")
                            .arg(count)
                            .arg(lastAcknowledged)));
    if (count == 0) {
        return;
    }
    const std::optional<DiaryEntry> last = store.readEntry(book, count - 1);
    QVERIFY2(last.has_value(), "the file does not open after the kill");
    QCOMPARE(last->title, crashEntry(count).title);

    const std::vector<Text> titles = store.listEntryTitles(book);
    QCOMPARE(titles.size(), size_t(count));
    for (int i = 0; i < count; ++i) {
        QCOMPARE(titles[size_t(i)], crashEntry(i + 1).title);
    }
    for (int i = std::max(0, firstToRead - 1); i < count; ++i) {
        const std::optional<DiaryEntry> entry = store.readEntry(book, i);
        QVERIFY(entry.has_value());
        if (*entry != crashEntry(i + 1)) {
            QFAIL(qPrintable(QStringLiteral("entry %1 is not whole").arg(i + 1)));
        }
    }
}

void TestCrash::killedAppendsLeaveWholeEntriesInOrder() {
    ProgramDir dir;
    QVERIFY(dir.isValid());
    const Text book = gbk("崩溃试验");
    DiaryStore store(dir.context());

    const quint32 seed = chooseSeed();
    qInfo("random seed %u (set WENDLOW_CRASH_SEED to repeat a run)", seed);
    QRandomGenerator random(seed);

    std::vector<int> acknowledged;
    int checkedUpTo = 0; // entries read whole after earlier kills
    for (int kill = 0; kill < kKills; ++kill) {
        QProcess child;
        child.setProgram(QStringLiteral(CRASH_CHILD));
        child.setArguments({dir.path(), toUnicode(book)});
        child.start();
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));

        QByteArray output;
        const QDeadlineTimer guard(kFirstLineWaitMs);
        while (!output.contains('\n')) {
            if (!child.waitForReadyRead(int(guard.remainingTime()))) {
                child.kill();
                child.waitForFinished();
                QFAIL(qPrintable(QStringLiteral("the child wrote no entry: %1")
                                     .arg(QString::fromUtf8(child.readAllStandardError()))));
            }
            output += child.readAllStandardOutput();
        }
        const int delayMs = random.bounded(5, 201);
        QThread::msleep(ulong(delayMs));
        child.kill();
        QVERIFY(child.waitForFinished(-1));
        output += child.readAllStandardOutput();
        QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                 qPrintable(QStringLiteral("the child ended by itself with %1: %2")
                                .arg(child.exitCode())
                                .arg(QString::fromUtf8(child.readAllStandardError()))));

        std::vector<int> numbers;
        QVERIFY2(parseAcknowledged(output, &numbers), output.constData());
        QVERIFY(!numbers.empty());
        // Each run goes on after the last entry in the file, numbering entries by position.
        QCOMPARE(numbers.front(), checkedUpTo + 1);
        for (size_t i = 1; i < numbers.size(); ++i) {
            QCOMPARE(numbers[i], numbers[i - 1] + 1);
        }
        acknowledged.insert(acknowledged.end(), numbers.begin(), numbers.end());

        verifyBook(store, book, acknowledged.back(), checkedUpTo + 1);
        if (QTest::currentTestFailed()) {
            qInfo("failed after kill %d, %d ms after the first entry", kill, delayMs);
            return;
        }
        checkedUpTo = store.countEntries(book);
    }
    qInfo("%d kills, %zu entries acknowledged, %d in the file", kKills, acknowledged.size(),
          store.countEntries(book));

    // Finally every entry once more, whole, from a file that nothing holds open any more.
    verifyBook(store, book, acknowledged.back(), 1);
}

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
