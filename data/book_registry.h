#pragma once

#include "data_context.h"
#include "text.h"

#include <optional>
#include <vector>

namespace wendlow {

struct BookRecord {
    Text name;
    Text owner;
    Text note;
    qint32 days = 0;
    Text password; // empty: the book is not locked

    friend bool operator==(const BookRecord&, const BookRecord&) = default;
};

enum class RegistryResult { Ok, OpenFailed, WriteFailed };

// How making sure of the registry went.
struct RegistryCheck {
    enum class Outcome {
        Ready,       // it opened and holds at least one book
        Created,     // it was missing or empty and was made anew with the default book
        KeptAside,   // it could not be opened; it was moved to `keptAsidePath` and made anew
        Busy,        // another program holds it; nothing was changed
        Unavailable, // it can be neither opened nor created (no write access)
    };
    Outcome outcome = Outcome::Unavailable;
    QString keptAsidePath;

    bool usable() const {
        return outcome == Outcome::Ready || outcome == Outcome::Created ||
               outcome == Outcome::KeptAside;
    }
};

// The registry of books, `DATEINI/Inf.edb`: one record per book, never removed, so a book's
// 0-based position identifies it for the whole run.
class BookRegistry {
  public:
    explicit BookRegistry(DataContext context) : context_(std::move(context)) {}

    // Days as the windows hand them over: truncated toward zero to 64 bits, low 32 bits kept.
    static qint32 daysFromNumber(double days);

    // Opens the registry; when it cannot be opened or holds no book, creates it.
    RegistryCheck ensureRegistry();
    // Creates the folder and a fresh registry holding the default book, and that book's files.
    // A file that is there but cannot be opened is moved aside first, never overwritten; one
    // that opens and holds books is left as it is.
    RegistryCheck createRegistry();

    int countBooks();
    // Nothing when the registry cannot be opened; empty values at or beyond the end.
    std::optional<BookRecord> readBook(int position);
    std::optional<Text> readBookPassword(int position);
    // No names when the registry cannot be opened.
    std::vector<Text> listBookNames();
    // Nothing when the registry cannot be opened.
    std::optional<std::vector<Text>> listOwnerNames();
    RegistryResult appendBook(const BookRecord& book);
    RegistryResult updateBook(int position, const BookRecord& book);

    QString registryPath() const;

  private:
    std::vector<Text> listField(int number, bool* opened);
    RegistryResult writeBook(class RecordStore& store, const BookRecord& book);
    Text readTextField(class RecordStore& store, int number);
    qint32 readDays(class RecordStore& store);

    DataContext context_;
};

// The book every fresh registry starts with.
BookRecord defaultBook();

} // namespace wendlow
