#include "diary_store.h"

#include "book_names.h"
#include "record_store.h"

#include <QDir>
#include <QFileInfo>

namespace wendlow {

namespace {

const Text& alias() {
    static const Text a("Diary");
    return a;
}

const Text& password() {
    static const Text p = gbk("山前溪水长流846ZouLuo");
    return p;
}

const std::vector<FieldSpec>& entryFields() {
    static const std::vector<FieldSpec> fields = {
        {gbk("标题"), FieldKind::Text, 20}, {gbk("日期"), FieldKind::Text, 20},
        {gbk("心情"), FieldKind::Text, 20}, {gbk("天气"), FieldKind::Text, 20},
        {gbk("内容"), FieldKind::Memo, 20},
    };
    return fields;
}

// Reads one text field; a field of another kind can only come from a foreign file.
Text readText(RecordStore& store, int number, const FatalErrorHandler& fatal) {
    const FieldValue v = store.read(number);
    if (!isTextKind(v.kind)) {
        if (fatal) {
            fatal(5, gbk("数据或数组类型不匹配"));
        }
        return {};
    }
    return v.text;
}

} // namespace

QString DiaryStore::entryFilePath(const Text& bookName) const {
    if (!isSafeBookName(bookName)) {
        return {};
    }
    return context_.path(bookFolderName(bookName) + QStringLiteral("/Diary.edb"));
}

DiaryStore::RenameResult DiaryStore::renameBookFolder(const Text& from, const Text& to) {
    if (!isSafeBookName(from) || !isSafeBookName(to)) {
        return RenameResult::Failed;
    }
    const QString source = context_.path(bookFolderName(from));
    const QString target = context_.path(bookFolderName(to));
    if (QFileInfo::exists(target)) {
        return RenameResult::TargetExists;
    }
    if (!QFileInfo(source).isDir()) {
        return RenameResult::NoFolder;
    }
    return QDir().rename(source, target) ? RenameResult::Renamed : RenameResult::Failed;
}

bool DiaryStore::createBookFiles(const Text& bookName) {
    const QString file = entryFilePath(bookName);
    if (file.isEmpty() || !QDir().mkpath(QFileInfo(file).absolutePath())) {
        return false;
    }
    if (QFileInfo::exists(file)) {
        return true;
    }
    if (!RecordStore::create(file, entryFields())) {
        return false;
    }
    RecordStore store(context_.fatal);
    if (!store.open(file, alias(), Text())) {
        return false;
    }
    const bool ok = store.setPassword(password());
    return store.close(alias()) && ok;
}

bool DiaryStore::appendEntry(const Text& bookName, const DiaryEntry& entry) {
    const QString file = entryFilePath(bookName);
    RecordStore store(context_.fatal);
    if (file.isEmpty() || !store.open(file, alias(), password())) {
        return false;
    }
    const Text* values[] = {&entry.title, &entry.date, &entry.mood, &entry.weather, &entry.content};
    bool ok = store.addBlankRecord();
    for (size_t i = 0; ok && i < std::size(values); ++i) {
        ok = store.write(entryFields()[i].name, FieldValue::ofText(*values[i]));
    }
    return store.close(alias()) && ok;
}

int DiaryStore::countEntries(const Text& bookName) {
    const QString file = entryFilePath(bookName);
    RecordStore store(context_.fatal);
    if (file.isEmpty() || !store.open(file, alias(), password())) {
        return 0;
    }
    const int count = store.recordCount();
    store.close(alias());
    return count;
}

std::vector<Text> DiaryStore::listEntryTitles(const Text& bookName) {
    const QString file = entryFilePath(bookName);
    RecordStore store(context_.fatal);
    if (file.isEmpty() || !store.open(file, alias(), password())) {
        return {};
    }
    const int count = store.recordCount();
    std::vector<Text> titles;
    titles.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        titles.push_back(readText(store, 1, context_.fatal));
        store.skip();
    }
    store.close(alias());
    return titles;
}

std::optional<DiaryEntry> DiaryStore::readEntry(const Text& bookName, int position) {
    const QString file = entryFilePath(bookName);
    RecordStore store(context_.fatal);
    if (file.isEmpty() || !store.open(file, alias(), password())) {
        return std::nullopt;
    }
    if (position != 0) {
        store.skip(position);
    }
    DiaryEntry entry;
    Text* fields[] = {&entry.title, &entry.date, &entry.mood, &entry.weather, &entry.content};
    for (size_t i = 0; i < std::size(fields); ++i) {
        *fields[i] = readText(store, static_cast<int>(i) + 1, context_.fatal);
    }
    store.close(alias());
    return entry;
}

bool DiaryStore::deleteEntry(const Text& bookName, int position) {
    const QString file = entryFilePath(bookName);
    RecordStore store(context_.fatal);
    if (file.isEmpty() || !store.open(file, alias(), password())) {
        return false;
    }
    if (position != 0) {
        store.skip(position);
    }
    bool ok = true;
    if (store.deleteRecord()) {
        ok = store.purge();
    }
    return store.close(alias()) && ok;
}

} // namespace wendlow
