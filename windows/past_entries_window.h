#pragma once

#include "fixed_window.h"
#include "services.h"

#include <vector>

class QLabel;
class QListWidget;
class QMenu;
class QTimer;

namespace wendlow {

class LunarCalendar;

// Beside the main window: a lunar month calendar, a greeting that counts the entries, and the
// titles of the current book's entries. A right click on a selected title offers "打开" (load it
// into the editor) and "删除" (delete it at once).
class PastEntriesWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit PastEntriesWindow(Services services);

    void created() override;

    // Counts the entries, greets, moves beside the main window and lists the titles anew.
    void refreshPastEntries();
    void pastEntriesGreeting();
    void openPastEntry();
    void deletePastEntry();

    // What a right click on the list does: nothing without a selection, otherwise it notes the
    // selected line and pops the menu up at `globalPos`.
    void rightClicked(const QPoint& globalPos);

    QListWidget* list() const { return list_; }
    QMenu* menu() const { return menu_; }
    // The book the list was filled from.
    const Text& listedBook() const { return listedBook_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void placeBesideMainWindow();

    Services services_;
    LunarCalendar* calendar_ = nullptr;
    QLabel* greetingLabel_ = nullptr;
    QListWidget* list_ = nullptr;
    QMenu* menu_ = nullptr;
    QTimer* timer_ = nullptr;
    Text listedBook_;
};

} // namespace wendlow
