#include "book_names.h"

#include <QStringList>

namespace wendlow {

bool isSafeBookName(const Text& name) {
    if (name.isEmpty() || !isWholeText(name)) {
        return false;
    }
    const QString folder = toUnicode(name);
    if (folder == QLatin1String(".") || folder == QLatin1String("..")) {
        return false;
    }
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : folder) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || forbidden.contains(c)) {
            return false;
        }
    }
    const auto isEdge = [](QChar c) { return c.isSpace() || c == QLatin1Char('.'); };
    if (isEdge(folder.front()) || isEdge(folder.back())) {
        return false;
    }
    // Device names are reserved on Windows with any extension; the settings folder is ours.
    const QString stem = folder.section(QLatin1Char('.'), 0, 0).toUpper();
    static const QStringList reserved = {
        QStringLiteral("CON"),  QStringLiteral("PRN"),  QStringLiteral("AUX"),
        QStringLiteral("NUL"),  QStringLiteral("COM1"), QStringLiteral("COM2"),
        QStringLiteral("COM3"), QStringLiteral("COM4"), QStringLiteral("COM5"),
        QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8"),
        QStringLiteral("COM9"), QStringLiteral("LPT1"), QStringLiteral("LPT2"),
        QStringLiteral("LPT3"), QStringLiteral("LPT4"), QStringLiteral("LPT5"),
        QStringLiteral("LPT6"), QStringLiteral("LPT7"), QStringLiteral("LPT8"),
        QStringLiteral("LPT9")};
    if (reserved.contains(stem.trimmed())) {
        return false;
    }
    return folder.compare(QLatin1String("DATEINI"), Qt::CaseInsensitive) != 0;
}

QString bookFolderName(const Text& name) {
    return toUnicode(name);
}

} // namespace wendlow
