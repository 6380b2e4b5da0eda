#pragma once

#include "fixed_window.h"
#include "services.h"

class QLabel;
class QLineEdit;

namespace wendlow {

// Fetches the version number published on the makers' site and tells whether it is newer than
// the local one.
class VersionCheckWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit VersionCheckWindow(Services services);
    void created() override;

    // True when the remote version is newer by more than 1e-7.
    static bool isNewer(const Text& remote, const Text& local);

  private:
    Services services_;
    QLineEdit* remote_ = nullptr;
    QLineEdit* local_ = nullptr;
    QLabel* verdict_ = nullptr;
};

} // namespace wendlow
