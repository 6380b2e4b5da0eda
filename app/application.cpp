#include "application.h"

#include "book_info_window.h"
#include "book_registry.h"
#include "diary_store.h"
#include "export_import_window.h"
#include "flat_style.h"
#include "main_window.h"
#include "new_book_window.h"
#include "open_book_window.h"
#include "past_entries_window.h"
#include "send_mail_window.h"
#include "settings.h"
#include "settings_keys.h"
#include "version_check_window.h"
#include "welcome_window.h"

#include <QApplication>
#include <QDir>

namespace wendlow {

namespace keys = settings_keys;

Application::Application(const QString& programDir, Seams seams, FatalErrorHandler fatal)
    : seams_(seams), data_{programDir, std::move(fatal), &seams.clock} {
    network_.versionUrl = QStringLiteral(WENDLOW_VERSION_URL);
}

Application::~Application() {
    qDeleteAll(otherWindows());
    delete main_.data();
}

QList<QWidget*> Application::otherWindows() const {
    QList<QWidget*> open;
    for (QWidget* window : {static_cast<QWidget*>(versionCheck_), static_cast<QWidget*>(sendMail_),
                            static_cast<QWidget*>(exportImport_), static_cast<QWidget*>(bookInfo_),
                            static_cast<QWidget*>(newBook_), static_cast<QWidget*>(openBook_),
                            static_cast<QWidget*>(welcome_), static_cast<QWidget*>(pastEntries_)}) {
        if (window) {
            open.push_back(window);
        }
    }
    return open;
}

Services Application::services() {
    return {state_,          data_, seams_.boxes, seams_.dialogs, seams_.clock,
            seams_.launcher, *this, network_,     seams_.player};
}

bool Application::checkRegistry() {
    const RegistryCheck check = BookRegistry(data_).ensureRegistry();
    switch (check.outcome) {
    case RegistryCheck::Outcome::Ready:
    case RegistryCheck::Outcome::Created:
        return true;
    case RegistryCheck::Outcome::KeptAside:
        seams_.boxes.show(
            gbk("日记本登记簿已损坏，无法打开。为了不丢失任何内容，原来的文件已保存为：") +
                fromUnicode(QDir::toNativeSeparators(check.keptAsidePath)) +
                gbk("\r\n程序已经新建了一个登记簿。"),
            MessageBoxes::Ok);
        return true;
    case RegistryCheck::Outcome::Busy:
        seams_.boxes.show(gbk("日记本登记簿正被另一个程序使用，请先关闭另一个Wendlow再试。"),
                          MessageBoxes::Ok);
        return false;
    case RegistryCheck::Outcome::Unavailable:
        break;
    }
    seams_.boxes.show(gbk("Wendlow无法在这个目录中保存日记：") +
                          fromUnicode(QDir::toNativeSeparators(data_.programDir)) +
                          gbk("\r\n请给这个目录写入的权限，然后再启动Wendlow。"),
                      MessageBoxes::Ok);
    return false;
}

bool Application::start() {
    state_ = ProgramState{};
    if (!checkRegistry()) {
        return false;
    }
    main_ = new MainWindow(services());
    connect(main_, &MainWindow::mainWindowClosed, this, [this] {
        // Every other window goes with the main window, without a question.
        for (QWidget* window : otherWindows()) {
            window->close();
        }
        emit finished();
    });
    centreOnScreen(main_);
    loadWindow(main_, false);
    prepareMainWindow();
    return registryUsable_;
}

void Application::prepareMainWindow() {
    if (!main_) {
        return;
    }
    state_.greetingTail =
        gbk("。今天我们又将记录你的心情！想查看以前的日记双击左边的日记就可以了！");
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        applyFlatStyle(*app, 1);
    }
    registryUsable_ = checkRegistry();
    loadCurrentBook();
    if (state_.welcomeDone != 1 && readSetting(keys::infIniPath(data_), keys::section(),
                                               keys::welcomeHidden()) != keys::flagTrue()) {
        loadWelcome(false);
    }
    main_->setDateToNow();
    main_->selectFirstMoodAndWeather();
    if (state_.holidayDays == 0) {
        state_.holidayDays = 1;
    }
    loadPastEntries(false);
    writeSetting(keys::infIniPath(data_), keys::section(), keys::version(), keys::localVersion());
    const Text version = readSetting(keys::infIniPath(data_), keys::section(), keys::version());
    const Text caption = "WendlowV" + version + "  " + state_.ownerName + gbk(" 的 ") +
                         state_.bookName + "  " + Text::number(state_.holidayDays) + gbk("天假期");
    main_->setWindowTitle(toUnicode(caption));
    main_->mainWindowGreeting();
}

void Application::loadCurrentBook() {
    const std::optional<BookRecord> book = BookRegistry(data_).readBook(state_.bookIndex);
    if (!book) {
        return;
    }
    state_.bookName = book->name;
    state_.ownerName = book->owner;
    state_.bookNote = book->note;
    state_.holidayDays = book->days;
    state_.bookPassword = book->password;
}

// Loading a window that is open only brings it to the front; otherwise it is made anew.
template <typename W> void Application::load(QPointer<FixedWindow>& slot, bool modal) {
    // A window that has closed but is not deleted yet is gone for the user: make it anew.
    if (!slot || !slot->isVisible()) {
        slot = new W(services());
    }
    loadWindow(slot, modal);
}

void Application::loadWelcome(bool modal) {
    load<WelcomeWindow>(welcome_, modal);
}
void Application::loadOpenBook() {
    load<OpenBookWindow>(openBook_, true);
}
void Application::loadNewBook() {
    load<NewBookWindow>(newBook_, true);
}
void Application::loadBookInfo() {
    load<BookInfoWindow>(bookInfo_, true);
}
void Application::loadExportImport() {
    load<ExportImportWindow>(exportImport_, true);
}
void Application::loadVersionCheck() {
    load<VersionCheckWindow>(versionCheck_, false);
}
void Application::loadSendMail() {
    load<SendMailWindow>(sendMail_, true);
}

void Application::bringMainWindowToFront() {
    loadWindow(main_, false);
}

void Application::currentBookChanged() {
    if (pastEntries_ && pastEntries_->isVisible() &&
        pastEntries_->listedBook() != state_.bookName) {
        pastEntries_->refreshPastEntries();
    }
}

void Application::loadPastEntries(bool modal) {
    if (pastEntries_ && pastEntries_->isVisible()) {
        // The list always belongs to the current book.
        currentBookChanged();
        loadWindow(pastEntries_, modal);
        return;
    }
    pastEntries_ = new PastEntriesWindow(services());
    loadWindow(pastEntries_, modal);
}

void Application::refreshPastEntries() {
    if (pastEntries_ && pastEntries_->isVisible()) {
        pastEntries_->refreshPastEntries();
        return;
    }
    // With the window closed only the count is kept up to date; the window fills itself when
    // it is next created.
    state_.entryCountText = Text::number(DiaryStore(data_).countEntries(state_.bookName));
}

} // namespace wendlow
