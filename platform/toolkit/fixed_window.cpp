#include "fixed_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

namespace wendlow {

namespace {
// What a fixed border with a caption takes from the outer size: 3 pixels on each side and the
// caption on top (a narrow tool caption is shorter).
constexpr QSize kFrame(6, 28);
constexpr QSize kNarrowFrame(6, 22);
} // namespace

QSize FixedWindow::clientSizeFor(QSize outerSize, Caption caption) {
    return outerSize - (caption == Caption::Narrow ? kNarrowFrame : kFrame);
}

FixedWindow::FixedWindow(const QString& name, const QString& title, QSize outerSize,
                         Caption caption, bool stayOnTop)
    : QWidget(nullptr) {
    setObjectName(name);
    setWindowTitle(title);
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    if (stayOnTop) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(clientSizeFor(outerSize, caption));
}

void FixedWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FixedWindow::closeEvent(QCloseEvent* event) {
    if (!closingDone_) {
        closingDone_ = true;
        willBeDestroyed();
        emit closing();
    }
    event->accept();
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

void loadWindow(FixedWindow* window, bool modal) {
    if (!window) {
        return;
    }
    if (window->isVisible()) {
        if (window->isMinimized()) {
            window->showNormal();
        }
        window->raise();
        window->activateWindow();
        return;
    }
    centreOnScreen(window);
    window->created();
    if (!modal) {
        window->show();
        return;
    }
    QPointer<FixedWindow> guard(window);
    window->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(window, &FixedWindow::closing, &loop, &QEventLoop::quit);
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    window->show();
    if (guard && guard->isVisible()) {
        loop.exec();
    }
}

void destroyWindow(QWidget* window) {
    if (window) {
        QTimer::singleShot(0, window, &QWidget::close);
    }
}

} // namespace wendlow
