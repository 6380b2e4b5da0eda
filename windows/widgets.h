#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

namespace wendlow {

// Creates a control with its name at its place, in the parent's client coordinates.
template <typename W> W* place(W* widget, const QString& name, int x, int y, int w, int h) {
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    return widget;
}

inline QLabel* label(QWidget* parent, const QString& name, const QString& text, int x, int y, int w,
                     int h) {
    return place(new QLabel(text, parent), name, x, y, w, h);
}

// A blue label with a hand pointer that reports a left press.
class LinkLabel final : public QLabel {
    Q_OBJECT
  public:
    LinkLabel(const QString& text, QWidget* parent, bool handPointer = true);

  signals:
    void pressed();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace wendlow
