#pragma once

#include "clock.h"
#include "data_context.h"
#include "dialogs.h"
#include "launcher.h"
#include "message_boxes.h"
#include "mp3_player.h"
#include "program_state.h"

namespace wendlow {

class MainWindow;

// What windows ask of the program that assembles them: the operations that reach across
// windows. The application implements it.
class WindowHost {
  public:
    virtual ~WindowHost() = default;
    virtual MainWindow* mainWindow() = 0;
    // The main window's set-up sequence, run at start and again after a book was opened or the
    // book information was saved.
    virtual void prepareMainWindow() = 0;
    // Copies the registry record at bookIndex into the program state.
    virtual void loadCurrentBook() = 0;
    virtual void loadWelcome(bool modal) = 0;
    virtual void loadOpenBook() = 0;
    virtual void loadNewBook() = 0;
    virtual void loadVersionCheck() = 0;
    virtual void bringMainWindowToFront() = 0;
    // Another book became current without the main window being set up again: an open
    // past-entries window must list that book's entries.
    virtual void currentBookChanged() = 0;
    virtual void loadPastEntries(bool modal) = 0;
    // Recounts the current book's entries; an open past-entries window is refilled.
    virtual void refreshPastEntries() = 0;
    virtual void loadExportImport() = 0;
    virtual void loadSendMail() = 0;
    virtual void loadBookInfo() = 0;
};

// Where the network windows go: constants of the program, which tests point at their own
// servers on this machine.
struct NetworkSettings {
    int smtpPort = 25;
    QString versionUrl;
    // An extra certificate authority to trust for STARTTLS; empty for the system's own.
    QString caFile;
};

// Everything a window needs, handed to it when it is made. The seams (message boxes, dialogs,
// clock, launcher) are real in the program and scripted in tests.
struct Services {
    ProgramState& state;
    DataContext data;
    MessageBoxes& boxes;
    Dialogs& dialogs;
    const Clock& clock;
    Launcher& launcher;
    WindowHost& host;
    const NetworkSettings& network;
    Mp3Player& player;
};

} // namespace wendlow
