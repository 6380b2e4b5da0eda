#pragma once

#include <QString>
#include <QUrl>

namespace wendlow {

// Starting other programs: the credit labels open a web page in the desktop's browser.
class Launcher {
  public:
    virtual ~Launcher() = default;
    virtual bool openUrl(const QUrl& url) = 0;
};

class DesktopLauncher final : public Launcher {
  public:
    bool openUrl(const QUrl& url) override;
};

} // namespace wendlow
