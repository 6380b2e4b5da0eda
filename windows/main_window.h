#pragma once

#include "diary_entry.h"
#include "fixed_window.h"
#include "services.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolBar;

namespace wendlow {

class ColourPicker;

// The window in which entries are written: the five entry controls, the toolbar above the
// content, the greeting line and the music controls. Closing it ends the program.
class MainWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit MainWindow(Services services);

    // The entry on screen.
    DiaryEntry entry() const;
    // Puts an entry into the five controls, in order: title, date, mood, weather, content.
    void setEntry(const DiaryEntry& entry);
    // Empties title and content and sets the date to now; mood and weather stay.
    void clearEditor();

    // The set-up steps that belong to the window itself.
    void setDateToNow();
    void selectFirstMoodAndWeather();
    void mainWindowGreeting();

    // Plays the file of Text_地址 as many times as 编辑框5 says.
    void playMusic();
    // The play count a count text gives: 1 when empty, else its number cut toward zero to 64
    // bits (0 beyond them), of which the low 32 bits are kept.
    static qint32 repeatCount(const Text& countText);

    // The toolbar's entries by 0-based index, the separator counted.
    void toolbarClicked(int index);
    static constexpr int kToolbarEntries = 10;

    QLineEdit* titleEdit() const { return titleEdit_; }
    QLineEdit* dateEdit() const { return dateEdit_; }
    QComboBox* moodCombo() const { return moodCombo_; }
    QComboBox* weatherCombo() const { return weatherCombo_; }
    QPlainTextEdit* contentEdit() const { return contentEdit_; }

  signals:
    void mainWindowClosed();

  protected:
    void willBeDestroyed() override;

  private:
    void buildEntryGroup();
    void buildToolbar();
    void buildMusicGroup();

    void newEntry();
    void saveEntry();
    void toggle(ColourPicker* picker);
    void chooseFont();
    void stampDate();
    void applyContentColours();
    void chooseMusic();

    Services services_;
    QLabel* greetingLabel_ = nullptr;
    QLineEdit* titleEdit_ = nullptr;
    QLineEdit* dateEdit_ = nullptr;
    QComboBox* moodCombo_ = nullptr;
    QComboBox* weatherCombo_ = nullptr;
    QPushButton* welcomeButton_ = nullptr;
    QPushButton* pastEntriesButton_ = nullptr;
    QGroupBox* toolbarGroup_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    ColourPicker* backgroundPicker_ = nullptr;
    ColourPicker* textColourPicker_ = nullptr;
    QPlainTextEdit* contentEdit_ = nullptr;
    QLineEdit* musicPathEdit_ = nullptr;
    QLineEdit* playCountEdit_ = nullptr;
    QTimer* timer_ = nullptr;
    QColor contentBackground_ = Qt::white;
    QColor contentText_ = Qt::black;
    QFont contentFont_;
};

} // namespace wendlow
