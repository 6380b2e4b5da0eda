#include "accessible_names.h"
#include "colour_picker.h"
#include "fatal_report.h"
#include "fixed_window.h"
#include "flat_style.h"
#include "gui_support.h"
#include "picture_button.h"
#include "toolbar_pictures.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace wendlow;
using namespace wendlow::test;

namespace {

// A window that counts its created and closing events.
class CountingWindow final : public FixedWindow {
  public:
    explicit CountingWindow(QSize outer = QSize(300, 200), Caption caption = Caption::Normal,
                            bool stayOnTop = false)
        : FixedWindow(QStringLiteral("窗口_测试"), QStringLiteral("测试"), outer, caption,
                      stayOnTop) {
        connect(this, &FixedWindow::closing, this, [this] { ++closingSignals; });
        edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Text_测试"));
        edit->setGeometry(10, 10, 120, 24);
    }
    void created() override { ++createdCalls; }

    int createdCalls = 0;
    int destroyedCalls = 0;
    int closingSignals = 0;
    QLineEdit* edit = nullptr;

  protected:
    void willBeDestroyed() override { ++destroyedCalls; }
};

bool sameImage(const QImage& a, const QImage& b) {
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TstToolkit : public QObject {
    Q_OBJECT

  private slots:
    void cleanup();

    void fatalErrorText_data();
    void fatalErrorText();

    void clientSizeFor_data();
    void clientSizeFor();
    void windowFlags_data();
    void windowFlags();
    void escCloses_data();
    void escCloses();
    void loadWindowNonModal();
    void loadWindowModal();
    void destroyWindowAfterHandler();
    void opensCentred();

    void pictureButton();
    void toolbarPictures();

    void colourPickerChooses();
    void colourPickerLostFocus();

    void accessibleNames();

    void flatStyle();
};

void TstToolkit::cleanup() {
    qApp->setStyleSheet(QString());
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible()) {
            w->close();
        }
    }
    QTest::qWait(0);
}

void TstToolkit::fatalErrorText_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    QTest::newRow("no code, no message") << 0 << QString() << QStringLiteral("运行时出错!\r\n\r\n");
    QTest::newRow("code and message")
        << 5 << QStringLiteral("数据或数组类型不匹配")
        << QStringLiteral(
               "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n");
    QTest::newRow("message only") << 0 << QStringLiteral("文件打不开")
                                  << QStringLiteral("运行时出错!\r\n\r\n错误信息：文件打不开\r\n");
    QTest::newRow("code only") << 2 << QString()
                               << QStringLiteral("运行时出错!\r\n\r\n错误代码：2\r\n\r\n");
    QTest::newRow("negative code")
        << -1 << QString() << QStringLiteral("运行时出错!\r\n\r\n错误代码：-1\r\n\r\n");
}

void TstToolkit::fatalErrorText() {
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(QString, text);
    QCOMPARE(wendlow::fatalErrorText(code, fromUnicode(message)), text);
}

void TstToolkit::clientSizeFor_data() {
    QTest::addColumn<QSize>("outer");
    QTest::addColumn<bool>("narrow");
    QTest::addColumn<QSize>("client");
    // The past-entries window's list ends at 398, its calendar at 365 pixels wide.
    QTest::newRow("past entries") << QSize(372, 426) << false << QSize(366, 398);
    QTest::newRow("main") << QSize(525, 611) << false << QSize(519, 583);
    QTest::newRow("narrow caption") << QSize(372, 426) << true << QSize(366, 404);
}

void TstToolkit::clientSizeFor() {
    QFETCH(QSize, outer);
    QFETCH(bool, narrow);
    QFETCH(QSize, client);
    const auto caption = narrow ? FixedWindow::Caption::Narrow : FixedWindow::Caption::Normal;
    QCOMPARE(FixedWindow::clientSizeFor(outer, caption), client);
    CountingWindow window(outer, caption);
    QCOMPARE(window.size(), client);
    // A fixed border: the user cannot resize it.
    QCOMPARE(window.minimumSize(), client);
    QCOMPARE(window.maximumSize(), client);
}

void TstToolkit::windowFlags_data() {
    QTest::addColumn<bool>("stayOnTop");
    QTest::newRow("ordinary") << false;
    QTest::newRow("on top") << true;
}

void TstToolkit::windowFlags() {
    QFETCH(bool, stayOnTop);
    CountingWindow window(QSize(300, 200), FixedWindow::Caption::Normal, stayOnTop);
    const Qt::WindowFlags flags = window.windowFlags();
    // A window of its own in the task bar, not a tool or dialog window.
    QCOMPARE(window.windowType(), Qt::Window);
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));
    QCOMPARE(flags.testFlag(Qt::WindowStaysOnTopHint), stayOnTop);
}

void TstToolkit::escCloses_data() {
    QTest::addColumn<bool>("fromChild");
    QTest::newRow("window") << false;
    QTest::newRow("line edit") << true;
}

void TstToolkit::escCloses() {
    QFETCH(bool, fromChild);
    QPointer<CountingWindow> window = new CountingWindow;
    loadWindow(window, false);
    QVERIFY(window->isVisible());
    QCOMPARE(window->createdCalls, 1);

    QTest::keyClick(fromChild ? static_cast<QWidget*>(window->edit) : window.data(),
                    Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    QCOMPARE(window->destroyedCalls, 1);
    QCOMPARE(window->closingSignals, 1);
    // A second close before it is gone does not run the closing event again.
    window->close();
    QCOMPARE(window->destroyedCalls, 1);
    QCOMPARE(window->closingSignals, 1);
    QTRY_VERIFY(!window);
}

void TstToolkit::loadWindowNonModal() {
    QPointer<CountingWindow> window = new CountingWindow;
    loadWindow(window, false);
    QVERIFY(window->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(window->createdCalls, 1);

    window->showMinimized();
    QVERIFY(window->isMinimized());
    loadWindow(window, false);
    QCOMPARE(window->createdCalls, 1);
    QVERIFY(!window->isMinimized());
    QVERIFY(window->isVisible());
    QCOMPARE(window->destroyedCalls, 0);

    window->close();
    QTRY_VERIFY(!window);
}

void TstToolkit::loadWindowModal() {
    CountingWindow* other = new CountingWindow;
    loadWindow(other, false);
    QPointer<CountingWindow> window = new CountingWindow;

    bool answered = false;
    QWidget* modal = nullptr;
    whenReady([&] { return window && window->isVisible(); },
              [&] {
                  answered = true;
                  modal = QApplication::activeModalWidget();
                  window->close();
              });
    loadWindow(window, true);
    // Returned only once the window had closed.
    QVERIFY(answered);
    QCOMPARE(modal, window.data());
    QVERIFY(!window || !window->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(other->isVisible());
    QCOMPARE(other->destroyedCalls, 0);
    other->close();
    QTRY_VERIFY(!window);
}

void TstToolkit::destroyWindowAfterHandler() {
    QPointer<CountingWindow> window = new CountingWindow;
    loadWindow(window, false);
    auto* button = new QPushButton(QStringLiteral("关闭"), window);
    bool visibleInHandler = false;
    int closingInHandler = -1;
    connect(button, &QPushButton::clicked, window, [&] {
        destroyWindow(window);
        visibleInHandler = window->isVisible();
        closingInHandler = window->closingSignals;
    });
    button->show();
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(visibleInHandler);
    QCOMPARE(closingInHandler, 0);
    QVERIFY(window->isVisible());
    QTRY_VERIFY(!window || !window->isVisible());
    if (window) {
        QCOMPARE(window->destroyedCalls, 1);
        QCOMPARE(window->closingSignals, 1);
    }
    QTRY_VERIFY(!window);
}

void TstToolkit::opensCentred() {
    auto* window = new CountingWindow(QSize(372, 426));
    loadWindow(window, false);
    const QRect area = window->screen()->availableGeometry();
    const QRect outer = window->frameGeometry();
    const QPoint offset = outer.center() - area.center();
    // The frame's own size is known only once the window is on screen, so it may shift the
    // window by up to half of it.
    const int slackX = (outer.width() - window->width()) / 2 + 1;
    const int slackY = (outer.height() - window->height()) / 2 + 1;
    QVERIFY2(qAbs(offset.x()) <= slackX && qAbs(offset.y()) <= slackY,
             qPrintable(QStringLiteral("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
    window->close();
}

void TstToolkit::pictureButton() {
    QWidget parent;
    parent.resize(200, 100);
    auto* button = new PictureButton(QStringLiteral("图形按钮1"), QStringLiteral("创建"), &parent);
    button->setGeometry(10, 10, 96, 32);
    const QImage* pictures[] = {&button->picture(PictureButton::State::Normal),
                                &button->picture(PictureButton::State::Hover),
                                &button->picture(PictureButton::State::Pressed)};
    for (const QImage* picture : pictures) {
        QCOMPARE(picture->size(), QSize(96, 32));
        QCOMPARE(picture->format(), QImage::Format_RGB888);
    }
    QVERIFY(*pictures[0] != *pictures[1]);
    QVERIFY(*pictures[0] != *pictures[2]);
    QVERIFY(*pictures[1] != *pictures[2]);

    parent.show();
    // A new size redraws them at that size.
    button->resize(120, 40);
    QCOMPARE(button->picture(PictureButton::State::Pressed).size(), QSize(120, 40));

    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    // What shows at rest is the normal picture.
    QVERIFY(sameImage(button->grab().toImage(), button->picture(PictureButton::State::Normal)));
}

void TstToolkit::toolbarPictures() {
    QList<QImage> images;
    for (int i = 0; i < kToolbarPictureCount; ++i) {
        const QIcon icon = toolbarPicture(i);
        QVERIFY(!icon.isNull());
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
        const QImage image =
            icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(32, 32));
        int drawn = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                drawn += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
        }
        QVERIFY2(drawn > 32 * 32 / 10, qPrintable(QStringLiteral("picture %1 is empty").arg(i)));
        QVERIFY2(drawn < 32 * 32, qPrintable(QStringLiteral("picture %1 has no outline").arg(i)));
        for (int j = 0; j < images.size(); ++j) {
            QVERIFY2(images[j] != image,
                     qPrintable(QStringLiteral("pictures %1 and %2 are equal").arg(j).arg(i)));
        }
        images << image;
    }
}

void TstToolkit::colourPickerChooses() {
    QWidget window;
    window.resize(200, 100);
    auto* picker = new ColourPicker(QStringLiteral("颜色选择器1"), &window);
    picker->setGeometry(10, 10, 80, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QSignalSpy chosen(picker, &ColourPicker::colourChosen);
    picker->dropDown();
    auto* popup = picker->findChild<QFrame*>(QStringLiteral("颜色列表"));
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    const int red = static_cast<int>(ColourPicker::colours().indexOf(QColor(255, 0, 0)));
    QVERIFY(red >= 0);
    auto* swatch = popup->findChild<QToolButton*>(QStringLiteral("色块%1").arg(red));
    QVERIFY(swatch);
    QTest::mouseClick(swatch, Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(picker->colour(), QColor(255, 0, 0));
    QVERIFY(!popup->isVisible());

    // A press on the picker drops the grid down again; every swatch has a colour of the list.
    QTest::mouseClick(picker, Qt::LeftButton);
    QVERIFY(popup->isVisible());
    const int last = static_cast<int>(ColourPicker::colours().size()) - 1;
    QTest::mouseClick(popup->findChild<QToolButton*>(QStringLiteral("色块%1").arg(last)),
                      Qt::LeftButton);
    QCOMPARE(chosen.count(), 2);
    QCOMPARE(picker->colour(), ColourPicker::colours().at(last));
    QVERIFY(!popup->isVisible());
}

void TstToolkit::colourPickerLostFocus() {
    QWidget window;
    window.resize(200, 100);
    auto* picker = new ColourPicker(QStringLiteral("颜色选择器1"), &window);
    picker->setGeometry(10, 10, 80, 24);
    auto* edit = new QLineEdit(&window);
    edit->setGeometry(10, 50, 120, 24);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QSignalSpy lost(picker, &ColourPicker::lostFocus);
    picker->setFocus(Qt::OtherFocusReason);
    QVERIFY(picker->hasFocus());
    edit->setFocus(Qt::TabFocusReason);
    QVERIFY(edit->hasFocus());
    QCOMPARE(lost.count(), 1);

    // Its own drop-down taking the focus is not leaving the picker.
    picker->setFocus(Qt::OtherFocusReason);
    QVERIFY(picker->hasFocus());
    picker->dropDown();
    auto* popup = picker->findChild<QFrame*>(QStringLiteral("颜色列表"));
    QVERIFY(popup && popup->isVisible());
    QCOMPARE(lost.count(), 1);
    QTest::mouseClick(popup->findChild<QToolButton*>(QStringLiteral("色块0")), Qt::LeftButton);
    QVERIFY(!popup->isVisible());
    QCOMPARE(lost.count(), 1);

    QTRY_VERIFY(picker->hasFocus() || QApplication::focusWidget() == nullptr);
    picker->setFocus(Qt::OtherFocusReason);
    edit->setFocus(Qt::MouseFocusReason);
    QCOMPARE(lost.count(), 2);
}

void TstToolkit::accessibleNames() {
    AccessibleNames filter;
    qApp->installEventFilter(&filter);

    // A window of the program with all its controls, and one named after it was first shown.
    ProgramFixture program;
    QVERIFY(program.start());
    auto* unnamed = new QLabel(&program.main());
    auto* named = new QLabel(&program.main());
    named->setObjectName(QStringLiteral("标签_后来"));
    program.main().hide();
    program.main().show();

    QList<QWidget*> windows = {&program.main(), program.app().pastEntriesWindow()};
    int checked = 0;
    for (QWidget* window : windows) {
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->accessibleDescription(), window->objectName());
        const auto children = window->findChildren<QWidget*>();
        for (QWidget* child : children) {
            if (!child->objectName().isEmpty()) {
                QCOMPARE(child->accessibleDescription(), child->objectName());
                ++checked;
            }
        }
    }
    QVERIFY(checked > 20);
    QCOMPARE(named->accessibleDescription(), QStringLiteral("标签_后来"));
    QVERIFY(unnamed->accessibleDescription().isEmpty());
    qApp->removeEventFilter(&filter);
}

void TstToolkit::flatStyle() {
    const QColor frame(123, 158, 189);
    QWidget window;
    window.resize(300, 100);
    auto* before = new QLineEdit(&window);
    before->setGeometry(10, 10, 120, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    applyFlatStyle(*qApp, 1);
    const QString sheet = qApp->styleSheet();
    QVERIFY(sheet.contains(QStringLiteral("rgb(123,158,189)")));
    applyFlatStyle(*qApp, 1);
    QCOMPARE(qApp->styleSheet(), sheet);

    auto* after = new QLineEdit(&window);
    after->setGeometry(10, 50, 120, 24);
    after->show();
    // Both the edit that was there and the one made later are framed in the scheme's colour.
    for (QLineEdit* edit : {before, after}) {
        const QImage image = edit->grab().toImage();
        QCOMPARE(image.pixelColor(0, image.height() / 2), frame);
        QCOMPARE(image.pixelColor(image.width() / 2, 0), frame);
        QCOMPARE(image.pixelColor(image.width() - 1, image.height() / 2), frame);
    }
}

QTEST_MAIN(TstToolkit)
#include "tst_toolkit.moc"
