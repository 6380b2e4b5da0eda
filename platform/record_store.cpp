#include "record_store.h"

#include "sqlite_handle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include <fcntl.h>
#include <unistd.h>

namespace wendlow {

namespace {

constexpr const char* kFormatMarker = "wendlow-records-1";
constexpr int kBusyTimeoutMs = 500;
constexpr int kCacheBatch = 256;
constexpr int kMaxFieldNameBytes = 16;

bool validKind(int kind) {
    switch (static_cast<FieldKind>(kind)) {
    case FieldKind::Byte:
    case FieldKind::Short:
    case FieldKind::Integer:
    case FieldKind::Long:
    case FieldKind::Float:
    case FieldKind::Double:
    case FieldKind::Text:
    case FieldKind::Memo:
        return true;
    }
    return false;
}

std::string column(int fieldNumber) {
    return "f" + std::to_string(fieldNumber);
}
std::string memoTable(int fieldNumber) {
    return "wendlow_memo_" + std::to_string(fieldNumber);
}

std::string sqlType(FieldKind kind) {
    switch (kind) {
    case FieldKind::Text:
    case FieldKind::Memo:
        return "BLOB";
    case FieldKind::Float:
    case FieldKind::Double:
        return "REAL";
    default:
        return "INTEGER";
    }
}

// The value a blank record holds in a field: zero bytes of the width, or 0.
std::string blankValue(const FieldSpec& field) {
    if (field.kind == FieldKind::Text) {
        return "zeroblob(" + std::to_string(field.width) + ")";
    }
    return isNumericKind(field.kind) ? "0" : "NULL";
}

Text cutAtZero(const Text& bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

// A number converted to a field's numeric kind, as the file stores it.
qint64 toStoredInteger(FieldKind kind, qint64 value) {
    switch (kind) {
    case FieldKind::Byte:
        return static_cast<quint8>(static_cast<quint64>(value) & 0xFF);
    case FieldKind::Short:
        return static_cast<qint16>(static_cast<quint64>(value) & 0xFFFF);
    case FieldKind::Integer:
        return static_cast<qint32>(static_cast<quint64>(value) & 0xFFFFFFFFu);
    default:
        return value;
    }
}

qint64 truncateToInteger(double value) {
    if (!std::isfinite(value) || value >= 9223372036854775808.0 || value < -9223372036854775808.0) {
        return 0;
    }
    return static_cast<qint64>(value);
}

// Makes a rename durable. A failure here only loses durability, never atomicity.
bool fsyncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool isNumericKind(FieldKind kind) {
    return !isTextKind(kind);
}
bool isTextKind(FieldKind kind) {
    return kind == FieldKind::Text || kind == FieldKind::Memo;
}

// One open file: its connection, held in one exclusive transaction, the field list, the ids of
// its records in order, the current position and a read cache per column.
class RecordStore::Table {
  public:
    Database db;
    QString path;
    std::vector<FieldSpec> fields;
    std::vector<qint64> ids;
    qsizetype position = 0;
    std::map<int, std::pair<qsizetype, std::vector<FieldValue>>> cache;
    std::map<std::string, Statement> statements;

    ~Table() {
        if (db) {
            commit();
        }
    }

    sqlite3_stmt* statement(const std::string& sql) {
        auto it = statements.find(sql);
        if (it == statements.end()) {
            Statement stmt = Statement::prepare(db.get(), sql);
            if (!stmt) {
                return nullptr;
            }
            it = statements.emplace(sql, std::move(stmt)).first;
        }
        sqlite3_reset(it->second.get());
        sqlite3_clear_bindings(it->second.get());
        return it->second.get();
    }

    bool commit() {
        statements.clear();
        const bool ok = db.exec("COMMIT");
        if (!ok) {
            db.exec("ROLLBACK");
        }
        db.reset();
        return ok;
    }

    bool hasRecord() const {
        return position >= 0 && position < static_cast<qsizetype>(ids.size());
    }

    int fieldNumber(const Text& name) const {
        const Text folded = foldAsciiCase(name);
        for (size_t i = 0; i < fields.size(); ++i) {
            if (foldAsciiCase(fields[i].name) == folded) {
                return static_cast<int>(i) + 1;
            }
        }
        return 0;
    }

    FieldValue emptyValue(const FieldSpec& field) const {
        FieldValue v;
        v.kind = field.kind;
        return v;
    }

    FieldValue valueFromColumn(const FieldSpec& field, sqlite3_stmt* stmt, int col) const {
        FieldValue v;
        v.kind = field.kind;
        if (field.kind == FieldKind::Text || field.kind == FieldKind::Memo) {
            const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, col));
            const int size = sqlite3_column_bytes(stmt, col);
            const Text bytes = data ? Text(data, size) : Text();
            v.text = field.kind == FieldKind::Text ? cutAtZero(bytes) : bytes;
        } else if (field.kind == FieldKind::Float || field.kind == FieldKind::Double) {
            v.real = sqlite3_column_double(stmt, col);
        } else {
            v.integer = sqlite3_column_int64(stmt, col);
        }
        return v;
    }

    bool loadIds() {
        ids.clear();
        // The index holds (deleted, id): marked records come after the others, so the ids are
        // put back in file order when any record is marked.
        sqlite3_stmt* stmt =
            statement("SELECT id FROM wendlow_records INDEXED BY wendlow_records_ids");
        if (!stmt) {
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            ids.push_back(sqlite3_column_int64(stmt, 0));
        }
        if (!std::is_sorted(ids.begin(), ids.end())) {
            std::sort(ids.begin(), ids.end());
        }
        return rc == SQLITE_DONE;
    }

    FieldValue read(int number) {
        const FieldSpec& field = fields[static_cast<size_t>(number) - 1];
        if (!hasRecord()) {
            return emptyValue(field);
        }
        const qint64 id = ids[static_cast<size_t>(position)];
        if (field.kind == FieldKind::Memo) {
            sqlite3_stmt* stmt =
                statement("SELECT data FROM " + memoTable(number) + " WHERE id = ?");
            if (!stmt) {
                return emptyValue(field);
            }
            sqlite3_bind_int64(stmt, 1, id);
            if (sqlite3_step(stmt) != SQLITE_ROW) {
                return emptyValue(field);
            }
            return valueFromColumn(field, stmt, 0);
        }
        // Reading a column walks forward through the file, as listing does: fetch a batch of
        // the following records at once.
        auto& [first, values] = cache[number];
        if (position < first || position >= first + static_cast<qsizetype>(values.size())) {
            values.clear();
            first = position;
            sqlite3_stmt* stmt =
                statement("SELECT " + column(number) +
                          " FROM wendlow_records WHERE id >= ? ORDER BY id LIMIT " +
                          std::to_string(kCacheBatch));
            if (!stmt) {
                return emptyValue(field);
            }
            sqlite3_bind_int64(stmt, 1, id);
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                values.push_back(valueFromColumn(field, stmt, 0));
            }
            if (values.empty()) {
                return emptyValue(field);
            }
        }
        return values[static_cast<size_t>(position - first)];
    }

    bool write(int number, const FieldValue& value) {
        const FieldSpec& field = fields[static_cast<size_t>(number) - 1];
        const qint64 id = ids[static_cast<size_t>(position)];
        const bool valueIsText = isTextKind(value.kind);
        if (isNumericKind(field.kind) && valueIsText) {
            return false;
        }
        if (field.kind == FieldKind::Memo) {
            const Text bytes = valueIsText ? value.text : numberText(value);
            sqlite3_stmt* stmt = statement("INSERT OR REPLACE INTO " + memoTable(number) +
                                           "(id, data) VALUES(?, ?)");
            if (!stmt) {
                return false;
            }
            sqlite3_bind_int64(stmt, 1, id);
            sqlite3_bind_blob(stmt, 2, bytes.constData(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
            return sqlite3_step(stmt) == SQLITE_DONE;
        }
        sqlite3_stmt* stmt =
            statement("UPDATE wendlow_records SET " + column(number) + " = ? WHERE id = ?");
        if (!stmt) {
            return false;
        }
        if (field.kind == FieldKind::Text) {
            Text bytes = (valueIsText ? value.text : numberText(value)).left(field.width);
            bytes.append(field.width - bytes.size(), '\0');
            sqlite3_bind_blob(stmt, 1, bytes.constData(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
        } else if (field.kind == FieldKind::Float || field.kind == FieldKind::Double) {
            const bool isReal = value.kind == FieldKind::Float || value.kind == FieldKind::Double;
            double v = isReal ? value.real : static_cast<double>(value.integer);
            if (field.kind == FieldKind::Float) {
                v = static_cast<double>(static_cast<float>(v));
            }
            sqlite3_bind_double(stmt, 1, v);
        } else {
            const bool isReal = value.kind == FieldKind::Float || value.kind == FieldKind::Double;
            const qint64 v = isReal ? truncateToInteger(value.real) : value.integer;
            sqlite3_bind_int64(stmt, 1, toStoredInteger(field.kind, v));
        }
        sqlite3_bind_int64(stmt, 2, id);
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            return false;
        }
        cache.erase(number);
        return true;
    }

    static Text numberText(const FieldValue& value) {
        if (value.kind == FieldKind::Float || value.kind == FieldKind::Double) {
            return Text::number(value.real, 'g', 15);
        }
        return Text::number(value.integer);
    }
};

RecordStore::RecordStore(FatalErrorHandler fatal) : fatal_(std::move(fatal)) {}

RecordStore::~RecordStore() = default;

void RecordStore::fatal(int code, const char* message) {
    if (fatal_) {
        fatal_(code, gbk(message));
    }
}

bool RecordStore::create(const QString& path, const std::vector<FieldSpec>& fields) {
    if (fields.empty()) {
        return false;
    }
    std::set<Text> names;
    for (const FieldSpec& f : fields) {
        if (f.name.isEmpty() || f.name.size() > kMaxFieldNameBytes ||
            !names.insert(foldAsciiCase(f.name)).second || !validKind(static_cast<int>(f.kind)) ||
            (f.kind == FieldKind::Text && (f.width < 1 || f.width > 255))) {
            return false;
        }
    }
    const QFileInfo target(path);
    if (!target.dir().exists() || target.isDir()) {
        return false;
    }
    // Build the new file beside the old one and put it in place with one rename, so that a
    // crash never leaves a half-made table behind.
    const QString temp =
        path + QStringLiteral(".new-") + QUuid::createUuid().toString(QUuid::WithoutBraces).left(8);
    bool ok = false;
    {
        Database db = Database::open(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (db) {
            std::string schema =
                "PRAGMA auto_vacuum = INCREMENTAL;"
                "BEGIN;"
                "CREATE TABLE wendlow_meta(key TEXT PRIMARY KEY, value BLOB NOT NULL);"
                "CREATE TABLE wendlow_fields(no INTEGER PRIMARY KEY, name BLOB NOT NULL,"
                " kind INTEGER NOT NULL, width INTEGER NOT NULL);";
            std::string records = "CREATE TABLE wendlow_records(id INTEGER PRIMARY KEY,"
                                  " deleted INTEGER NOT NULL DEFAULT 0";
            for (size_t i = 0; i < fields.size(); ++i) {
                const int no = static_cast<int>(i) + 1;
                if (fields[i].kind == FieldKind::Memo) {
                    schema += "CREATE TABLE " + memoTable(no) +
                              "(id INTEGER PRIMARY KEY, data BLOB NOT NULL);";
                } else {
                    records += ", " + column(no) + " " + sqlType(fields[i].kind);
                }
            }
            // A narrow index lets an open learn the record ids without reading every row.
            schema += records + ");CREATE INDEX wendlow_records_ids ON wendlow_records(deleted);";
            ok = db.exec(schema);
            ok = ok && db.execBound("INSERT INTO wendlow_meta VALUES('format', ?)",
                                    {Text(kFormatMarker)});
            ok = ok && db.execBound("INSERT INTO wendlow_meta VALUES('password', ?)", {Text("")});
            for (size_t i = 0; ok && i < fields.size(); ++i) {
                ok = db.execBound("INSERT INTO wendlow_fields VALUES(" + std::to_string(i + 1) +
                                      ", ?, " + std::to_string(static_cast<int>(fields[i].kind)) +
                                      ", " + std::to_string(fields[i].width) + ")",
                                  {fields[i].name});
            }
            ok = ok && db.exec("COMMIT");
            ok = db.close() && ok;
        }
    }
    if (ok) {
        // A journal left by a crash belongs to the file being replaced; it must not be played
        // back into the new one.
        QFile::remove(path + QStringLiteral("-journal"));
        ok = std::rename(QFile::encodeName(temp).constData(),
                         QFile::encodeName(path).constData()) == 0;
    }
    if (!ok) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-journal"));
        return false;
    }
    fsyncDirectory(target.absolutePath());
    return true;
}

bool RecordStore::open(const QString& path, const Text& alias, const Text& password) {
    const auto fail = [this](OpenStatus status) {
        lastOpenStatus_ = status;
        return false;
    };
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        return fail(OpenStatus::Missing);
    }
    const QString canonical = info.canonicalFilePath();
    const Text key = foldAsciiCase(alias);
    if (tables_.count(key) != 0) {
        return fail(OpenStatus::AlreadyOpen);
    }
    for (const auto& [name, table] : tables_) {
        if (table->path == canonical) {
            return fail(OpenStatus::AlreadyOpen);
        }
    }

    auto table = std::make_unique<Table>();
    table->path = canonical;
    table->db = Database::open(canonical, SQLITE_OPEN_READWRITE);
    if (!table->db) {
        return fail(OpenStatus::NotARecordStore);
    }
    sqlite3_busy_timeout(table->db.get(), kBusyTimeoutMs);
    table->db.exec("PRAGMA synchronous = FULL");
    const int rc = table->db.execCode("BEGIN EXCLUSIVE");
    if (rc != SQLITE_OK) {
        table->db.reset();
        return fail((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED
                        ? OpenStatus::Busy
                        : OpenStatus::NotARecordStore);
    }
    const auto abandon = [&table, &fail](OpenStatus status) {
        table->statements.clear();
        table->db.exec("ROLLBACK");
        table->db.reset();
        return fail(status);
    };

    // Only a file of our own layout is a record store; anything else is left untouched.
    Text marker;
    Text stored;
    {
        sqlite3_stmt* stmt = table->statement("SELECT key, value FROM wendlow_meta");
        if (!stmt) {
            return abandon(OpenStatus::NotARecordStore);
        }
        int step;
        while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
            const Text k(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
            const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, 1));
            const Text v = data ? Text(data, sqlite3_column_bytes(stmt, 1)) : Text();
            if (k == "format") {
                marker = v;
            } else if (k == "password") {
                stored = v;
            }
        }
        if (step != SQLITE_DONE || marker != kFormatMarker) {
            return abandon(OpenStatus::NotARecordStore);
        }
    }
    {
        sqlite3_stmt* stmt =
            table->statement("SELECT no, name, kind, width FROM wendlow_fields ORDER BY no");
        if (!stmt) {
            return abandon(OpenStatus::NotARecordStore);
        }
        int step;
        while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
            const int no = sqlite3_column_int(stmt, 0);
            const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, 1));
            const Text name = data ? Text(data, sqlite3_column_bytes(stmt, 1)) : Text();
            const int kind = sqlite3_column_int(stmt, 2);
            const int width = sqlite3_column_int(stmt, 3);
            if (no != static_cast<int>(table->fields.size()) + 1 || !validKind(kind) ||
                (kind == static_cast<int>(FieldKind::Text) && (width < 1 || width > 255))) {
                return abandon(OpenStatus::NotARecordStore);
            }
            table->fields.push_back({name, static_cast<FieldKind>(kind), width});
        }
        if (step != SQLITE_DONE || table->fields.empty()) {
            return abandon(OpenStatus::NotARecordStore);
        }
    }
    // Every column and memo table the field list names must be there.
    std::string probe = "SELECT id, deleted";
    for (size_t i = 0; i < table->fields.size(); ++i) {
        const int no = static_cast<int>(i) + 1;
        if (table->fields[i].kind == FieldKind::Memo) {
            if (!table->statement("SELECT id, data FROM " + memoTable(no) + " LIMIT 0")) {
                return abandon(OpenStatus::NotARecordStore);
            }
        } else {
            probe += ", " + column(no);
        }
    }
    if (!table->statement(probe + " FROM wendlow_records LIMIT 0")) {
        return abandon(OpenStatus::NotARecordStore);
    }
    if (!table->loadIds()) {
        return abandon(OpenStatus::NotARecordStore);
    }
    if (stored != password) {
        return abandon(OpenStatus::WrongPassword);
    }
    table->position = 0;
    tables_[key] = std::move(table);
    currentAlias_ = key;
    lastOpenStatus_ = OpenStatus::Ok;
    return true;
}

RecordStore::Table* RecordStore::current() {
    if (currentAlias_.isEmpty()) {
        return nullptr;
    }
    const auto it = tables_.find(currentAlias_);
    return it == tables_.end() ? nullptr : it->second.get();
}

bool RecordStore::setPassword(const Text& password) {
    Table* t = current();
    return t &&
           t->db.execBound("UPDATE wendlow_meta SET value = ? WHERE key = 'password'", {password});
}

bool RecordStore::close(const Text& alias) {
    const Text key = foldAsciiCase(alias);
    const auto it = tables_.find(key);
    if (it == tables_.end()) {
        return true;
    }
    const bool ok = it->second->commit();
    tables_.erase(it);
    if (currentAlias_ == key) {
        currentAlias_.clear();
    }
    return ok;
}

bool RecordStore::setCurrent(const Text& alias) {
    const Text key = foldAsciiCase(alias);
    if (tables_.count(key) == 0) {
        return false;
    }
    currentAlias_ = key;
    return true;
}

int RecordStore::recordCount() {
    Table* t = current();
    return t ? static_cast<int>(t->ids.size()) : 0;
}

int RecordStore::position() const {
    const auto it = tables_.find(currentAlias_);
    return it == tables_.end() ? 0 : static_cast<int>(it->second->position);
}

bool RecordStore::addBlankRecord() {
    Table* t = current();
    if (!t) {
        return false;
    }
    std::string columns = "deleted";
    std::string values = "0";
    for (size_t i = 0; i < t->fields.size(); ++i) {
        if (t->fields[i].kind != FieldKind::Memo) {
            columns += ", " + column(static_cast<int>(i) + 1);
            values += ", " + blankValue(t->fields[i]);
        }
    }
    sqlite3_stmt* stmt =
        t->statement("INSERT INTO wendlow_records(" + columns + ") VALUES(" + values + ")");
    if (!stmt || sqlite3_step(stmt) != SQLITE_DONE) {
        return false;
    }
    t->ids.push_back(sqlite3_last_insert_rowid(t->db.get()));
    t->position = static_cast<qsizetype>(t->ids.size()) - 1;
    return true;
}

void RecordStore::goToLastRecord() {
    if (Table* t = current()) {
        t->position = std::max<qsizetype>(0, static_cast<qsizetype>(t->ids.size()) - 1);
    }
}

bool RecordStore::skip(int n) {
    Table* t = current();
    if (!t) {
        return false;
    }
    const auto count = static_cast<qsizetype>(t->ids.size());
    if (n > 0 && (count == 0 || t->position >= count)) {
        return false;
    }
    if (n < 0 && (count == 0 || t->position <= -1)) {
        return false;
    }
    t->position = std::clamp<qsizetype>(t->position + n, -1, count);
    return true;
}

bool RecordStore::deleteRecord() {
    Table* t = current();
    if (!t || !t->hasRecord()) {
        return false;
    }
    sqlite3_stmt* stmt = t->statement("UPDATE wendlow_records SET deleted = 1 WHERE id = ?");
    if (!stmt) {
        return false;
    }
    sqlite3_bind_int64(stmt, 1, t->ids[static_cast<size_t>(t->position)]);
    return sqlite3_step(stmt) == SQLITE_DONE;
}

bool RecordStore::purge() {
    Table* t = current();
    if (!t) {
        return false;
    }
    bool ok = true;
    for (size_t i = 0; ok && i < t->fields.size(); ++i) {
        if (t->fields[i].kind == FieldKind::Memo) {
            ok = t->db.exec("DELETE FROM " + memoTable(static_cast<int>(i) + 1) +
                            " WHERE id IN (SELECT id FROM wendlow_records WHERE deleted <> 0)");
        }
    }
    ok = ok && t->db.exec("DELETE FROM wendlow_records WHERE deleted <> 0");
    if (ok && sqlite3_changes(t->db.get()) > 0) {
        t->cache.clear();
        ok = t->loadIds();
        t->position = std::min<qsizetype>(t->position, static_cast<qsizetype>(t->ids.size()));
        // Give space back only when a good share of the file has become free.
        const qint64 freePages = t->db.queryInteger("PRAGMA freelist_count");
        const qint64 pages = t->db.queryInteger("PRAGMA page_count");
        if (freePages > 64 && freePages * 4 > pages) {
            t->db.exec("PRAGMA incremental_vacuum");
        }
    }
    return ok;
}

FieldValue RecordStore::read(int fieldNumber) {
    Table* t = current();
    if (!t) {
        fatal(0, "未指定当前数据库或者指定数据库未打开");
        return {};
    }
    if (fieldNumber < 1 || fieldNumber > static_cast<int>(t->fields.size())) {
        fatal(0, "指定字段不存在");
        return {};
    }
    return t->read(fieldNumber);
}

bool RecordStore::write(const Text& fieldName, const FieldValue& value) {
    Table* t = current();
    if (!t) {
        return false;
    }
    const int number = t->fieldNumber(fieldName);
    if (number == 0) {
        fatal(0, "指定字段不存在");
        return false;
    }
    if (!t->hasRecord()) {
        return false;
    }
    return t->write(number, value);
}

std::vector<FieldSpec> RecordStore::fields() const {
    const auto it = tables_.find(currentAlias_);
    return it == tables_.end() ? std::vector<FieldSpec>{} : it->second->fields;
}

} // namespace wendlow
