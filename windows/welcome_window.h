#pragma once

#include "fixed_window.h"
#include "services.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace wendlow {

class PictureButton;

// Greets the user with the local version and what the program offers, and leads on to opening
// a book, creating one or checking for a newer version. A check box keeps it from opening at
// start.
class WelcomeWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit WelcomeWindow(Services services);
    void created() override;

  private:
    void openBook();
    void newBook();

    Services services_;
    QLabel* versionLabel_ = nullptr;
    QPlainTextEdit* features_ = nullptr;
    QCheckBox* hideAtStart_ = nullptr;
};

} // namespace wendlow
