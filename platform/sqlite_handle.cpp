#include "sqlite_handle.h"

#include <QFile>

namespace wendlow {

Statement Statement::prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    Statement s;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) ==
        SQLITE_OK) {
        s.stmt_.reset(raw);
    } else {
        sqlite3_finalize(raw);
    }
    return s;
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        reset();
        db_ = other.db_;
        other.db_ = nullptr;
    }
    return *this;
}

Database Database::open(const QString& path, int flags) {
    Database d;
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr) == SQLITE_OK) {
        d.db_ = raw;
        sqlite3_extended_result_codes(raw, 1);
    } else {
        sqlite3_close(raw);
    }
    return d;
}

int Database::execCode(const std::string& sql) {
    if (!db_) {
        return SQLITE_MISUSE;
    }
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
}

bool Database::execBound(const std::string& sql, std::initializer_list<Text> params) {
    if (!db_) {
        return false;
    }
    Statement stmt = Statement::prepare(db_, sql);
    if (!stmt) {
        return false;
    }
    int index = 1;
    for (const Text& p : params) {
        sqlite3_bind_blob(stmt.get(), index++, p.constData(), static_cast<int>(p.size()),
                          SQLITE_TRANSIENT);
    }
    return sqlite3_step(stmt.get()) == SQLITE_DONE;
}

qint64 Database::queryInteger(const std::string& sql) {
    if (!db_) {
        return 0;
    }
    Statement stmt = Statement::prepare(db_, sql);
    if (!stmt || sqlite3_step(stmt.get()) != SQLITE_ROW) {
        return 0;
    }
    return sqlite3_column_int64(stmt.get(), 0);
}

bool Database::close() {
    if (!db_) {
        return true;
    }
    const bool ok = sqlite3_close(db_) == SQLITE_OK;
    if (ok) {
        db_ = nullptr;
    }
    return ok;
}

void Database::reset() {
    if (db_) {
        // close_v2 defers the close until any forgotten statement is finalized.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

} // namespace wendlow
