#include "main_window.h"

#include "colour_picker.h"
#include "credits.h"
#include "diary_store.h"
#include "editor_text.h"
#include "greetings.h"
#include "toolbar_pictures.h"
#include "widgets.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>

namespace wendlow {

namespace {

// Pictures of the toolbar entries by index; the separator has none.
constexpr int kPictureOf[MainWindow::kToolbarEntries] = {1, 0, 2, -1, 3, 3, 4, 6, 7, 8};

} // namespace

MainWindow::MainWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_写日记"), QStringLiteral("Wendlow-快乐寒假-32天假期"),
                  QSize(525, 611)),
      services_(std::move(services)) {
    greetingLabel_ =
        label(this, QStringLiteral("标签_开始信息"),
              QStringLiteral("早上好啊，小小主人。今天我们又将记录你的心情！想查看以前的日记双击"
                             "左边的日记就可以了！"),
              3, -1, 512, 24);
    buildEntryGroup();
    buildToolbar();

    contentEdit_ = place(new QPlainTextEdit(this), QStringLiteral("Text_内容"), 8, 154, 504, 392);
    contentEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    contentFont_ = contentEdit_->font();

    // The pickers drop over the top of the content box, so they stack above it.
    backgroundPicker_ = place(new ColourPicker(QStringLiteral("颜色选择器1"), this),
                              QStringLiteral("颜色选择器1"), 183, 149, 80, 24);
    textColourPicker_ = place(new ColourPicker(QStringLiteral("颜色选择器2"), this),
                              QStringLiteral("颜色选择器2"), 235, 149, 80, 24);
    for (ColourPicker* picker : {backgroundPicker_, textColourPicker_}) {
        picker->hide();
        picker->raise();
        connect(picker, &ColourPicker::lostFocus, picker, &QWidget::hide);
    }
    connect(backgroundPicker_, &ColourPicker::colourChosen, this, [this](const QColor& c) {
        contentBackground_ = c;
        applyContentColours();
        backgroundPicker_->hide();
    });
    connect(textColourPicker_, &ColourPicker::colourChosen, this, [this](const QColor& c) {
        contentText_ = c;
        applyContentColours();
        textColourPicker_->hide();
    });

    buildMusicGroup();

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("时钟1"));
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &MainWindow::mainWindowGreeting);
    timer_->start();
}

void MainWindow::buildEntryGroup() {
    auto* group = place(new QGroupBox(this), QStringLiteral("分组框1"), 8, 16, 496, 70);
    label(group, QStringLiteral("标签1"), QStringLiteral("标题"), 10, 16, 24, 16);
    titleEdit_ = place(new QLineEdit(QStringLiteral("我的一天"), group),
                       QStringLiteral("Text_标题"), 40, 14, 168, 24);
    label(group, QStringLiteral("标签2"), QStringLiteral("日期"), 10, 43, 24, 16);
    dateEdit_ = place(new QLineEdit(group), QStringLiteral("Text_日期"), 40, 40, 168, 24);
    label(group, QStringLiteral("标签3"), QStringLiteral("心情"), 216, 18, 24, 16);
    moodCombo_ = place(new QComboBox(group), QStringLiteral("组合Text_心情"), 248, 16, 88, 20);
    moodCombo_->setEditable(true);
    moodCombo_->setInsertPolicy(QComboBox::NoInsert);
    moodCombo_->addItems({QStringLiteral("开心"), QStringLiteral("不错"), QStringLiteral("兴奋"),
                          QStringLiteral("高兴"), QStringLiteral("还可以")});
    label(group, QStringLiteral("标签6"), QStringLiteral("天气"), 216, 42, 24, 16);
    weatherCombo_ = place(new QComboBox(group), QStringLiteral("组合Text_天气"), 248, 41, 88, 20);
    weatherCombo_->setEditable(true);
    weatherCombo_->setInsertPolicy(QComboBox::NoInsert);
    weatherCombo_->addItems({QStringLiteral("随人而异"), QStringLiteral("晴朗"),
                             QStringLiteral("多云"), QStringLiteral("阴天")});
    welcomeButton_ = place(new QPushButton(QStringLiteral("欢迎窗口"), group),
                           QStringLiteral("按钮4"), 342, 18, 72, 40);
    pastEntriesButton_ = place(new QPushButton(QStringLiteral("日期窗口"), group),
                               QStringLiteral("按钮5"), 419, 18, 72, 40);
    connect(welcomeButton_, &QPushButton::clicked, this,
            [this] { services_.host.loadWelcome(true); });
    connect(pastEntriesButton_, &QPushButton::clicked, this,
            [this] { services_.host.loadPastEntries(true); });
}

void MainWindow::buildToolbar() {
    toolbarGroup_ = place(new QGroupBox(this), QStringLiteral("分组框2"), 0, 85, 520, 64);
    toolbar_ = place(new QToolBar(toolbarGroup_), QStringLiteral("记事工具"), 2, 10, 510, 48);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    QFont small = toolbar_->font();
    small.setPixelSize(10);
    toolbar_->setFont(small);
    toolbar_->setStyleSheet(QStringLiteral("QToolBar { border: none; spacing: 0; padding: 0; }"
                                           "QToolButton { padding: 0; margin: 0; }"));
    const QString captions[kToolbarEntries] = {
        QStringLiteral("新建文件"), QStringLiteral("保存文件"),
        QStringLiteral("导入导出"), QString(),
        QStringLiteral("背景颜色"), QStringLiteral("字体颜色"),
        QStringLiteral("字体设置"), QStringLiteral("加入日期"),
        QStringLiteral("发送日记"), QStringLiteral("相关属性")};
    for (int index = 0; index < kToolbarEntries; ++index) {
        if (kPictureOf[index] < 0) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = toolbar_->addAction(toolbarPicture(kPictureOf[index]), captions[index]);
        action->setObjectName(captions[index]);
        // The toolbar has no tooltips.
        action->setToolTip(QString());
        connect(action, &QAction::triggered, this, [this, index] { toolbarClicked(index); });
        // Nine buttons share the 510 pixels of the bar, so none falls into an overflow menu.
        if (QWidget* button = toolbar_->widgetForAction(action)) {
            button->setObjectName(captions[index]);
            button->setFixedSize(54, 48);
        }
    }
}

void MainWindow::buildMusicGroup() {
    auto* group = place(new QGroupBox(this), QStringLiteral("分组框3"), 8, 546, 496, 32);
    label(group, QStringLiteral("标签4"), QStringLiteral("音乐"), 8, 10, 24, 16);
    musicPathEdit_ = place(new QLineEdit(group), QStringLiteral("Text_地址"), 34, 7, 168, 20);
    auto* play = place(new QPushButton(QStringLiteral("播放"), group), QStringLiteral("按钮1"), 206,
                       6, 40, 22);
    connect(play, &QPushButton::clicked, this, &MainWindow::chooseMusic);
    label(group, QStringLiteral("标签8"), QStringLiteral("次数"), 252, 10, 24, 16);
    playCountEdit_ =
        place(new QLineEdit(QStringLiteral("1"), group), QStringLiteral("编辑框5"), 278, 7, 40, 20);
    // Every change of the count, each key typed included, starts the music again.
    connect(playCountEdit_, &QLineEdit::textChanged, this, &MainWindow::playMusic);
    label(group, QStringLiteral("标签7"), QStringLiteral("次"), 322, 10, 16, 16);
    auto* credit = place(new LinkLabel(QStringLiteral("  Wendlow 荣誉出品"), group),
                         QStringLiteral("标签5"), 366, 10, 128, 16);
    connect(credit, &LinkLabel::pressed, this,
            [this] { services_.launcher.openUrl(credits::kMakersPage); });
}

DiaryEntry MainWindow::entry() const {
    return {fromUnicode(titleEdit_->text()), fromUnicode(dateEdit_->text()),
            fromUnicode(moodCombo_->currentText()), fromUnicode(weatherCombo_->currentText()),
            contentToText(contentEdit_->toPlainText())};
}

void MainWindow::setEntry(const DiaryEntry& entry) {
    titleEdit_->setText(toUnicode(entry.title));
    dateEdit_->setText(toUnicode(entry.date));
    moodCombo_->setEditText(toUnicode(entry.mood));
    weatherCombo_->setEditText(toUnicode(entry.weather));
    contentEdit_->setPlainText(contentFromText(entry.content));
}

void MainWindow::clearEditor() {
    titleEdit_->clear();
    setDateToNow();
    contentEdit_->clear();
}

void MainWindow::setDateToNow() {
    dateEdit_->setText(toUnicode(formatDateTime(services_.clock.now())));
}

void MainWindow::selectFirstMoodAndWeather() {
    moodCombo_->setCurrentIndex(0);
    weatherCombo_->setCurrentIndex(0);
    // An edited text is replaced by the item even when the index did not change.
    moodCombo_->setEditText(moodCombo_->itemText(0));
    weatherCombo_->setEditText(weatherCombo_->itemText(0));
}

void MainWindow::mainWindowGreeting() {
    const std::optional<Text> word = greetingWord(services_.clock.now().time().hour());
    if (word) {
        greetingLabel_->setText(toUnicode(mainGreetingText(*word, services_.state)));
    }
}

void MainWindow::toolbarClicked(int index) {
    switch (index) {
    case 0:
        newEntry();
        break;
    case 1:
        saveEntry();
        break;
    case 2:
        services_.host.loadExportImport();
        break;
    case 4:
        toggle(backgroundPicker_);
        break;
    case 5:
        toggle(textColourPicker_);
        break;
    case 6:
        chooseFont();
        break;
    case 7:
        stampDate();
        break;
    case 8:
        services_.host.loadSendMail();
        break;
    case 9:
        services_.host.loadBookInfo();
        break;
    default:
        break;
    }
}

void MainWindow::newEntry() {
    const DiaryEntry current = entry();
    if (current.isEmpty()) {
        return;
    }
    if (services_.boxes.show(gbk("刚刚写的日记还没保存呢！点击确定保存"), MessageBoxes::OkCancel) !=
        MessageBoxes::AnsweredOk) {
        return;
    }
    const bool saved = DiaryStore(services_.data).appendEntry(services_.state.bookName, current);
    services_.boxes.show(saved ? gbk("保存成功！") : gbk("保存失败！"), MessageBoxes::Ok);
    clearEditor();
}

void MainWindow::saveEntry() {
    const bool saved = DiaryStore(services_.data).appendEntry(services_.state.bookName, entry());
    if (saved) {
        services_.boxes.show(gbk("恭喜你！写完了一篇日记！"), MessageBoxes::Ok);
        const auto count = static_cast<qint64>(textToNumber(services_.state.entryCountText));
        services_.state.entryCountText = Text::number(count + 1);
        services_.host.refreshPastEntries();
    } else {
        services_.boxes.show(gbk("对不起！日记无法写入数据库！"), MessageBoxes::Ok);
    }
    clearEditor();
}

void MainWindow::toggle(ColourPicker* picker) {
    if (picker->isVisible()) {
        picker->hide();
    } else {
        picker->show();
        picker->raise();
        picker->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::chooseFont() {
    const std::optional<QFont> chosen = services_.dialogs.chooseFont(this, contentFont_);
    if (!chosen) {
        return;
    }
    // Only the face, size and the four styles are taken; a colour chosen there is not.
    QFont font(chosen->family());
    font.setPointSizeF(chosen->pointSizeF() > 0 ? chosen->pointSizeF() : contentFont_.pointSizeF());
    font.setBold(chosen->bold());
    font.setItalic(chosen->italic());
    font.setStrikeOut(chosen->strikeOut());
    font.setUnderline(chosen->underline());
    contentFont_ = font;
    contentEdit_->setFont(font);
}

void MainWindow::stampDate() {
    QTextCursor cursor = contentEdit_->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(toUnicode(formatDateTime(services_.clock.now())));
    contentEdit_->setTextCursor(cursor);
    contentEdit_->ensureCursorVisible();
}

void MainWindow::applyContentColours() {
    // A sheet of the box's own, so it wins over the program's flat style.
    contentEdit_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: %1; color: %2; }")
                                    .arg(contentBackground_.name(), contentText_.name()));
}

qint32 MainWindow::repeatCount(const Text& countText) {
    if (countText.isEmpty()) {
        return 1;
    }
    return wholeNumberLow32(textToNumber(countText));
}

void MainWindow::playMusic() {
    services_.player.play(repeatCount(fromUnicode(playCountEdit_->text())), musicPathEdit_->text());
}

void MainWindow::chooseMusic() {
    const std::optional<QString> path = services_.dialogs.openFile(this);
    if (!path || path->isEmpty()) {
        return;
    }
    musicPathEdit_->setText(*path);
    playMusic();
}

void MainWindow::willBeDestroyed() {
    emit mainWindowClosed();
}

} // namespace wendlow
