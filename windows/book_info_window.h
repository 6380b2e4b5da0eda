#pragma once

#include "fixed_window.h"
#include "services.h"

class QLineEdit;
class QPlainTextEdit;

namespace wendlow {

// Shows the current book's record in five boxes and writes the edited values back; a new name
// takes the book's folder along. Below, the makers' credits open their pages.
class BookInfoWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit BookInfoWindow(Services services);
    void created() override;

  private:
    void save();
    // The book's record and folder after a press; true when the record was written.
    void writeBook();

    Services services_;
    QLineEdit* name_ = nullptr;
    QLineEdit* owner_ = nullptr;
    QLineEdit* days_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPlainTextEdit* note_ = nullptr;
};

} // namespace wendlow
