// Appends entries to one book until it is killed, printing the number of every entry whose
// append reported success. The crash test kills it at random moments and checks the file.

#include "crash_entry.h"
#include "diary_store.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

using namespace wendlow;

namespace {

// Stops a child whose parent died before killing it, so it cannot fill the disk.
constexpr int kMaxEntriesPerRun = 20000;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: crash_child <program dir> <book name>\n");
        return 2;
    }
    SystemClock clock;
    const FatalErrorHandler fatal = [](int code, const Text& message) {
        std::fprintf(stderr, "fatal %d: %s\n", code, toUnicode(message).toUtf8().constData());
        std::_Exit(3);
    };
    DiaryStore store(DataContext{args[1], fatal, &clock});
    const Text book = fromUnicode(args[2]);
    if (!store.createBookFiles(book)) {
        std::fprintf(stderr, "cannot create the book's files\n");
        return 4;
    }
    // Numbers follow the positions in the file, also across killed runs.
    const int first = store.countEntries(book) + 1;
    for (int n = first; n < first + kMaxEntriesPerRun; ++n) {
        if (!store.appendEntry(book, test::crashEntry(n))) {
            std::fprintf(stderr, "append of entry %d failed\n", n);
            return 5;
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
