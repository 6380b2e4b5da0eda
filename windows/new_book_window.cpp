#include "new_book_window.h"

#include "book_names.h"
#include "book_registry.h"
#include "byte_limit.h"
#include "diary_store.h"
#include "picture_button.h"
#include "settings.h"
#include "settings_keys.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace wendlow {

namespace keys = settings_keys;

Text unsafeBookNameMessage() {
    return gbk("这个名字不能用作日记本的名字：名字里不能有 / \\ : * ? \" < > | 这些符号，"
               "不能用空格或点开头、结尾，也不能是系统保留的名字（如 CON、NUL）。请换一个名字吧！");
}

NewBookWindow::NewBookWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_新日记本"), QStringLiteral("创建一本新的日记本"),
                  QSize(354, 256)),
      services_(std::move(services)) {
    auto* group = place(new QGroupBox(QStringLiteral("卡哇伊信息填写"), this),
                        QStringLiteral("分组框1"), 7, 8, 336, 184);
    label(group, QStringLiteral("标签1"), QStringLiteral("日记本名称"), 8, 24, 64, 24);
    name_ = place(new QLineEdit(group), QStringLiteral("Text_日记本名称"), 72, 24, 176, 24);
    name_->setValidator(new GbkByteLimit(8, name_));
    label(group, QStringLiteral("标签4"), QStringLiteral("天数"), 252, 28, 24, 16);
    days_ = place(new QComboBox(group), QStringLiteral("组合Text_天数"), 280, 26, 40, 20);
    days_->setEditable(true);
    days_->setInsertPolicy(QComboBox::NoInsert);
    days_->addItems({QStringLiteral("7"), QStringLiteral("3"), QStringLiteral("1"),
                     QStringLiteral("31"), QStringLiteral("30"), QStringLiteral("64")});
    days_->setCurrentIndex(0);
    label(group, QStringLiteral("标签2"), QStringLiteral("可爱小主人"), 8, 56, 64, 24);
    owner_ = place(new QComboBox(group), QStringLiteral("组合Text_可爱小主人"), 72, 56, 144, 20);
    owner_->setEditable(true);
    owner_->setInsertPolicy(QComboBox::NoInsert);
    owner_->setValidator(new GbkByteLimit(8, owner_));
    rememberName_ = place(new QCheckBox(QStringLiteral("记下这个名字"), group),
                          QStringLiteral("选择框1"), 224, 56, 96, 24);
    rememberName_->setChecked(true);
    label(group, QStringLiteral("标签5"), QStringLiteral("开锁密码"), 20, 88, 48, 24);
    password_ = place(new QLineEdit(group), QStringLiteral("Text_开锁密码"), 72, 86, 248, 24);
    password_->setEchoMode(QLineEdit::Password);
    // Typed characters show as "*".
    password_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    label(group, QStringLiteral("标签3"), QStringLiteral("留点信息"), 22, 114, 48, 24);
    note_ = place(new QPlainTextEdit(group), QStringLiteral("Text_留点信息"), 72, 120, 248, 56);
    note_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* clear =
        new PictureButton(QStringLiteral("按钮_清空"), QStringLiteral("填错了，全清空！"), this);
    clear->setGeometry(7, 194, 104, 32);
    auto* make =
        new PictureButton(QStringLiteral("按钮_创建"), QStringLiteral("填好了，创建吧！"), this);
    make->setGeometry(127, 194, 104, 32);
    auto* later =
        new PictureButton(QStringLiteral("按钮_退出"), QStringLiteral("下次再创建吧！"), this);
    later->setGeometry(246, 194, 96, 32);

    // Toggled, not clicked: assistive tools change the box without a click.
    connect(rememberName_, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked) {
            writeSetting(keys::dateIniPath(services_.data), keys::section(), keys::rememberName(),
                         keys::flagTrue());
        }
    });
    connect(clear, &PictureButton::clicked, this, &NewBookWindow::clearAll);
    connect(make, &PictureButton::clicked, this, &NewBookWindow::create);
    connect(later, &PictureButton::clicked, this, [this] {
        destroyWindow(this);
        services_.host.bringMainWindowToFront();
    });
}

void NewBookWindow::created() {
    BookRegistry registry(services_.data);
    const std::optional<std::vector<Text>> owners = registry.listOwnerNames();
    if (owners) {
        for (const Text& owner : *owners) {
            owner_->addItem(toUnicode(owner));
        }
    } else {
        registry.createRegistry();
    }
    const Text remembered =
        readSetting(keys::dateIniPath(services_.data), keys::section(), keys::ownerName());
    if (!remembered.isEmpty()) {
        owner_->addItem(toUnicode(remembered));
        days_->setCurrentIndex(0);
        owner_->setCurrentIndex(0);
    } else {
        // Without a remembered name the owner box starts empty, whatever the list holds.
        owner_->setCurrentIndex(-1);
        owner_->setEditText(QString());
    }
}

void NewBookWindow::create() {
    const Text name = fromUnicode(name_->text());
    const Text owner = fromUnicode(owner_->currentText());
    if (name.isEmpty() || owner.isEmpty()) {
        return;
    }
    if (!isSafeBookName(name)) {
        services_.boxes.show(unsafeBookNameMessage(), MessageBoxes::Ok);
        return;
    }
    BookRecord book;
    book.name = name;
    book.owner = owner;
    book.days = BookRegistry::daysFromNumber(textToNumber(fromUnicode(days_->currentText())));
    book.password = fromUnicode(password_->text());
    book.note =
        fromUnicode(note_->toPlainText().replace(QLatin1String("\n"), QLatin1String("\r\n")));
    BookRegistry registry(services_.data);
    switch (registry.appendBook(book)) {
    case RegistryResult::OpenFailed:
        services_.boxes.show(gbk("无法连接数据库，请检查数据库是否存在！"), MessageBoxes::Ok);
        return;
    case RegistryResult::WriteFailed:
        services_.boxes.show(gbk("真糟糕，不知道是什么原因，数据无法写入。"), MessageBoxes::Ok);
        return;
    case RegistryResult::Ok:
        break;
    }
    services_.boxes.show(gbk("恭喜你！成功拥有了一本新的日记本！点击确定翻开看看吧！"),
                         MessageBoxes::Ok);
    services_.state.bookCreated = 1;
    DiaryStore(services_.data).createBookFiles(name);
    destroyWindow(this);
    services_.state.bookIndex = registry.countBooks() - 1;
    services_.host.loadCurrentBook();
    services_.host.currentBookChanged();
}

void NewBookWindow::clearAll() {
    if (services_.boxes.show(gbk("你还有一些内容没保存(关闭程序时默认保存),确定要清空吗？"),
                             MessageBoxes::OkCancel) != MessageBoxes::AnsweredOk) {
        return;
    }
    name_->clear();
    note_->clear();
    password_->clear();
    days_->setEditText(QString());
    owner_->setEditText(QString());
}

void NewBookWindow::willBeDestroyed() {
    if (services_.state.bookCreated == 0) {
        writeSetting(keys::dateIniPath(services_.data), keys::section(), keys::ownerName(),
                     fromUnicode(owner_->currentText()));
    }
}

} // namespace wendlow
