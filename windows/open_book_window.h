#pragma once

#include "fixed_window.h"
#include "services.h"

class QLineEdit;

namespace wendlow {

class SimpleCombo;

// Chooses one of the registered books and makes it current, asking for its unlock password
// when it has one.
class OpenBookWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit OpenBookWindow(Services services);
    void created() override;

    SimpleCombo* books() const { return books_; }

  private:
    void openChosenBook();

    Services services_;
    SimpleCombo* books_ = nullptr;
    QLineEdit* password_ = nullptr;
};

} // namespace wendlow
