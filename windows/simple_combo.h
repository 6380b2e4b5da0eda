#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;

namespace wendlow {

// A combo box of the simple style: an edit line with its list always shown below it. The
// selection is the list's; choosing an item shows its text in the edit line, and typing into
// the edit line leaves the selection as it is.
class SimpleCombo final : public QWidget {
    Q_OBJECT
  public:
    SimpleCombo(const QString& name, QWidget* parent);

    void addItem(const QString& text);
    int count() const;
    // -1 when nothing is selected.
    int currentIndex() const;
    void setCurrentIndex(int index);
    // What the edit line shows.
    QString text() const;

    QLineEdit* editLine() const { return edit_; }
    QListWidget* list() const { return list_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QLineEdit* edit_ = nullptr;
    QListWidget* list_ = nullptr;
};

} // namespace wendlow
