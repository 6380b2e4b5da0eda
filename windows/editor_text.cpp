#include "editor_text.h"

namespace wendlow {

Text contentToText(const QString& widgetText) {
    QString text = widgetText;
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return fromUnicode(text);
}

QString contentFromText(const Text& stored) {
    QString text = toUnicode(stored);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

} // namespace wendlow
