#pragma once

#include "clock.h"
#include "fatal_error.h"
#include "text.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <utility>
#include <vector>

namespace wendlow::test {

// Records fatal reports instead of ending the process, so a test can see that one was made.
class FatalRecorder {
  public:
    FatalErrorHandler handler() {
        return [this](int code, const Text& message) { calls.emplace_back(code, message); };
    }
    std::vector<std::pair<int, Text>> calls;
};

// A clock standing still at a chosen moment.
class FixedClock final : public Clock {
  public:
    explicit FixedClock(QDateTime when = QDateTime(QDate(2010, 2, 14), QTime(9, 5)))
        : when_(std::move(when)) {}
    QDateTime now() const override { return when_; }
    void set(const QDateTime& when) { when_ = when; }

  private:
    QDateTime when_;
};

// A temporary directory of its own for one test, with a fatal-error recorder and a clock.
class TempDir {
  public:
    QString path(const QString& relative = {}) const {
        return relative.isEmpty() ? dir_.path() : dir_.path() + QLatin1Char('/') + relative;
    }
    bool isValid() const { return dir_.isValid(); }

    FatalRecorder fatal;
    FixedClock clock;

  private:
    QTemporaryDir dir_;
};

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Everything below `dir`, relative to it and sorted, so a test can see what was created.
inline QStringList treeOf(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        out << QDir(dir).relativeFilePath(it.next());
    }
    out.sort();
    return out;
}

inline QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Every file of a directory with its bytes, to show that an operation changed nothing.
inline QMap<QString, QByteArray> snapshot(const QString& dir) {
    QMap<QString, QByteArray> out;
    for (const QString& name : filesIn(dir)) {
        out.insert(name, readFile(dir + QLatin1Char('/') + name));
    }
    return out;
}

// The path of a committed fixture file.
inline QString fixture(const QString& name) {
    return QStringLiteral(WENDLOW_FIXTURES "/") + name;
}

} // namespace wendlow::test
