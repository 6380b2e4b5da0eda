#include "accessible_names.h"
#include "application.h"
#include "fatal_report.h"
#include "memory_policy.h"

#include <QApplication>

int main(int argc, char** argv) {
    wendlow::keepFreedMemoryForReuse();
    QApplication qtApp(argc, argv);
    qtApp.setQuitOnLastWindowClosed(false);
    wendlow::AccessibleNames accessibleNames;
    qtApp.installEventFilter(&accessibleNames);

    wendlow::QtMessageBoxes boxes;
    wendlow::QtDialogs dialogs;
    wendlow::SystemClock clock;
    wendlow::DesktopLauncher launcher;
    // Declared before the application, so the music stops only after every window has gone.
    wendlow::Mp3Player player;
    wendlow::Application app(QCoreApplication::applicationDirPath(),
                             {boxes, dialogs, clock, launcher, player}, &wendlow::reportFatalError);
    QObject::connect(&app, &wendlow::Application::finished, &qtApp,
                     [] { QCoreApplication::exit(0); });
    if (!app.start()) {
        return 1;
    }
    return QApplication::exec();
}
