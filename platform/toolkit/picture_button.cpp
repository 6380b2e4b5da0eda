#include "picture_button.h"

#include <QLinearGradient>
#include <QPainter>

namespace wendlow {

PictureButton::PictureButton(const QString& name, const QString& caption, QWidget* parent)
    : QAbstractButton(parent) {
    setObjectName(name);
    // The caption is drawn into the pictures; as the button's text it also names the button for
    // assistive tools.
    setText(caption);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
}

const QImage& PictureButton::picture(State state) const {
    return pictures_[static_cast<int>(state)];
}

void PictureButton::setGeometry(int x, int y, int w, int h) {
    QAbstractButton::setGeometry(x, y, w, h);
    drawPictures();
}

void PictureButton::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    if (pictures_[0].size() != size()) {
        drawPictures();
    }
}

void PictureButton::drawPictures() {
    struct Look {
        QColor top, bottom, border, text;
        int shift;
    };
    const Look looks[3] = {
        {QColor(250, 252, 255), QColor(190, 212, 235), QColor(123, 158, 189), QColor(20, 50, 90),
         0},
        {QColor(255, 255, 240), QColor(255, 222, 150), QColor(215, 160, 60), QColor(120, 60, 0), 0},
        {QColor(170, 195, 222), QColor(225, 235, 246), QColor(80, 115, 150), QColor(10, 30, 60), 1},
    };
    const QSize sz = size().isEmpty() ? QSize(1, 1) : size();
    for (int i = 0; i < 3; ++i) {
        const Look& look = looks[i];
        QImage image(sz, QImage::Format_RGB888);
        image.fill(QColor(192, 192, 192));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient gradient(0, 0, 0, sz.height());
        gradient.setColorAt(0, look.top);
        gradient.setColorAt(1, look.bottom);
        p.setBrush(gradient);
        p.setPen(QPen(look.border, 1.2));
        p.drawRoundedRect(QRectF(0.5, 0.5, sz.width() - 1.0, sz.height() - 1.0), 6, 6);
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        p.setPen(look.text);
        p.drawText(QRect(look.shift, look.shift, sz.width(), sz.height()), Qt::AlignCenter, text());
        pictures_[i] = image;
    }
    update();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    State state = State::Normal;
    if (isDown()) {
        state = State::Pressed;
    } else if (underMouse()) {
        state = State::Hover;
    }
    p.drawImage(0, 0, picture(state));
    if (hasFocus()) {
        p.setPen(QPen(QColor(80, 115, 150), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void PictureButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    update();
}

void PictureButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    update();
}

} // namespace wendlow
