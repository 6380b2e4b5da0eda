#pragma once

#include "fixed_window.h"
#include "services.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace wendlow {

// Creates a book: its registry record, its folder and entry file; the new book becomes current.
// Closed without creating one, it remembers the owner name for next time.
class NewBookWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit NewBookWindow(Services services);
    void created() override;

  protected:
    void willBeDestroyed() override;

  private:
    void create();
    void clearAll();

    Services services_;
    QLineEdit* name_ = nullptr;
    QComboBox* days_ = nullptr;
    QComboBox* owner_ = nullptr;
    QCheckBox* rememberName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPlainTextEdit* note_ = nullptr;
};

// The message for a name that cannot be a book's folder.
Text unsafeBookNameMessage();

} // namespace wendlow
