#include "toolbar_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace wendlow {

namespace {

const QColor kInk(40, 70, 110);
const QColor kPaper(255, 255, 250);

void page(QPainter& p) {
    QPainterPath path;
    path.moveTo(7, 3);
    path.lineTo(20, 3);
    path.lineTo(26, 9);
    path.lineTo(26, 29);
    path.lineTo(7, 29);
    path.closeSubpath();
    p.setBrush(kPaper);
    p.setPen(QPen(kInk, 1.5));
    p.drawPath(path);
    p.drawLine(20, 3, 20, 9);
    p.drawLine(20, 9, 26, 9);
}

void lines(QPainter& p, int from, int to) {
    p.setPen(QPen(QColor(120, 150, 190), 1.2));
    for (int y = from; y <= to; y += 4) {
        p.drawLine(10, y, 23, y);
    }
}

void draw(QPainter& p, int index) {
    switch (index) {
    case 0: { // save: a floppy disk
        p.setBrush(QColor(70, 110, 170));
        p.setPen(QPen(kInk, 1.5));
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 5, 14, 9));
        p.setBrush(QColor(200, 210, 225));
        p.drawRect(QRectF(9, 18, 14, 9));
        p.fillRect(QRectF(18, 6, 3, 6), kInk);
        break;
    }
    case 1: // new page, with a star
        page(p);
        lines(p, 13, 25);
        p.setBrush(QColor(255, 200, 40));
        p.setPen(QPen(QColor(200, 130, 0), 1));
        p.drawEllipse(QPointF(24, 25), 5, 5);
        break;
    case 2: { // import/export: arrows in and out of a page
        page(p);
        p.setPen(QPen(QColor(30, 140, 60), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(2, 12, 14, 12);
        p.drawLine(10, 8, 14, 12);
        p.drawLine(10, 16, 14, 12);
        p.setPen(QPen(QColor(200, 60, 40), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(16, 22, 30, 22);
        p.drawLine(26, 18, 30, 22);
        p.drawLine(26, 26, 30, 22);
        break;
    }
    case 3: { // colours: a palette
        p.setBrush(QColor(245, 225, 190));
        p.setPen(QPen(QColor(140, 100, 50), 1.5));
        p.drawEllipse(QRectF(3, 5, 26, 22));
        const QColor dots[] = {Qt::red, QColor(255, 190, 0), QColor(40, 170, 60), Qt::blue};
        const QPointF at[] = {{10, 11}, {17, 9}, {23, 13}, {21, 20}};
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            p.setBrush(dots[i]);
            p.drawEllipse(at[i], 3, 3);
        }
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(11, 20), 3, 3);
        break;
    }
    case 4: { // font: a large letter A
        QFont f(QStringLiteral("Serif"));
        f.setPixelSize(26);
        f.setBold(true);
        p.setFont(f);
        p.setPen(kInk);
        p.drawText(QRect(0, 0, 32, 30), Qt::AlignCenter, QStringLiteral("A"));
        p.fillRect(QRectF(6, 28, 20, 2), Qt::red);
        break;
    }
    case 5: { // print: a printer
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 3, 14, 10));
        p.setBrush(QColor(170, 180, 195));
        p.drawRoundedRect(QRectF(3, 12, 26, 12), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 20, 14, 9));
        break;
    }
    case 6: { // date stamp: a calendar leaf
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kPaper);
        p.drawRect(QRectF(4, 6, 24, 22));
        p.fillRect(QRectF(4.75, 6.75, 22.5, 6), QColor(210, 50, 40));
        p.drawLine(10, 3, 10, 9);
        p.drawLine(22, 3, 22, 9);
        QFont f;
        f.setPixelSize(12);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(4, 13, 24, 15), Qt::AlignCenter, QStringLiteral("12"));
        break;
    }
    case 7: { // mail: an envelope
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(255, 250, 225));
        p.drawRect(QRectF(3, 8, 26, 17));
        p.drawLine(QPointF(3, 8), QPointF(16, 18));
        p.drawLine(QPointF(29, 8), QPointF(16, 18));
        break;
    }
    default: { // properties: a notebook with a pencil
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(250, 220, 120));
        p.drawRect(QRectF(5, 4, 18, 24));
        lines(p, 10, 22);
        p.setPen(QPen(QColor(200, 80, 40), 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(28, 10), QPointF(17, 27));
        break;
    }
    }
}

} // namespace

QIcon toolbarPicture(int index) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, index);
    p.end();
    return QIcon(pixmap);
}

} // namespace wendlow
