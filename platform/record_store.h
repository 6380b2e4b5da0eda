#pragma once

#include "fatal_error.h"
#include "text.h"

#include <QString>

#include <map>
#include <memory>
#include <vector>

namespace wendlow {

// Field kinds, by their type codes. The program writes only Integer, Text and Memo; the other
// numeric kinds exist so that a file of another layout can be read and judged.
enum class FieldKind : int {
    Byte = 1,
    Short = 2,
    Integer = 3,
    Long = 4,
    Float = 5,
    Double = 6,
    Text = 10,
    Memo = 12,
};

bool isNumericKind(FieldKind kind);
bool isTextKind(FieldKind kind);

struct FieldSpec {
    Text name; // at most 16 bytes, unique ignoring case
    FieldKind kind;
    int width; // bytes, for Text fields
};

// One field's value: text for Text and Memo fields, a number for the numeric kinds.
struct FieldValue {
    FieldKind kind = FieldKind::Text;
    Text text;
    qint64 integer = 0;
    double real = 0.0;

    static FieldValue ofText(const Text& t) { return {FieldKind::Text, t, 0, 0.0}; }
    static FieldValue ofInteger(qint64 v) { return {FieldKind::Long, {}, v, 0.0}; }
    static FieldValue ofReal(double v) { return {FieldKind::Double, {}, 0, v}; }
};

enum class OpenStatus {
    Ok,
    Missing,         // no file at that path
    AlreadyOpen,     // this session already holds that file or alias
    Busy,            // another connection holds the file
    NotARecordStore, // garbage, empty, damaged, or an SQLite file of another layout
    WrongPassword,   // the stored password differs from the one given
};

// A session over record-store files: open tables known by alias, at most one current, and a
// current position in it. Each open table is one SQLite transaction from open to close, so a
// crash leaves a file as it was before or after the operation. Destroying the session closes
// whatever is still open.
class RecordStore {
  public:
    explicit RecordStore(FatalErrorHandler fatal);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Writes a new empty table at `path`, replacing an existing file as one step. The directory
    // must exist. The new file has no password.
    static bool create(const QString& path, const std::vector<FieldSpec>& fields);

    bool open(const QString& path, const Text& alias, const Text& password);
    OpenStatus lastOpenStatus() const { return lastOpenStatus_; }

    bool setPassword(const Text& password);
    // Commits and closes. False when the work of the session could not be made durable.
    bool close(const Text& alias);
    bool setCurrent(const Text& alias);

    int recordCount();
    int position() const;
    bool addBlankRecord();
    void goToLastRecord();
    bool skip(int n = 1);
    bool deleteRecord();
    bool purge();

    FieldValue read(int fieldNumber);
    bool write(const Text& fieldName, const FieldValue& value);

    // The field list of the current table; empty when none is current.
    std::vector<FieldSpec> fields() const;

  private:
    class Table;
    Table* current();
    void fatal(int code, const char* message);

    FatalErrorHandler fatal_;
    std::map<Text, std::unique_ptr<Table>> tables_; // by alias, folded to lower case
    Text currentAlias_;
    OpenStatus lastOpenStatus_ = OpenStatus::Ok;
};

} // namespace wendlow
