// Time from process start to the main window painted, and peak memory, for a book of 10,000
// entries. The parent prepares a program directory once, then starts itself as a child several
// times; each child runs the program's real start sequence and reports when the main window has
// painted. Run it offscreen (QT_QPA_PLATFORM=offscreen) or under an X server.

#include "accessible_names.h"
#include "application.h"
#include "diary_store.h"
#include "memory_policy.h"
#include "record_store.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace wendlow;

namespace {

qint64 monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class SilentBoxes final : public MessageBoxes {
  public:
    int show(const Text&, Buttons) override { return AnsweredOk; }
};

class NoDialogs final : public Dialogs {
  public:
    std::optional<QString> openFile(QWidget*) override { return std::nullopt; }
    std::optional<QString> saveFile(QWidget*) override { return std::nullopt; }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return std::nullopt; }
};

class NoLauncher final : public Launcher {
  public:
    bool openUrl(const QUrl&) override { return false; }
};

// Reports once, at the main window's first paint.
class FirstPaint final : public QObject {
  public:
    explicit FirstPaint(qint64 started) : started_(started) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_ &&
            watched->objectName() == QStringLiteral("窗口_写日记")) {
            reported_ = true;
            const double ms = static_cast<double>(monotonicNs() - started_) / 1e6;
            std::printf("%.3f %ld\n", ms, peakKiB());
            std::fflush(stdout);
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        }
        return false;
    }

  private:
    qint64 started_;
    bool reported_ = false;
};

int child(int argc, char** argv, const QString& dir, qint64 started) {
    QApplication qtApp(argc, argv);
    qtApp.setQuitOnLastWindowClosed(false);
    AccessibleNames names;
    qtApp.installEventFilter(&names);
    FirstPaint paint(started);
    qtApp.installEventFilter(&paint);
    SilentBoxes boxes;
    NoDialogs dialogs;
    SystemClock clock;
    NoLauncher launcher;
    Mp3Player player;
    Application app(dir, {boxes, dialogs, clock, launcher, player}, nullptr);
    if (!app.start()) {
        return 1;
    }
    return QApplication::exec();
}

void fill(const QString& dir, int count) {
    const DataContext context{dir, nullptr, nullptr};
    DiaryStore store(context);
    const Text book = gbk("开心假期");
    store.createBookFiles(book);
    RecordStore records(nullptr);
    records.open(store.entryFilePath(book), "Diary", gbk("山前溪水长流846ZouLuo"));
    const Text names[] = {gbk("标题"), gbk("日期"), gbk("心情"), gbk("天气"), gbk("内容")};
    const Text content = gbk("今天我们去公园玩了，天气很好。\r\n").repeated(20);
    for (int i = 0; i < count; ++i) {
        records.addBlankRecord();
        const Text values[] = {gbk("我的一天") + Text::number(i), gbk("2010年2月14日9时5分"),
                               gbk("开心"), gbk("随人而异"), content};
        for (int f = 0; f < 5; ++f) {
            records.write(names[f], FieldValue::ofText(values[f]));
        }
    }
    records.close("Diary");
}

} // namespace

int main(int argc, char** argv) {
    // As the program itself does.
    keepFreedMemoryForReuse();
    if (argc == 4 && std::string(argv[1]) == "--child") {
        return child(argc, argv, QString::fromLocal8Bit(argv[2]), std::atoll(argv[3]));
    }
    QTemporaryDir dir;
    {
        QCoreApplication core(argc, argv);
        fill(dir.path(), 10000);
    }
    const int runs = 15;
    std::vector<double> ms;
    std::vector<long> kib;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const qint64 started = monotonicNs();
        process.start(QString::fromLocal8Bit(argv[0]),
                      {QStringLiteral("--child"), dir.path(), QString::number(started)});
        process.waitForFinished(30000);
        double t = 0;
        long k = 0;
        if (std::sscanf(process.readAllStandardOutput().constData(), "%lf %ld", &t, &k) == 2) {
            ms.push_back(t);
            kib.push_back(k);
        }
    }
    if (ms.empty()) {
        std::printf("the child never painted its main window\n");
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::sort(kib.begin(), kib.end());
    std::printf("start to main window painted, book of 10,000 entries (%s): median %.1f ms, "
                "min %.1f ms, max %.1f ms; peak memory median %.1f MiB (%zu runs)\n",
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "default platform"
                                                     : qgetenv("QT_QPA_PLATFORM").constData(),
                ms[ms.size() / 2], ms.front(), ms.back(),
                static_cast<double>(kib[kib.size() / 2]) / 1024.0, ms.size());
    return 0;
}
