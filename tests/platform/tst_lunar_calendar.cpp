#include "lunar_calendar.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QTest>

using namespace wendlow;

namespace {

// Pixels drawn in the colour of a lunar month's first day (an orange red, possibly smoothed
// into the white background); the weekend's pure red has equal green and blue and is not one.
int monthStartPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > c.green() + 80 && c.green() > c.blue() + 25) {
                ++count;
            }
        }
    }
    return count;
}

QImage render(QCalendarWidget& calendar) {
    calendar.setGeometry(0, 0, 365, 262);
    calendar.setSelectedDate(QDate(2023, 3, 10));
    calendar.setCurrentPage(2023, 3);
    return calendar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TstLunarCalendar : public QObject {
    Q_OBJECT

  private slots:
    void drawsTheLunarLine();
    void bothLinesFitTheCells();
    void keepsTheCalendarBehaviour();
};

// March 2023 holds 闰二月 (from the 22nd) and the month names of 二月 and 三月 in its grey days.
void TstLunarCalendar::drawsTheLunarLine() {
    LunarCalendar lunar(QStringLiteral("农历月历1"), nullptr);
    const QImage image = render(lunar);
    QCOMPARE(image.size(), QSize(365, 262));

    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            colours.insert(image.pixel(x, y));
        }
    }
    QVERIFY2(colours.size() > 10, "the calendar is blank");

    QCalendarWidget plain;
    plain.setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    const QImage plainImage = render(plain);
    QVERIFY(image != plainImage);
    QCOMPARE(monthStartPixels(plainImage), 0);
    QVERIFY(monthStartPixels(image) > 20);
}

void TstLunarCalendar::bothLinesFitTheCells() {
    LunarCalendar lunar(QStringLiteral("农历月历1"), nullptr);
    render(lunar);
    auto* view = lunar.findChild<QAbstractItemView*>();
    QVERIFY(view);
    QFont small = view->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    const int needed = QFontMetrics(view->font()).height() + QFontMetrics(small).height();
    // Row 0 holds the weekday names; rows 1..6 the days.
    for (int row = 1; row <= 6; ++row) {
        const QRect cell = view->visualRect(view->model()->index(row, 0));
        QVERIFY2(cell.height() >= needed,
                 qPrintable(QStringLiteral("row %1 is %2 px high, %3 needed")
                                .arg(row)
                                .arg(cell.height())
                                .arg(needed)));
        QVERIFY(view->viewport()->rect().contains(cell));
    }
    // No week numbers: the first column is Monday's (or the locale's first day).
    QCOMPARE(view->model()->columnCount(), 7);
}

void TstLunarCalendar::keepsTheCalendarBehaviour() {
    LunarCalendar lunar(QStringLiteral("农历月历1"), nullptr);
    QCOMPARE(lunar.objectName(), QStringLiteral("农历月历1"));
    QVERIFY(lunar.isNavigationBarVisible());
    lunar.setCurrentPage(2027, 2);
    lunar.showNextMonth();
    QCOMPARE(lunar.monthShown(), 3);
    lunar.showPreviousYear();
    QCOMPARE(lunar.yearShown(), 2026);
    lunar.setSelectedDate(QDate(2027, 2, 6));
    QCOMPARE(lunar.selectedDate(), QDate(2027, 2, 6));
    QCOMPARE(lunar.monthShown(), 2);
}

QTEST_MAIN(TstLunarCalendar)
#include "tst_lunar_calendar.moc"
