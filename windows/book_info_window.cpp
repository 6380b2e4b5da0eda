#include "book_info_window.h"

#include "book_names.h"
#include "book_registry.h"
#include "byte_limit.h"
#include "credits.h"
#include "diary_store.h"
#include "new_book_window.h"
#include "widgets.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

namespace wendlow {

BookInfoWindow::BookInfoWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_修改信息"), QStringLiteral("修改信息"), QSize(283, 387)),
      services_(std::move(services)) {
    auto* group = place(new QGroupBox(QStringLiteral("基本信息"), this), QStringLiteral("分组框2"),
                        8, 8, 264, 208);
    label(group, QStringLiteral("标签9"), QStringLiteral("日记本名称"), 2, 23, 64, 24);
    name_ = place(new QLineEdit(group), QStringLiteral("编辑框1"), 66, 27, 190, 20);
    name_->setValidator(new GbkByteLimit(8, name_));
    label(group, QStringLiteral("标签10"), QStringLiteral("可爱小主人"), 3, 53, 64, 24);
    owner_ = place(new QLineEdit(group), QStringLiteral("编辑框2"), 66, 55, 190, 20);
    owner_->setValidator(new GbkByteLimit(8, owner_));
    label(group, QStringLiteral("标签11"), QStringLiteral("天数"), 35, 83, 29, 24);
    days_ = place(new QLineEdit(group), QStringLiteral("编辑框3"), 66, 84, 190, 20);
    label(group, QStringLiteral("标签12"), QStringLiteral("开锁密码"), 10, 110, 51, 18);
    password_ = place(new QLineEdit(group), QStringLiteral("编辑框4"), 66, 113, 190, 20);
    label(group, QStringLiteral("标签1"), QStringLiteral("留点信息"), 16, 136, 48, 16);
    note_ = place(new QPlainTextEdit(group), QStringLiteral("编辑框5"), 66, 136, 190, 64);
    note_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* saveButton = place(new QPushButton(QStringLiteral("修改信息"), this),
                             QStringLiteral("按钮6"), 98, 220, 80, 32);
    connect(saveButton, &QPushButton::clicked, this, &BookInfoWindow::save);

    auto* credits =
        place(new QGroupBox(credits::kTeam, this), QStringLiteral("分组框3"), 8, 256, 264, 96);
    const struct {
        const char* name;
        QString text;
        QRect at;
        QUrl page;
        bool hand;
    } links[] = {
        {"标签13", credits::kAuthor, {31, 21, 48, 16}, credits::kMakersPage, true},
        {"标签14", credits::kContributor, {104, 21, 60, 16}, credits::kContributorPage, false},
        {"标签4",
         credits::kSecondContributor,
         {192, 21, 40, 16},
         credits::kSecondContributorPage,
         true},
        {"标签3", credits::kMakersPageText, {76, 74, 108, 16}, credits::kMakersPage, true},
    };
    for (const auto& link : links) {
        auto* labelWidget =
            place(new LinkLabel(link.text, credits, link.hand), QString::fromUtf8(link.name),
                  link.at.x(), link.at.y(), link.at.width(), link.at.height());
        // The address is the longest text; a smaller face keeps it whole in its 108 pixels.
        if (link.text == credits::kMakersPageText) {
            QFont small = labelWidget->font();
            small.setPixelSize(10);
            labelWidget->setFont(small);
        }
        const QUrl page = link.page;
        connect(labelWidget, &LinkLabel::pressed, this,
                [this, page] { services_.launcher.openUrl(page); });
    }
    QLabel* thanks = label(credits, QStringLiteral("标签2"), credits::kThanks, 11, 48, 240, 24);
    thanks->setWordWrap(true);
}

void BookInfoWindow::created() {
    services_.host.loadCurrentBook();
    const ProgramState& state = services_.state;
    name_->setText(toUnicode(state.bookName));
    owner_->setText(toUnicode(state.ownerName));
    days_->setText(QString::number(state.holidayDays));
    password_->setText(toUnicode(state.bookPassword));
    note_->setPlainText(
        toUnicode(state.bookNote).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void BookInfoWindow::save() {
    writeBook();
    // Whatever the outcome, the main window is set up again from the program state.
    services_.host.prepareMainWindow();
}

void BookInfoWindow::writeBook() {
    MessageBoxes& boxes = services_.boxes;
    BookRecord book;
    book.name = fromUnicode(name_->text());
    book.owner = fromUnicode(owner_->text());
    if (book.name.isEmpty() || book.owner.isEmpty()) {
        boxes.show(gbk("日记本名称和可爱小主人一定要填写哦！"), MessageBoxes::Ok);
        return;
    }
    if (!isSafeBookName(book.name)) {
        boxes.show(unsafeBookNameMessage(), MessageBoxes::Ok);
        return;
    }
    book.days = BookRegistry::daysFromNumber(textToNumber(fromUnicode(days_->text())));
    book.password = fromUnicode(password_->text());
    book.note =
        fromUnicode(note_->toPlainText().replace(QLatin1String("\n"), QLatin1String("\r\n")));

    BookRegistry registry(services_.data);
    DiaryStore store(services_.data);
    const Text oldName = services_.state.bookName;
    bool moved = false;
    if (book.name != oldName) {
        // A new name takes the folder along, so the entries stay with the book. A folder that
        // another book shares, or a name whose folder exists, cannot be taken.
        const std::vector<Text> names = registry.listBookNames();
        if (std::count(names.begin(), names.end(), oldName) > 1) {
            boxes.show(gbk("还有别的日记本和这本用着同一个名字，这本日记本不能改名。"),
                       MessageBoxes::Ok);
            return;
        }
        switch (store.renameBookFolder(oldName, book.name)) {
        case DiaryStore::RenameResult::TargetExists:
            boxes.show(gbk("已经有一个叫这个名字的日记本文件夹了，请换一个名字吧！"),
                       MessageBoxes::Ok);
            return;
        case DiaryStore::RenameResult::Failed:
            boxes.show(gbk("日记本的文件夹无法改名！请检查原因"), MessageBoxes::Ok);
            return;
        case DiaryStore::RenameResult::Renamed:
            moved = true;
            break;
        case DiaryStore::RenameResult::NoFolder:
            break;
        }
    }
    const RegistryResult result = registry.updateBook(services_.state.bookIndex, book);
    if (result != RegistryResult::Ok && moved) {
        store.renameBookFolder(book.name, oldName);
    }
    switch (result) {
    case RegistryResult::OpenFailed:
        boxes.show(gbk("无法打开数据库！请检查原因"), MessageBoxes::Ok);
        break;
    case RegistryResult::WriteFailed:
        boxes.show(gbk("无法修改数据！请检查原因"), MessageBoxes::Ok);
        break;
    case RegistryResult::Ok:
        boxes.show(gbk("数据修改成功！"), MessageBoxes::Ok);
        services_.host.loadCurrentBook();
        break;
    }
}

} // namespace wendlow
