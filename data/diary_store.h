#pragma once

#include "data_context.h"
#include "diary_entry.h"

#include <optional>
#include <vector>

namespace wendlow {

// Each book keeps its entries in `<book name>/Diary.edb`. Every operation opens the file, works
// and closes it before returning. A book name that is not safe as a folder name is never turned
// into a path: such a book reads as empty and takes no entries.
class DiaryStore {
  public:
    explicit DiaryStore(DataContext context) : context_(std::move(context)) {}

    // Creates the book's folder and entry file. An entry file that is already there is kept with
    // its entries; only what is missing is created. False when the files are not there after.
    bool createBookFiles(const Text& bookName);

    // True only when the entry and all five fields were written and made durable.
    bool appendEntry(const Text& bookName, const DiaryEntry& entry);
    // 0 when the file cannot be opened.
    int countEntries(const Text& bookName);
    // None when the file cannot be opened.
    std::vector<Text> listEntryTitles(const Text& bookName);
    // Empty texts for a position at or beyond the end; nothing when the file cannot be opened.
    std::optional<DiaryEntry> readEntry(const Text& bookName, int position);
    // Removes the entry and compacts the file; a position at or beyond the end removes nothing.
    bool deleteEntry(const Text& bookName, int position);

    enum class RenameResult { Renamed, NoFolder, TargetExists, Failed };
    // Gives a book's folder a new name, so that its entries follow the book. Refused when a
    // folder of the new name exists or either name is unsafe; NoFolder when there is nothing
    // to move.
    RenameResult renameBookFolder(const Text& from, const Text& to);

    // Where the book's entry file lives; empty for an unsafe name.
    QString entryFilePath(const Text& bookName) const;

  private:
    DataContext context_;
};

} // namespace wendlow
