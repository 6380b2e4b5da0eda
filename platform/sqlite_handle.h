#pragma once

#include "text.h"

#include <QString>

#include <sqlite3.h>

#include <initializer_list>
#include <memory>
#include <string>

namespace wendlow {

// Owning handles over the SQLite C API.

struct StatementDeleter {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

class Statement {
  public:
    Statement() = default;
    static Statement prepare(sqlite3* db, const std::string& sql);
    sqlite3_stmt* get() const { return stmt_.get(); }
    explicit operator bool() const { return stmt_ != nullptr; }

  private:
    std::unique_ptr<sqlite3_stmt, StatementDeleter> stmt_;
};

class Database {
  public:
    Database() = default;
    ~Database() { reset(); }
    Database(Database&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    static Database open(const QString& path, int flags);

    sqlite3* get() const { return db_; }
    explicit operator bool() const { return db_ != nullptr; }

    int execCode(const std::string& sql);
    bool exec(const std::string& sql) { return execCode(sql) == SQLITE_OK; }
    // Runs one statement with its parameters bound as blobs.
    bool execBound(const std::string& sql, std::initializer_list<Text> params);
    qint64 queryInteger(const std::string& sql);

    // Closes the connection; false when SQLite refused (statements still open).
    bool close();
    void reset();

  private:
    sqlite3* db_ = nullptr;
};

} // namespace wendlow
