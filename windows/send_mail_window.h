#pragma once

#include "fixed_window.h"
#include "services.h"
#include "smtp_client.h"

class QComboBox;
class QLineEdit;

namespace wendlow {

// Mails the entry on screen to a friend through the user's own SMTP account, and remembers the
// account when it closes.
class SendMailWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit SendMailWindow(Services services);
    void created() override;

    // The five offered hosts; the second and third are the same.
    static const QStringList& hosts();

  protected:
    void willBeDestroyed() override;

  private:
    void send();

    Services services_;
    SmtpClient smtp_;
    QComboBox* host_ = nullptr;
    QLineEdit* account_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* recipient_ = nullptr;
};

} // namespace wendlow
