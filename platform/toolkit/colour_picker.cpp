#include "colour_picker.h"

#include <QColorDialog>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace wendlow {

const QList<QColor>& ColourPicker::colours() {
    static const QList<QColor> list = {
        QColor(0, 0, 0),       QColor(128, 128, 128), QColor(128, 0, 0),     QColor(128, 128, 0),
        QColor(0, 128, 0),     QColor(0, 128, 128),   QColor(0, 0, 128),     QColor(128, 0, 128),
        QColor(255, 255, 255), QColor(192, 192, 192), QColor(255, 0, 0),     QColor(255, 255, 0),
        QColor(0, 255, 0),     QColor(0, 255, 255),   QColor(0, 0, 255),     QColor(255, 0, 255),
        QColor(255, 192, 203), QColor(255, 165, 0),   QColor(255, 250, 205), QColor(144, 238, 144),
        QColor(175, 238, 238), QColor(173, 216, 230), QColor(230, 230, 250), QColor(210, 180, 140),
    };
    return list;
}

ColourPicker::ColourPicker(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QStringLiteral("颜色"));
}

void ColourPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, Qt::white);
    p.setPen(QColor(123, 158, 189));
    p.drawRect(r);
    const int arrowWidth = 14;
    p.fillRect(QRect(3, 3, r.width() - arrowWidth - 5, r.height() - 5), colour_);
    p.drawRect(QRect(3, 3, r.width() - arrowWidth - 6, r.height() - 6));
    const int ax = r.width() - arrowWidth + 3;
    const int ay = r.height() / 2 - 2;
    p.setBrush(QColor(60, 90, 120));
    p.setPen(Qt::NoPen);
    const QPoint arrow[] = {{ax, ay}, {ax + 8, ay}, {ax + 4, ay + 5}};
    p.drawPolygon(arrow, 3);
    if (hasFocus()) {
        p.setPen(QPen(QColor(80, 115, 150), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void ColourPicker::mousePressEvent(QMouseEvent*) {
    dropDown();
}

void ColourPicker::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Down) {
        dropDown();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ColourPicker::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // Focus passing to our own drop-down is not leaving the picker.
    if (popup_ && popup_->isVisible()) {
        return;
    }
    if (event->reason() != Qt::PopupFocusReason) {
        emit lostFocus();
    }
}

void ColourPicker::dropDown() {
    if (!popup_) {
        popup_ = new QFrame(this, Qt::Popup);
        popup_->setObjectName(QStringLiteral("颜色列表"));
        popup_->setFrameShape(QFrame::Box);
        auto* grid = new QGridLayout(popup_);
        grid->setContentsMargins(4, 4, 4, 4);
        grid->setSpacing(2);
        const QList<QColor>& list = colours();
        for (int i = 0; i < list.size(); ++i) {
            auto* swatch = new QToolButton(popup_);
            swatch->setObjectName(QStringLiteral("色块%1").arg(i));
            swatch->setAccessibleName(list[i].name());
            swatch->setFixedSize(18, 18);
            swatch->setAutoRaise(false);
            swatch->setStyleSheet(QStringLiteral("QToolButton { background: %1; border: 1px solid "
                                                 "rgb(123,158,189); }")
                                      .arg(list[i].name()));
            const QColor c = list[i];
            connect(swatch, &QToolButton::clicked, this, [this, c] { choose(c); });
            grid->addWidget(swatch, i / 8, i % 8);
        }
        auto* more = new QPushButton(QStringLiteral("其他颜色..."), popup_);
        more->setObjectName(QStringLiteral("其他颜色"));
        connect(more, &QPushButton::clicked, this, [this] {
            popup_->hide();
            const QColor c = QColorDialog::getColor(colour_, this);
            if (c.isValid()) {
                choose(c);
            } else {
                emit lostFocus();
            }
        });
        grid->addWidget(more, (colours().size() + 7) / 8, 0, 1, 8);
    }
    popup_->adjustSize();
    popup_->move(mapToGlobal(QPoint(0, height())));
    popup_->show();
}

void ColourPicker::choose(const QColor& colour) {
    if (popup_) {
        popup_->hide();
    }
    colour_ = colour;
    update();
    emit colourChosen(colour);
}

} // namespace wendlow
