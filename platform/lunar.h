#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace wendlow {

// A day of the Chinese lunar calendar.
struct LunarDay {
    int year = 0;  // the lunar year (its Gregorian number)
    int month = 0; // 1..12
    int day = 0;   // 1..30
    bool leapMonth = false;
    friend bool operator==(const LunarDay&, const LunarDay&) = default;
};

// The lunar day of a Gregorian date; nothing outside the range the tables cover.
std::optional<LunarDay> lunarDayOf(const QDate& date);

// What a calendar cell shows under the Gregorian day: the month's name on the 1st of a lunar
// month ("正月", "闰四月", ..., "腊月"), otherwise the day's name ("初二" ... "三十").
QString lunarCellText(const LunarDay& day);

} // namespace wendlow
