#pragma once

#include <QCalendarWidget>

namespace wendlow {

// A month calendar whose day cells show the lunar day under the Gregorian day (the month's name
// on the 1st of a lunar month).
class LunarCalendar final : public QCalendarWidget {
    Q_OBJECT
  public:
    LunarCalendar(const QString& name, QWidget* parent);

  protected:
    void paintCell(QPainter* painter, const QRect& rect, QDate date) const override;
};

} // namespace wendlow
