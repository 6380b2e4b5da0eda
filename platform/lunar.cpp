#include "lunar.h"

#include <lunar-date/lunar-date.h>

#include <QStringList>

#include <array>
#include <memory>

namespace wendlow {

namespace {

// lunar_date_free() releases only the object's private tables and g_object_unref() only the
// instance, so a LunarDate needs both.
struct LunarDateDeleter {
    void operator()(LunarDate* date) const {
        lunar_date_free(date);
        g_object_unref(date);
    }
};
struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
struct GFreeDeleter {
    void operator()(gchar* text) const { g_free(text); }
};

// Lunar months on which liblunar-date is a day off: the month starts on the day of the new moon
// in Beijing time (UTC+8), and the library's tables put these new moons on the following day.
// - 2060-04-30: the new moon is at about 18:10, so 四月 starts that day.
// - 2057-09-28: the new moon is predicted less than a minute before midnight; the prediction
//   and the published tables we compare with both start 九月 that day.
// Each entry lists the month's first and last Gregorian day; the lunar day counts from the first.
struct MonthOverride {
    QDate first;
    QDate last;
    int year;
    int month;
    bool leapMonth;
};

const std::array<MonthOverride, 2>& monthOverrides() {
    static const std::array<MonthOverride, 2> overrides = {{
        {QDate(2057, 9, 28), QDate(2057, 10, 27), 2057, 9, false},
        {QDate(2060, 4, 30), QDate(2060, 5, 29), 2060, 4, false},
    }};
    return overrides;
}

std::optional<LunarDay> fromLibrary(const QDate& date) {
    const std::unique_ptr<LunarDate, LunarDateDeleter> lunar(lunar_date_new());
    if (!lunar) {
        return std::nullopt;
    }
    GError* rawError = nullptr;
    lunar_date_set_solar_date(lunar.get(), static_cast<GDateYear>(date.year()),
                              static_cast<GDateMonth>(date.month()),
                              static_cast<GDateDay>(date.day()), 0, &rawError);
    const std::unique_ptr<GError, GErrorDeleter> error(rawError);
    if (error) {
        return std::nullopt;
    }
    // Only the numeric keys: the named ones follow the process locale. A leap month's number
    // comes with a leading '*'.
    const std::unique_ptr<gchar, GFreeDeleter> text(
        lunar_date_strftime(lunar.get(), "%(nian) %(yue) %(ri)"));
    if (!text) {
        return std::nullopt;
    }
    const QStringList parts = QString::fromUtf8(text.get()).split(u' ');
    if (parts.size() != 3) {
        return std::nullopt;
    }
    LunarDay day;
    QString month = parts[1];
    day.leapMonth = month.startsWith(u'*');
    if (day.leapMonth) {
        month.remove(0, 1);
    }
    bool yearOk = false;
    bool monthOk = false;
    bool dayOk = false;
    day.year = parts[0].toInt(&yearOk);
    day.month = month.toInt(&monthOk);
    day.day = parts[2].toInt(&dayOk);
    if (!yearOk || !monthOk || !dayOk || day.month < 1 || day.month > 12 || day.day < 1 ||
        day.day > 30) {
        return std::nullopt;
    }
    return day;
}

} // namespace

std::optional<LunarDay> lunarDayOf(const QDate& date) {
    if (!date.isValid()) {
        return std::nullopt;
    }
    for (const MonthOverride& entry : monthOverrides()) {
        if (date >= entry.first && date <= entry.last) {
            return LunarDay{entry.year, entry.month, static_cast<int>(entry.first.daysTo(date)) + 1,
                            entry.leapMonth};
        }
    }
    return fromLibrary(date);
}

QString lunarCellText(const LunarDay& day) {
    static const std::array<const char*, 12> monthNames = {
        "正月", "二月", "三月", "四月", "五月", "六月",
        "七月", "八月", "九月", "十月", "冬月", "腊月",
    };
    static const std::array<const char*, 10> digits = {
        "一", "二", "三", "四", "五", "六", "七", "八", "九", "十",
    };
    if (day.month < 1 || day.month > 12 || day.day < 1 || day.day > 30) {
        return {};
    }
    if (day.day == 1) {
        const QString name = QString::fromUtf8(monthNames[static_cast<std::size_t>(day.month - 1)]);
        return day.leapMonth ? QStringLiteral("闰") + name : name;
    }
    switch (day.day) {
    case 20:
        return QStringLiteral("二十");
    case 30:
        return QStringLiteral("三十");
    default:
        break;
    }
    // 初二..初十, 十一..十九, 廿一..廿九
    static const std::array<const char*, 3> tens = {"初", "十", "廿"};
    const int tensIndex = day.day <= 10 ? 0 : (day.day - 1) / 10;
    const int unit = day.day <= 10 ? day.day : day.day % 10;
    return QString::fromUtf8(tens[static_cast<std::size_t>(tensIndex)]) +
           QString::fromUtf8(digits[static_cast<std::size_t>(unit - 1)]);
}

} // namespace wendlow
