#pragma once

#include <QPointer>
#include <QWidget>

namespace wendlow {

// A top-level window with a fixed border, a caption and a close box only. It opens centred on
// the screen, shows in the task bar and closes with Esc. Its size is given as the outer size
// the user sees; the client area is that less a nominal frame, so the controls placed in client
// coordinates fit as laid out.
class FixedWindow : public QWidget {
    Q_OBJECT
  public:
    enum class Caption { Normal, Narrow };

    FixedWindow(const QString& name, const QString& title, QSize outerSize,
                Caption caption = Caption::Normal, bool stayOnTop = false);

    // The window's created event, run once each time the window is loaded anew, before it shows.
    virtual void created() {}

    static QSize clientSizeFor(QSize outerSize, Caption caption);

  signals:
    // The window is closing and will be destroyed (close box, Esc or the program closing it).
    void closing();

  protected:
    // Runs as the window closes; the window is destroyed afterwards.
    virtual void willBeDestroyed() {}
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    bool closingDone_ = false;
};

// Loads a window: runs its created event, centres and shows it. Modal: every other window of
// the program is blocked and the call returns once the window has closed. A window that is
// already open is only restored and brought to the front; its created event does not run again.
void loadWindow(FixedWindow* window, bool modal);

// Closes a window once the running handler has returned to the event loop.
void destroyWindow(QWidget* window);

// Moves a window so that it is centred on its screen.
void centreOnScreen(QWidget* window);

} // namespace wendlow
