#pragma once

#include "data_context.h"

#include <optional>

namespace wendlow {

struct MailAccount {
    Text account;
    Text password;
    friend bool operator==(const MailAccount&, const MailAccount&) = default;
};

// The remembered mail accounts, `DATEINI/em.edb`. Accounts are only appended; the first one
// stored is the one offered.
class MailAccounts {
  public:
    explicit MailAccounts(DataContext context) : context_(std::move(context)) {}

    // The account of the first record (empty texts when there is none). Creates the file when it
    // is missing; nothing when a file that is there cannot be opened.
    std::optional<MailAccount> loadMailAccount();
    // Appends one record; texts longer than 20 bytes are cut. False when nothing was stored.
    bool storeMailAccount(const MailAccount& account);

  private:
    QString filePath() const;
    DataContext context_;
};

} // namespace wendlow
