#include "version_check_window.h"

#include "credits.h"
#include "http_client.h"
#include "settings.h"
#include "settings_keys.h"
#include "widgets.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>

namespace wendlow {

namespace keys = settings_keys;

VersionCheckWindow::VersionCheckWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_在线升级"), QStringLiteral("在线升级"), QSize(285, 202),
                  Caption::Normal, true),
      services_(std::move(services)) {
    auto* group = place(new QGroupBox(this), QStringLiteral("分组框1"), 8, 8, 264, 152);
    label(group, QStringLiteral("标签1"), QStringLiteral("网络检查"), 8, 16, 56, 24);
    remote_ = place(new QLineEdit(group), QStringLiteral("编辑框1"), 64, 19, 192, 20);
    remote_->setReadOnly(true);
    label(group, QStringLiteral("标签2"), QStringLiteral("本地检查"), 8, 48, 56, 24);
    local_ = place(new QLineEdit(group), QStringLiteral("编辑框2"), 64, 51, 192, 20);
    local_->setReadOnly(true);
    verdict_ = label(group, QStringLiteral("标签3"), QStringLiteral("标签"), 8, 80, 248, 32);
    verdict_->setWordWrap(true);
    auto* page =
        place(new LinkLabel(QStringLiteral("官方网站：") + credits::kMakersPageText, group),
              QStringLiteral("标签4"), 16, 118, 232, 24);
    connect(page, &LinkLabel::pressed, this,
            [this] { services_.launcher.openUrl(credits::kMakersPage); });
}

bool VersionCheckWindow::isNewer(const Text& remote, const Text& local) {
    return textToNumber(remote) - textToNumber(local) > 0.0000001;
}

void VersionCheckWindow::created() {
    Text body;
    {
        // The request is bounded, so the wait cursor goes away after a few seconds at most.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        body = HttpClient().httpGetBody(services_.network.versionUrl);
        QApplication::restoreOverrideCursor();
    }
    const qsizetype zero = body.indexOf('\0');
    services_.state.remoteVersion = zero < 0 ? body : body.left(zero);
    services_.state.localVersion =
        readSetting(keys::infIniPath(services_.data), keys::section(), keys::version());
    remote_->setText(toUnicode("WendlowV" + services_.state.remoteVersion));
    local_->setText(toUnicode("WendlowV" + services_.state.localVersion));
    verdict_->setText(
        isNewer(services_.state.remoteVersion, services_.state.localVersion)
            ? QStringLiteral("你当前的版本比最新版本小，请到官网下载最新Wendlow。谢谢你的关注")
            : QStringLiteral("你当前的版本是最新的版本，谢谢你的关注！"));
}

} // namespace wendlow
