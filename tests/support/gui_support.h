#pragma once

#include "application.h"
#include "counting_sink.h"
#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace wendlow::test {

// Answers message boxes from a script (OK when the script is empty) and keeps every text shown.
class ScriptedMessageBoxes final : public MessageBoxes {
  public:
    int show(const Text& text, Buttons buttons) override {
        shown.push_back(text);
        buttonsShown.push_back(buttons);
        if (answers.empty()) {
            return AnsweredOk;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<int> answers;
    std::vector<Text> shown;
    std::vector<Buttons> buttonsShown;
};

// Gives the path or font a user would choose; nothing (cancel) when the script is empty.
class ScriptedDialogs final : public Dialogs {
  public:
    std::optional<QString> openFile(QWidget*) override { return next(openPaths); }
    std::optional<QString> saveFile(QWidget*) override { return next(savePaths); }
    std::optional<QFont> chooseFont(QWidget*, const QFont& initial) override {
        fontInitials.push_back(initial);
        return next(fonts);
    }
    std::deque<std::optional<QString>> openPaths;
    std::deque<std::optional<QString>> savePaths;
    std::deque<std::optional<QFont>> fonts;
    std::vector<QFont> fontInitials;

  private:
    template <typename T> static std::optional<T> next(std::deque<std::optional<T>>& queue) {
        if (queue.empty()) {
            return std::nullopt;
        }
        std::optional<T> v;
        v.swap(queue.front());
        queue.pop_front();
        return v;
    }
};

class RecordingLauncher final : public Launcher {
  public:
    bool openUrl(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }
    std::vector<QUrl> opened;
};

// The whole program in a temporary program directory, with scripted seams and a fixed clock.
class ProgramFixture {
  public:
    ProgramFixture()
        : player(std::make_unique<CountingSink>()),
          app_(std::make_unique<Application>(
              dir_.path(), Application::Seams{boxes, dialogs, clock, launcher, player},
              fatal.handler())) {}
    ~ProgramFixture() { app_.reset(); }

    bool start() { return app_->start(); }
    Application& app() { return *app_; }
    ProgramState& state() { return app_->state(); }
    MainWindow& main() { return *app_->mainWindow(); }
    QString path(const QString& relative = {}) const {
        return relative.isEmpty() ? dir_.path() : dir_.path() + QLatin1Char('/') + relative;
    }
    DataContext context() { return app_->data(); }

    FixedClock clock;
    ScriptedMessageBoxes boxes;
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    FatalRecorder fatal;
    // Music goes to a sink that only counts frames, never to a sound device.
    Mp3Player player;

  private:
    QTemporaryDir dir_;
    std::unique_ptr<Application> app_;
};

// Runs `action` once `ready` holds, polling from the event loop; for answering a modal window
// from inside its own loop. Gives up after `timeoutMs`.
inline void whenReady(std::function<bool()> ready, std::function<void()> action,
                      int timeoutMs = 5000) {
    // Owned by the application, so a poll that never fires is still cleaned up at the end.
    auto* timer = new QTimer(QCoreApplication::instance());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, ready, action, timeoutMs] {
        if (ready()) {
            timer->stop();
            timer->deleteLater();
            action();
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// The open top-level window of that name, if any.
inline QWidget* visibleWindow(const QString& name) {
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->objectName() == name && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

struct ModalVisit {
    bool shown = false;
    bool modal = false;
    bool cancelled = false;
};

// Runs `load`, which is to open the window `name` modally, and `act` inside that window's own
// loop. The window is closed afterwards when `act` left it open, so a failing check never
// leaves a modal loop running.
inline ModalVisit visitModal(const QString& name, const std::function<void()>& load,
                             const std::function<void(QWidget*)>& act) {
    auto visit = std::make_shared<ModalVisit>();
    whenReady([visit, name] { return !visit->cancelled && visibleWindow(name); },
              [visit, name, act] {
                  QPointer<QWidget> window = visibleWindow(name);
                  visit->shown = true;
                  visit->modal = QApplication::activeModalWidget() == window;
                  act(window);
                  if (window && window->isVisible()) {
                      window->close();
                  }
              });
    load();
    visit->cancelled = true;
    // Back in the program's own loop, a closed window is deleted before anything loads it again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return *visit;
}

} // namespace wendlow::test
