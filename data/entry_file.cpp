#include "entry_file.h"

#include <QFile>
#include <QSaveFile>

namespace wendlow {

namespace {

const Text& separator() {
    static const Text s(36, '-');
    return s;
}

const Text& lineBreak() {
    static const Text s("\r\n");
    return s;
}

} // namespace

Text formatEntryFile(const DiaryEntry& entry) {
    Text out;
    out.reserve(entry.title.size() + entry.date.size() + entry.mood.size() + entry.weather.size() +
                entry.content.size() + 44);
    for (const Text* line : {&entry.title, &entry.date, &entry.mood, &entry.weather}) {
        out += *line;
        out += lineBreak();
    }
    out += separator();
    out += entry.content;
    return out;
}

std::vector<Text> splitAtCharacters(const Text& text, const Text& sep) {
    std::vector<Text> pieces;
    qsizetype start = 0;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        if (pos + sep.size() <= n && text.at(pos) == sep.at(0) &&
            std::equal(sep.begin(), sep.end(), text.begin() + pos)) {
            pieces.push_back(text.mid(start, pos - start));
            pos += sep.size();
            start = pos;
        } else {
            pos = nextCharacter(text, pos);
        }
    }
    if (start < n) {
        pieces.push_back(text.mid(start));
    }
    return pieces;
}

std::optional<DiaryEntry> parseEntryFile(const Text& bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    const Text text = zero < 0 ? bytes : bytes.left(zero);
    const std::vector<Text> pieces = splitAtCharacters(text, separator());
    if (pieces.size() < 2) {
        return std::nullopt;
    }
    const std::vector<Text> lines = splitAtCharacters(pieces[0], lineBreak());
    if (lines.size() < 4) {
        return std::nullopt;
    }
    return DiaryEntry{lines[0], lines[1], lines[2], lines[3], pieces[1]};
}

bool writeEntryFile(const QString& path, const DiaryEntry& entry) {
    if (path.isEmpty()) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const Text bytes = formatEntryFile(entry);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<DiaryEntry> readEntryFile(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return parseEntryFile(file.readAll());
}

} // namespace wendlow
