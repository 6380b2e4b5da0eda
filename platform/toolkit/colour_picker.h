#pragma once

#include <QColor>
#include <QWidget>

class QFrame;

namespace wendlow {

// A drop-down colour picker: a swatch of the last chosen colour with an arrow; pressing it drops
// a grid of colours. Choosing one sets the colour and reports it.
class ColourPicker final : public QWidget {
    Q_OBJECT
  public:
    ColourPicker(const QString& name, QWidget* parent);

    QColor colour() const { return colour_; }
    // Opens the grid below the picker.
    void dropDown();
    // The colours of the grid, in order; their swatches are named "色块<index>".
    static const QList<QColor>& colours();

  signals:
    void colourChosen(const QColor& colour);
    void lostFocus();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void choose(const QColor& colour);

    QColor colour_ = Qt::black;
    QFrame* popup_ = nullptr;
};

} // namespace wendlow
