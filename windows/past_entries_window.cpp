#include "past_entries_window.h"

#include "diary_store.h"
#include "greetings.h"
#include "lunar_calendar.h"
#include "main_window.h"

#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

namespace wendlow {

PastEntriesWindow::PastEntriesWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_往事登记"), QStringLiteral("往事登记"), QSize(372, 426)),
      services_(std::move(services)) {
    calendar_ = new LunarCalendar(QStringLiteral("农历月历1"), this);
    calendar_->setGeometry(0, 0, 365, 262);

    greetingLabel_ = new QLabel(QStringLiteral("标签"), this);
    greetingLabel_->setObjectName(QStringLiteral("标签1"));
    greetingLabel_->setGeometry(2, 264, 360, 24);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("列表框1"));
    list_->setGeometry(0, 288, 366, 110);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Every line is one title of the same height; measuring each of thousands is wasted work.
    list_->setUniformItemSizes(true);
    list_->setContextMenuPolicy(Qt::PreventContextMenu);
    // A right press must not move the selection: the menu acts on the line selected before.
    list_->viewport()->installEventFilter(this);

    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("右键菜单"));
    QAction* open = menu_->addAction(QStringLiteral("打开"));
    open->setObjectName(QStringLiteral("打开"));
    QAction* remove = menu_->addAction(QStringLiteral("删除"));
    remove->setObjectName(QStringLiteral("删除"));
    connect(open, &QAction::triggered, this, &PastEntriesWindow::openPastEntry);
    connect(remove, &QAction::triggered, this, &PastEntriesWindow::deletePastEntry);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("时钟1"));
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &PastEntriesWindow::pastEntriesGreeting);
    timer_->start();
}

void PastEntriesWindow::created() {
    refreshPastEntries();
}

void PastEntriesWindow::refreshPastEntries() {
    // One pass over the file gives both the count and the titles.
    listedBook_ = services_.state.bookName;
    const std::vector<Text> titles = DiaryStore(services_.data).listEntryTitles(listedBook_);
    services_.state.entryCountText = Text::number(static_cast<qulonglong>(titles.size()));
    pastEntriesGreeting();
    placeBesideMainWindow();
    list_->clear();
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(titles.size()));
    for (const Text& title : titles) {
        lines.push_back(toUnicode(title));
    }
    list_->addItems(lines);
}

void PastEntriesWindow::pastEntriesGreeting() {
    const std::optional<Text> word = greetingWord(services_.clock.now().time().hour());
    if (word) {
        greetingLabel_->setText(toUnicode(pastEntriesGreetingText(*word, services_.state)));
    }
}

void PastEntriesWindow::placeBesideMainWindow() {
    MainWindow* main = services_.host.mainWindow();
    if (!main) {
        return;
    }
    const QRect outer = main->frameGeometry();
    move(outer.left() + outer.width() + 11, outer.top());
}

bool PastEntriesWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        rightClicked(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    return FixedWindow::eventFilter(watched, event);
}

void PastEntriesWindow::rightClicked(const QPoint& globalPos) {
    const int selected = list_->currentRow();
    if (selected < 0 || list_->selectedItems().isEmpty()) {
        return;
    }
    services_.state.selectedEntryIndex = selected;
    menu_->popup(globalPos);
}

void PastEntriesWindow::openPastEntry() {
    if (listedBook_ != services_.state.bookName) {
        // The lines belong to another book; show the current one instead of acting on it.
        refreshPastEntries();
        return;
    }
    const std::optional<DiaryEntry> entry =
        DiaryStore(services_.data)
            .readEntry(services_.state.bookName, services_.state.selectedEntryIndex);
    if (!entry) {
        services_.boxes.show(gbk("这本日记本打不开，日记没有读出来。"), MessageBoxes::Ok);
        return;
    }
    if (MainWindow* main = services_.host.mainWindow()) {
        main->setEntry(*entry);
    }
}

void PastEntriesWindow::deletePastEntry() {
    if (listedBook_ != services_.state.bookName) {
        refreshPastEntries();
        return;
    }
    DiaryStore(services_.data)
        .deleteEntry(services_.state.bookName, services_.state.selectedEntryIndex);
    refreshPastEntries();
}

} // namespace wendlow
