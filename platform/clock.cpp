#include "clock.h"

namespace wendlow {

Text formatDateTime(const QDateTime& when) {
    static const QDate first(100, 1, 1);
    static const QDate last(9999, 12, 31);
    QDate date = when.date();
    QTime time = when.time();
    if (!date.isValid() || date < first) {
        date = first;
        time = QTime(0, 0);
    } else if (date > last) {
        date = last;
        time = QTime(0, 0);
    }
    QString out = QStringLiteral("%1年%2月%3日").arg(date.year()).arg(date.month()).arg(date.day());
    if (time.second() != 0) {
        out +=
            QStringLiteral("%1时%2分%3秒").arg(time.hour()).arg(time.minute()).arg(time.second());
    } else if (time.minute() != 0) {
        out += QStringLiteral("%1时%2分").arg(time.hour()).arg(time.minute());
    } else if (time.hour() != 0) {
        out += QStringLiteral("%1时").arg(time.hour());
    }
    return fromUnicode(out);
}

} // namespace wendlow
