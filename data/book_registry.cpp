#include "book_registry.h"

#include "diary_store.h"
#include "record_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace wendlow {

namespace {

const Text& alias() {
    static const Text a("Date");
    return a;
}

const Text& password() {
    static const Text p = gbk("晴空LanQiao580");
    return p;
}

enum Field { Name = 1, Owner = 2, Note = 3, Days = 4, Password = 5 };

const std::vector<FieldSpec>& registryFields() {
    static const std::vector<FieldSpec> fields = {
        {gbk("日记本名称"), FieldKind::Text, 20}, {gbk("可爱小主人"), FieldKind::Text, 20},
        {gbk("留点信息"), FieldKind::Memo, 20},   {gbk("天数"), FieldKind::Integer, 20},
        {gbk("开锁密码"), FieldKind::Text, 20},
    };
    return fields;
}

const Text& fieldName(Field f) {
    return registryFields()[static_cast<size_t>(f) - 1].name;
}

} // namespace

BookRecord defaultBook() {
    return {gbk("开心假期"), gbk("小小主人"), gbk("这个假期我要快乐！"), 7, Text()};
}

qint32 BookRegistry::daysFromNumber(double days) {
    return wholeNumberLow32(days);
}

QString BookRegistry::registryPath() const {
    return context_.path(QStringLiteral("DATEINI/Inf.edb"));
}

Text BookRegistry::readTextField(RecordStore& store, int number) {
    const FieldValue v = store.read(number);
    if (!isTextKind(v.kind)) {
        if (context_.fatal) {
            context_.fatal(5, gbk("数据或数组类型不匹配"));
        }
        return {};
    }
    return v.text;
}

qint32 BookRegistry::readDays(RecordStore& store) {
    const FieldValue v = store.read(Days);
    switch (v.kind) {
    case FieldKind::Byte:
        return static_cast<qint32>(static_cast<quint8>(v.integer));
    case FieldKind::Short:
        return static_cast<qint16>(static_cast<quint16>(v.integer));
    case FieldKind::Integer:
    case FieldKind::Long:
        return static_cast<qint32>(static_cast<quint32>(static_cast<quint64>(v.integer)));
    case FieldKind::Float:
    case FieldKind::Double:
        return daysFromNumber(v.real);
    default:
        if (context_.fatal) {
            context_.fatal(2, gbk("未得到所需要的数值型数据"));
        }
        return 0;
    }
}

RegistryCheck BookRegistry::ensureRegistry() {
    {
        RecordStore store(context_.fatal);
        if (store.open(registryPath(), alias(), password())) {
            const int count = store.recordCount();
            store.close(alias());
            if (count > 0) {
                return {RegistryCheck::Outcome::Ready, {}};
            }
        } else if (store.lastOpenStatus() == OpenStatus::Busy) {
            return {RegistryCheck::Outcome::Busy, {}};
        }
    }
    return createRegistry();
}

RegistryCheck BookRegistry::createRegistry() {
    using Outcome = RegistryCheck::Outcome;
    const QString path = registryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return {Outcome::Unavailable, {}};
    }
    RegistryCheck result{Outcome::Created, {}};
    if (QFileInfo::exists(path)) {
        RecordStore store(context_.fatal);
        if (store.open(path, alias(), password())) {
            const int count = store.recordCount();
            store.close(alias());
            if (count > 0) {
                return {Outcome::Ready, {}};
            }
        } else if (store.lastOpenStatus() == OpenStatus::Busy) {
            return {Outcome::Busy, {}};
        } else {
            // Damaged, foreign or under another password: keep it for the user, never overwrite.
            const QDateTime now =
                context_.clock ? context_.clock->now() : QDateTime::currentDateTime();
            const QString base = path + QStringLiteral(".damaged-") +
                                 now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
            QString kept = base;
            for (int n = 2; QFileInfo::exists(kept); ++n) {
                kept = base + QLatin1Char('-') + QString::number(n);
            }
            if (!QFile::rename(path, kept)) {
                return {Outcome::Unavailable, {}};
            }
            const QString journal = path + QStringLiteral("-journal");
            if (QFileInfo::exists(journal)) {
                QFile::rename(journal, kept + QStringLiteral("-journal"));
            }
            result = {Outcome::KeptAside, kept};
        }
    }
    if (!RecordStore::create(path, registryFields())) {
        return {Outcome::Unavailable, result.keptAsidePath};
    }
    {
        RecordStore store(context_.fatal);
        if (!store.open(path, alias(), Text())) {
            return {Outcome::Unavailable, result.keptAsidePath};
        }
        store.setPassword(password());
        if (store.recordCount() == 0) {
            const BookRecord book = defaultBook();
            store.addBlankRecord();
            store.write(fieldName(Name), FieldValue::ofText(book.name));
            store.write(fieldName(Owner), FieldValue::ofText(book.owner));
            store.write(fieldName(Days), FieldValue::ofInteger(book.days));
            store.write(fieldName(Note), FieldValue::ofText(book.note));
        }
        if (!store.close(alias())) {
            return {Outcome::Unavailable, result.keptAsidePath};
        }
    }
    DiaryStore(context_).createBookFiles(defaultBook().name);
    return result;
}

int BookRegistry::countBooks() {
    RecordStore store(context_.fatal);
    if (!store.open(registryPath(), alias(), password())) {
        return 0;
    }
    const int count = store.recordCount();
    store.close(alias());
    return count;
}

std::optional<BookRecord> BookRegistry::readBook(int position) {
    RecordStore store(context_.fatal);
    if (!store.open(registryPath(), alias(), password())) {
        return std::nullopt;
    }
    if (position != 0) {
        store.skip(position);
    }
    BookRecord book;
    book.name = readTextField(store, Name);
    book.owner = readTextField(store, Owner);
    book.note = readTextField(store, Note);
    book.days = readDays(store);
    book.password = readTextField(store, Password);
    store.close(alias());
    return book;
}

std::optional<Text> BookRegistry::readBookPassword(int position) {
    RecordStore store(context_.fatal);
    if (!store.open(registryPath(), alias(), password())) {
        return std::nullopt;
    }
    if (position != 0) {
        store.skip(position);
    }
    const Text result = readTextField(store, Password);
    store.close(alias());
    return result;
}

std::vector<Text> BookRegistry::listField(int number, bool* opened) {
    RecordStore store(context_.fatal);
    *opened = store.open(registryPath(), alias(), password());
    if (!*opened) {
        return {};
    }
    const int count = store.recordCount();
    std::vector<Text> values;
    values.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        values.push_back(readTextField(store, number));
        store.skip();
    }
    store.close(alias());
    return values;
}

std::vector<Text> BookRegistry::listBookNames() {
    bool opened = false;
    return listField(Name, &opened);
}

std::optional<std::vector<Text>> BookRegistry::listOwnerNames() {
    bool opened = false;
    std::vector<Text> owners = listField(Owner, &opened);
    if (!opened) {
        return std::nullopt;
    }
    return owners;
}

RegistryResult BookRegistry::writeBook(RecordStore& store, const BookRecord& book) {
    const std::pair<Field, FieldValue> writes[] = {
        {Name, FieldValue::ofText(book.name)},    {Owner, FieldValue::ofText(book.owner)},
        {Days, FieldValue::ofInteger(book.days)}, {Password, FieldValue::ofText(book.password)},
        {Note, FieldValue::ofText(book.note)},
    };
    for (const auto& [field, value] : writes) {
        if (!store.write(fieldName(field), value)) {
            return RegistryResult::WriteFailed;
        }
    }
    return RegistryResult::Ok;
}

RegistryResult BookRegistry::appendBook(const BookRecord& book) {
    RecordStore store(context_.fatal);
    if (!store.open(registryPath(), alias(), password())) {
        return RegistryResult::OpenFailed;
    }
    RegistryResult result =
        store.addBlankRecord() ? writeBook(store, book) : RegistryResult::WriteFailed;
    if (!store.close(alias()) && result == RegistryResult::Ok) {
        result = RegistryResult::WriteFailed;
    }
    return result;
}

RegistryResult BookRegistry::updateBook(int position, const BookRecord& book) {
    RecordStore store(context_.fatal);
    if (!store.open(registryPath(), alias(), password())) {
        return RegistryResult::OpenFailed;
    }
    if (position != 0) {
        store.skip(position);
    }
    RegistryResult result = writeBook(store, book);
    if (!store.close(alias()) && result == RegistryResult::Ok) {
        result = RegistryResult::WriteFailed;
    }
    return result;
}

} // namespace wendlow
