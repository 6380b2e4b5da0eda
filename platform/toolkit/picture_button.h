#pragma once

#include <QAbstractButton>
#include <QImage>

namespace wendlow {

// A button drawn from three pictures of its own size, each with its caption in it: normal,
// with the pointer over it, and pressed. The program draws the pictures itself.
class PictureButton final : public QAbstractButton {
    Q_OBJECT
  public:
    enum class State { Normal, Hover, Pressed };

    PictureButton(const QString& name, const QString& caption, QWidget* parent);

    const QImage& picture(State state) const;
    void setGeometry(int x, int y, int w, int h);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void drawPictures();
    QImage pictures_[3];
};

} // namespace wendlow
