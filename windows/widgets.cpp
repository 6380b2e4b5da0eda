#include "widgets.h"

#include <QMouseEvent>

namespace wendlow {

LinkLabel::LinkLabel(const QString& text, QWidget* parent, bool handPointer)
    : QLabel(text, parent) {
    setStyleSheet(QStringLiteral("color: rgb(0,0,255);"));
    if (handPointer) {
        setCursor(Qt::PointingHandCursor);
    }
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit pressed();
    }
    QLabel::mousePressEvent(event);
}

} // namespace wendlow
