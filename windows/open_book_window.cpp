#include "open_book_window.h"

#include "book_registry.h"
#include "picture_button.h"
#include "simple_combo.h"
#include "widgets.h"

#include <QLineEdit>

namespace wendlow {

OpenBookWindow::OpenBookWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_选择日记本"), QStringLiteral("选择一本日记本翻翻看"),
                  QSize(267, 308)),
      services_(std::move(services)) {
    books_ = place(new SimpleCombo(QStringLiteral("组合Text_日记名称集"), this),
                   QStringLiteral("组合Text_日记名称集"), 5, 8, 251, 232);
    // The password box lies over the right part of the combo's edit line and stays usable.
    QLabel* passwordLabel =
        label(this, QStringLiteral("标签1"), QStringLiteral("开锁密码"), 113, 10, 52, 16);
    password_ = place(new QLineEdit(this), QStringLiteral("Text_新开锁密码"), 161, 8, 95, 20);
    passwordLabel->raise();
    password_->raise();

    auto* open = new PictureButton(QStringLiteral("图形按钮1"),
                                   QStringLiteral("就这个，开始阅览吧！"), this);
    open->setGeometry(16, 240, 132, 32);
    auto* quit = new PictureButton(QStringLiteral("图形按钮2"), QStringLiteral("我要退出！"), this);
    quit->setGeometry(168, 240, 80, 32);
    connect(open, &PictureButton::clicked, this, &OpenBookWindow::openChosenBook);
    connect(quit, &PictureButton::clicked, this, [this] { destroyWindow(this); });
}

void OpenBookWindow::created() {
    const std::vector<Text> names = BookRegistry(services_.data).listBookNames();
    for (const Text& name : names) {
        books_->addItem(toUnicode(name));
    }
    if (!names.empty()) {
        books_->setCurrentIndex(0);
    }
}

void OpenBookWindow::openChosenBook() {
    const int position = books_->currentIndex();
    if (position < 0) {
        return;
    }
    const std::optional<Text> stored = BookRegistry(services_.data).readBookPassword(position);
    if (!stored) {
        services_.boxes.show(gbk("无法连接数据库，请检查数据库是否存在！"), MessageBoxes::Ok);
        return;
    }
    if (!stored->isEmpty()) {
        const Text typed = fromUnicode(password_->text());
        if (typed.isEmpty()) {
            services_.boxes.show(gbk("你好像忘了输入 ") + fromUnicode(books_->text()) +
                                     gbk(" 的开锁密码，赶快输入吧！"),
                                 MessageBoxes::Ok);
            password_->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (typed != *stored) {
            services_.boxes.show(gbk("你输入了错误密码，请再修改正确密码！"), MessageBoxes::Ok);
            return;
        }
    }
    services_.boxes.show(gbk("成功开启日记本，点击确定浏览吧！"), MessageBoxes::Ok);
    services_.state.bookIndex = position;
    destroyWindow(this);
    services_.host.prepareMainWindow();
}

} // namespace wendlow
