// The costs of the diary store on a book of 10,000 entries: saving an entry, counting and
// listing titles (what refreshing the past-entries list does), reading one entry, and deleting
// the first one; and writing/reading a 1 MB entry file.

#include "bench_support.h"
#include "diary_store.h"
#include "entry_file.h"
#include "memory_policy.h"
#include "record_store.h"

#include <QCoreApplication>
#include <QTemporaryDir>

using namespace wendlow;

namespace {

constexpr int kEntries = 10000;

DiaryEntry sampleEntry(int n) {
    DiaryEntry e;
    e.title = gbk("我的一天") + Text::number(n);
    e.date = gbk("2010年2月14日9时5分");
    e.mood = gbk("开心");
    e.weather = gbk("随人而异");
    e.content = gbk("今天我们去公园玩了，天气很好。\r\n").repeated(20);
    return e;
}

// Fills the book in one session: the setup, not what is measured.
void fill(const QString& file, int count) {
    RecordStore store(nullptr);
    store.open(file, "Diary", gbk("山前溪水长流846ZouLuo"));
    const Text names[] = {gbk("标题"), gbk("日期"), gbk("心情"), gbk("天气"), gbk("内容")};
    for (int i = 0; i < count; ++i) {
        const DiaryEntry e = sampleEntry(i);
        store.addBlankRecord();
        const Text* values[] = {&e.title, &e.date, &e.mood, &e.weather, &e.content};
        for (int f = 0; f < 5; ++f) {
            store.write(names[f], FieldValue::ofText(*values[f]));
        }
    }
    store.close("Diary");
}

} // namespace

int main(int argc, char** argv) {
    // As the program itself does.
    keepFreedMemoryForReuse();
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const DataContext context{dir.path(), nullptr, nullptr};
    DiaryStore store(context);
    const Text book = gbk("开心假期");
    store.createBookFiles(book);
    fill(store.entryFilePath(book), kEntries);
    std::printf("book of %d entries\n", store.countEntries(book));

    int n = kEntries;
    bench::measure("appendEntry (one fsync'd transaction)", 50,
                   [&] { store.appendEntry(book, sampleEntry(n++)); });
    bench::measure("countEntries", 50, [&] {
        volatile int count = store.countEntries(book);
        (void)count;
    });
    bench::measure("countEntries + listEntryTitles", 50, [&] {
        volatile int count = store.countEntries(book);
        volatile size_t titles = store.listEntryTitles(book).size();
        (void)count;
        (void)titles;
    });
    bench::measure("readEntry at the middle", 50, [&] { store.readEntry(book, kEntries / 2); });
    bench::measure("deleteEntry at position 0", 30, [&] { store.deleteEntry(book, 0); });
    std::printf("book now holds %d entries\n", store.countEntries(book));

    DiaryEntry big = sampleEntry(0);
    big.content = gbk("假期日记内容，").repeated(1024 * 1024 / 14);
    Text file;
    bench::measure("formatEntryFile of 1 MB", 50, [&] { file = formatEntryFile(big); });
    bench::measure("parseEntryFile of 1 MB", 50, [&] {
        volatile bool ok = parseEntryFile(file).has_value();
        (void)ok;
    });
    return 0;
}
