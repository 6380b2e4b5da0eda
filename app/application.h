#pragma once

#include "fatal_error.h"
#include "main_window.h"
#include "past_entries_window.h"
#include "services.h"

#include <QObject>
#include <QPointer>

namespace wendlow {

// Assembles the program: the program state, the data context and the seams, and owns the
// windows. It runs the start sequence and the operations that reach across windows.
class Application final : public QObject, public WindowHost {
    Q_OBJECT
  public:
    struct Seams {
        MessageBoxes& boxes;
        Dialogs& dialogs;
        const Clock& clock;
        Launcher& launcher;
        Mp3Player& player;
    };

    Application(const QString& programDir, Seams seams, FatalErrorHandler fatal);
    ~Application() override;

    // Makes sure of the registry and loads the main window, whose set-up runs as it is created.
    // False when the program cannot work in its directory; the user has been told why.
    bool start();

    ProgramState& state() { return state_; }
    const DataContext& data() const { return data_; }
    // Where mail and the version check go; tests point them at their own servers.
    NetworkSettings& network() { return network_; }
    PastEntriesWindow* pastEntriesWindow() const { return pastEntries_; }

    MainWindow* mainWindow() override { return main_; }
    void prepareMainWindow() override;
    void loadCurrentBook() override;
    void loadWelcome(bool modal) override;
    void loadOpenBook() override;
    void loadNewBook() override;
    void loadVersionCheck() override;
    void bringMainWindowToFront() override;
    void currentBookChanged() override;
    void loadPastEntries(bool modal) override;
    void refreshPastEntries() override;
    void loadExportImport() override;
    void loadSendMail() override;
    void loadBookInfo() override;

  signals:
    // The main window closed: the program ends with status 0.
    void finished();

  private:
    Services services();
    // Every window but the main one that is open now.
    QList<QWidget*> otherWindows() const;
    template <typename W> void load(QPointer<FixedWindow>& slot, bool modal);
    // True when the registry can be used; tells the user what happened to it otherwise.
    bool checkRegistry();

    Seams seams_;
    ProgramState state_;
    DataContext data_;
    NetworkSettings network_;
    QPointer<MainWindow> main_;
    QPointer<PastEntriesWindow> pastEntries_;
    QPointer<FixedWindow> welcome_;
    QPointer<FixedWindow> openBook_;
    QPointer<FixedWindow> newBook_;
    QPointer<FixedWindow> bookInfo_;
    QPointer<FixedWindow> exportImport_;
    QPointer<FixedWindow> sendMail_;
    QPointer<FixedWindow> versionCheck_;
    bool registryUsable_ = true;
};

} // namespace wendlow
