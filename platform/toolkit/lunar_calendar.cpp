#include "lunar_calendar.h"

#include "lunar.h"

#include <QPainter>

namespace wendlow {

namespace {

// The name of a lunar month on its first day stands out in this colour.
const QColor monthStartColour(204, 51, 0);

QColor blend(const QColor& a, const QColor& b, double weightOfA) {
    const double weightOfB = 1.0 - weightOfA;
    return QColor::fromRgbF(static_cast<float>(a.redF() * weightOfA + b.redF() * weightOfB),
                            static_cast<float>(a.greenF() * weightOfA + b.greenF() * weightOfB),
                            static_cast<float>(a.blueF() * weightOfA + b.blueF() * weightOfB));
}

} // namespace

LunarCalendar::LunarCalendar(const QString& name, QWidget* parent) : QCalendarWidget(parent) {
    setObjectName(name);
    // The week numbers would take a column the lunar names need.
    setVerticalHeaderFormat(NoVerticalHeader);
}

void LunarCalendar::paintCell(QPainter* painter, const QRect& rect, QDate date) const {
    const std::optional<LunarDay> lunar = lunarDayOf(date);
    if (!lunar) {
        QCalendarWidget::paintCell(painter, rect, date);
        return;
    }

    QFont lunarFont = painter->font();
    lunarFont.setPointSizeF(lunarFont.pointSizeF() * 0.85);
    const int lunarHeight = QFontMetrics(lunarFont).height();

    // The widget's own drawing (background, selection, colour of the day number) on a cell
    // stretched upwards by the lunar line, so that the centred number moves up by half of it;
    // the clip keeps the background inside the real cell.
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    QCalendarWidget::paintCell(painter, rect.adjusted(0, -lunarHeight, 0, 0), date);
    painter->restore();

    const int numberHeight = QFontMetrics(painter->font()).height();
    const int top = rect.top() + (rect.height() + numberHeight - lunarHeight) / 2;
    const QRect lunarRect(rect.left(), top, rect.width(), lunarHeight);

    const bool selected = date == selectedDate();
    const bool otherMonth = date.month() != monthShown() || date.year() != yearShown();
    QColor colour;
    if (selected) {
        colour = palette().color(QPalette::HighlightedText);
    } else if (lunar->day == 1) {
        colour = otherMonth ? blend(monthStartColour, palette().color(QPalette::Base), 0.45)
                            : monthStartColour;
    } else if (otherMonth) {
        colour = palette().color(QPalette::Disabled, QPalette::Text);
    } else {
        colour = blend(palette().color(QPalette::Text), palette().color(QPalette::Base), 0.7);
    }

    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    painter->setFont(lunarFont);
    painter->setPen(colour);
    painter->drawText(lunarRect, Qt::AlignHCenter | Qt::AlignTop, lunarCellText(*lunar));
    painter->restore();
}

} // namespace wendlow
