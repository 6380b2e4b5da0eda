#include "send_mail_window.h"

#include "mail_accounts.h"
#include "mail_compose.h"
#include "main_window.h"
#include "widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace wendlow {

namespace {

// Keeps the wait cursor up while the program waits for the mail server.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

constexpr int kReplyTimeoutMs = 2000;

} // namespace

const QStringList& SendMailWindow::hosts() {
    static const QStringList list = {QStringLiteral("smtp.qq.com"), QStringLiteral("smtp.163.com"),
                                     QStringLiteral("smtp.163.com"), QStringLiteral("smtp.126.com"),
                                     QStringLiteral("smtp.sina.com")};
    return list;
}

SendMailWindow::SendMailWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_发送好友"), QStringLiteral("发给送好友"), QSize(286, 245)),
      services_(std::move(services)) {
    if (!services_.network.caFile.isEmpty()) {
        smtp_.setCaFile(services_.network.caFile);
    }
    auto* mine = place(new QGroupBox(QStringLiteral("我的邮箱信息"), this),
                       QStringLiteral("分组框1"), 8, 8, 264, 104);
    QLabel* hostLabel =
        label(mine, QStringLiteral("标签1"), QStringLiteral("SMTP地址:"), 8, 16, 56, 24);
    // The Latin letters are wide in this face; a smaller one keeps the label whole in 56 pixels.
    QFont narrow = hostLabel->font();
    narrow.setPixelSize(11);
    hostLabel->setFont(narrow);
    host_ = place(new QComboBox(mine), QStringLiteral("组合框1"), 64, 19, 184, 20);
    host_->setEditable(true);
    host_->setInsertPolicy(QComboBox::NoInsert);
    host_->addItems(hosts());
    label(mine, QStringLiteral("标签2"), QStringLiteral("登陆账号:"), 8, 40, 56, 24);
    account_ = place(new QLineEdit(mine), QStringLiteral("编辑框2"), 64, 42, 184, 20);
    label(mine, QStringLiteral("标签3"), QStringLiteral("登陆密码:"), 8, 64, 56, 24);
    password_ = place(new QLineEdit(mine), QStringLiteral("编辑框3"), 64, 64, 184, 20);
    password_->setEchoMode(QLineEdit::Password);
    password_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    auto* theirs = place(new QGroupBox(QStringLiteral("他的邮箱信息"), this),
                         QStringLiteral("分组框2"), 8, 114, 264, 56);
    label(theirs, QStringLiteral("标签4"), QStringLiteral("邮箱"), 8, 24, 24, 16);
    recipient_ = place(new QLineEdit(theirs), QStringLiteral("编辑框4"), 37, 24, 211, 20);

    auto* sendButton = place(new QPushButton(QStringLiteral("好了，发送吧！"), this),
                             QStringLiteral("按钮1"), 48, 176, 96, 32);
    auto* quit = place(new QPushButton(QStringLiteral("我要退出！"), this), QStringLiteral("按钮2"),
                       160, 176, 80, 32);
    connect(sendButton, &QPushButton::clicked, this, &SendMailWindow::send);
    connect(quit, &QPushButton::clicked, this, [this] { destroyWindow(this); });
}

void SendMailWindow::created() {
    host_->setCurrentIndex(0);
    const std::optional<MailAccount> stored = MailAccounts(services_.data).loadMailAccount();
    if (!stored) {
        services_.boxes.show(gbk("记住邮箱账号的文件打不开，这次的账号不会被记住。"),
                             MessageBoxes::Ok);
        return;
    }
    account_->setText(toUnicode(stored->account));
    password_->setText(toUnicode(stored->password));
}

void SendMailWindow::send() {
    const Text host = fromUnicode(host_->currentText());
    const Text account = fromUnicode(account_->text());
    const Text password = fromUnicode(password_->text());
    const Text recipient = fromUnicode(recipient_->text());
    MessageBoxes& boxes = services_.boxes;
    if (host.isEmpty() || account.isEmpty() || password.isEmpty() || recipient.isEmpty()) {
        boxes.show(gbk("请确认我的邮箱信息是否填写，以及他的邮箱不为空！"), MessageBoxes::Ok);
        return;
    }
    bool connected = false;
    {
        WaitCursor wait;
        connected =
            smtp_.smtpConnect(host, services_.network.smtpPort, account, password, kReplyTimeoutMs);
    }
    if (!connected) {
        boxes.show(gbk("请确认我的邮箱信息填写正确！或者请使用QQ邮箱发送"), MessageBoxes::Ok);
        return;
    }
    services_.state.senderAddress = senderAddressFor(account, host);
    MainWindow* main = services_.host.mainWindow();
    const DiaryEntry entry = main ? main->entry() : DiaryEntry{};
    Text result;
    {
        WaitCursor wait;
        const Text& from = services_.state.senderAddress;
        result = smtp_.smtpSend(mailSubject(services_.state.ownerName, entry), mailBody(entry),
                                recipient, Text(), Text(), from, from);
    }
    if (result.isEmpty()) {
        boxes.show(gbk("太好了，发送给") + recipient + gbk("的邮件成功发送！"), MessageBoxes::Ok);
    } else {
        boxes.show(gbk("不知道为什么，邮件无法发出！请检查对方邮箱是否正确以及是否存在！"),
                   MessageBoxes::Ok);
    }
}

void SendMailWindow::willBeDestroyed() {
    MailAccounts(services_.data)
        .storeMailAccount({fromUnicode(account_->text()), fromUnicode(password_->text())});
}

} // namespace wendlow
