#include "welcome_window.h"

#include "picture_button.h"
#include "settings.h"
#include "settings_keys.h"
#include "widgets.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSignalBlocker>

namespace wendlow {

namespace keys = settings_keys;

WelcomeWindow::WelcomeWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_欢迎"), QStringLiteral("欢迎来到Wendlow"), QSize(316, 243),
                  Caption::Narrow, true),
      services_(std::move(services)) {
    setStyleSheet(QStringLiteral("wendlow--WelcomeWindow { background: rgb(192,192,192); }"));
    setAttribute(Qt::WA_StyledBackground);

    versionLabel_ = label(this, QStringLiteral("标签1"), QString(), 4, 6, 305, 18);
    QFont labelFont = versionLabel_->font();
    labelFont.setPixelSize(14);
    versionLabel_->setFont(labelFont);
    versionLabel_->setStyleSheet(
        QStringLiteral("color: black; background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                       "stop:0 rgb(192,192,192), stop:1 rgb(210,210,210));"));

    features_ = place(new QPlainTextEdit(this), QStringLiteral("编辑框1"), 4, 26, 302, 110);
    features_->setReadOnly(true);
    features_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont featuresFont(QStringLiteral("微软雅黑"));
    featuresFont.setPixelSize(13);
    features_->setFont(featuresFont);
    features_->setPlainText(QStringLiteral("1.拥有一本电子日记本，还有密码锁保护的哦！\n"
                                           "2.用键盘书写一个真实的假期，让心绪飞扬！\n"
                                           "3.把一篇日记或者N篇日记发送给好友，分享心情！\n"
                                           "4.还有打印功能哦！把一个假期打印出来！"));

    auto* openBook =
        new PictureButton(QStringLiteral("图形按钮1"), QStringLiteral("假期续写"), this);
    openBook->setGeometry(6, 144, 80, 48);
    auto* newBook =
        new PictureButton(QStringLiteral("图形按钮2"), QStringLiteral("日记开篇"), this);
    newBook->setGeometry(117, 144, 80, 48);
    auto* update = new PictureButton(QStringLiteral("图形按钮3"), QStringLiteral("在线升级"), this);
    update->setGeometry(224, 144, 80, 48);

    hideAtStart_ = place(new QCheckBox(QStringLiteral("下次启动时不再显示此窗口"), this),
                         QStringLiteral("选择框1"), 7, 193, 297, 24);
    hideAtStart_->setStyleSheet(
        QStringLiteral("QCheckBox { color: rgb(0,0,255); background: rgb(192,192,192); }"));

    connect(openBook, &PictureButton::clicked, this, &WelcomeWindow::openBook);
    connect(newBook, &PictureButton::clicked, this, &WelcomeWindow::newBook);
    connect(update, &PictureButton::clicked, this, [this] { services_.host.loadVersionCheck(); });
    // Toggled, not clicked: assistive tools change the box without a click.
    connect(hideAtStart_, &QCheckBox::toggled, this, [this](bool checked) {
        writeSetting(keys::infIniPath(services_.data), keys::section(), keys::welcomeHidden(),
                     checked ? keys::flagTrue() : keys::flagFalse());
    });
}

void WelcomeWindow::created() {
    setFocus(Qt::OtherFocusReason);
    const QString ini = keys::infIniPath(services_.data);
    {
        const QSignalBlocker quiet(hideAtStart_);
        hideAtStart_->setChecked(readSetting(ini, keys::section(), keys::welcomeHidden()) ==
                                 keys::flagTrue());
    }
    const Text version = readSetting(ini, keys::section(), keys::version());
    versionLabel_->setText(
        toUnicode(gbk("欢迎你使用[WendlowV") + version + gbk("]，在这里，你可以：")));
}

void WelcomeWindow::openBook() {
    destroyWindow(this);
    services_.state.welcomeDone = 1;
    services_.host.loadOpenBook();
}

void WelcomeWindow::newBook() {
    destroyWindow(this);
    services_.state.welcomeDone = 1;
    services_.host.loadNewBook();
}

} // namespace wendlow
