#pragma once

#include "diary_entry.h"

#include <QString>

#include <optional>
#include <vector>

namespace wendlow {

// An entry as a GBK text file: title, date, mood and weather, each followed by CR LF, then 36
// hyphens, then the content to the end of the file. No texts are cut.
Text formatEntryFile(const DiaryEntry& entry);

// The entry in a file's bytes. The text ends before the first zero byte. Lines 1 to 4 of the
// part before the first separator are title, date, mood and weather; the part after it, up to a
// further separator, is the content. Nothing when the file lacks that structure: no separator,
// fewer than four header lines, or nothing after the separator.
std::optional<DiaryEntry> parseEntryFile(const Text& bytes);

// Writes the entry's file to `path` as chosen. The old file is replaced only once the new one is
// complete, so a failed export never leaves half a file behind. False when it was not written.
bool writeEntryFile(const QString& path, const DiaryEntry& entry);

// The entry in the file at `path`; nothing when it cannot be read or is not an entry file.
std::optional<DiaryEntry> readEntryFile(const QString& path);

// The pieces of `text` split at every `separator` found at a character boundary (a byte of 0x80
// or above and the byte after it are one character). Each match ends one piece; the rest after
// the last match is a piece only when it is not empty.
std::vector<Text> splitAtCharacters(const Text& text, const Text& separator);

} // namespace wendlow
