#include "launcher.h"

#include <QDesktopServices>

namespace wendlow {

bool DesktopLauncher::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace wendlow
