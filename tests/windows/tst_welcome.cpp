#include "gui_support.h"
#include "main_window.h"
#include "settings.h"
#include "settings_keys.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace wendlow;
using namespace wendlow::test;

namespace keys = wendlow::settings_keys;

namespace {

const QString kWelcome = QStringLiteral("窗口_欢迎");

void click(QWidget* parent, const QString& name) {
    auto* button = parent->findChild<QAbstractButton*>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

// A check box is clicked on its indicator, as the user does.
void clickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

QCheckBox* hideBox(QWidget* welcome) {
    return welcome->findChild<QCheckBox*>(QStringLiteral("选择框1"));
}

Text storedHideFlag(const DataContext& data) {
    return readSetting(keys::infIniPath(data), keys::section(), keys::welcomeHidden());
}

// One run of the program over a program directory that outlives it, so that a second run
// finds what the first one left.
struct Run {
    explicit Run(const QString& dir)
        : player(std::make_unique<CountingSink>()),
          app(dir, Application::Seams{boxes, dialogs, clock, launcher, player}, fatal.handler()) {}

    FixedClock clock;
    ScriptedMessageBoxes boxes;
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    FatalRecorder fatal;
    Mp3Player player;
    Application app;
};

QPushButton* welcomeButton(MainWindow* main) {
    return main->findChild<QPushButton*>(QStringLiteral("按钮4"));
}

// Closes the open welcome window with Esc and waits until it is gone.
bool escapeWelcome() {
    QPointer<QWidget> welcome = visibleWindow(kWelcome);
    if (!welcome) {
        return false;
    }
    QTest::keyClick(welcome, Qt::Key_Escape);
    return QTest::qWaitFor([&] { return welcome.isNull(); });
}

} // namespace

class TstWelcome : public QObject {
    Q_OBJECT

  private slots:
    void firstAndSecondStart();
    void hideFlagAtStart_data();
    void hideFlagAtStart();
    void checkingHidesItFromTheNextStart();
    void handsOverToAModalWindow_data();
    void handsOverToAModalWindow();
    void updateLeavesItOpen();
    void escapeThenPrepareAgain_data();
    void escapeThenPrepareAgain();
};

void TstWelcome::firstAndSecondStart() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        Run first(dir.path());
        QVERIFY(first.app.start());
        QWidget* welcome = visibleWindow(kWelcome);
        QVERIFY(welcome);
        QCOMPARE(welcome->windowTitle(), QStringLiteral("欢迎来到Wendlow"));
        QVERIFY(welcome->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(welcome->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(welcome->windowFlags() & Qt::WindowMaximizeButtonHint));
        // Opened at start without blocking the main window.
        QVERIFY(!QApplication::activeModalWidget());
        // The window is made before the version is first written.
        QCOMPARE(welcome->findChild<QLabel*>(QStringLiteral("标签1"))->text(),
                 QStringLiteral("欢迎你使用[WendlowV]，在这里，你可以："));

        auto* features = welcome->findChild<QPlainTextEdit*>(QStringLiteral("编辑框1"));
        QVERIFY(features->isReadOnly());
        QCOMPARE(features->toPlainText().split(QLatin1Char('\n')),
                 QStringList({QStringLiteral("1.拥有一本电子日记本，还有密码锁保护的哦！"),
                              QStringLiteral("2.用键盘书写一个真实的假期，让心绪飞扬！"),
                              QStringLiteral("3.把一篇日记或者N篇日记发送给好友，分享心情！"),
                              QStringLiteral("4.还有打印功能哦！把一个假期打印出来！")}));
        QVERIFY(!hideBox(welcome)->isChecked());
    }
    Run second(dir.path());
    QVERIFY(second.app.start());
    QWidget* welcome = visibleWindow(kWelcome);
    QVERIFY(welcome);
    QCOMPARE(welcome->findChild<QLabel*>(QStringLiteral("标签1"))->text(),
             QStringLiteral("欢迎你使用[WendlowV1.0]，在这里，你可以："));
    QVERIFY(second.fatal.calls.empty());
}

void TstWelcome::hideFlagAtStart_data() {
    QTest::addColumn<std::optional<Text>>("stored");
    QTest::addColumn<bool>("shownAtStart");

    QTest::newRow("真") << std::optional<Text>(gbk("真")) << false;
    QTest::newRow("假") << std::optional<Text>(gbk("假")) << true;
    QTest::newRow("empty") << std::optional<Text>(Text()) << true;
    QTest::newRow("missing") << std::optional<Text>() << true;
}

// The box shows the stored flag at every opening; the main window's button opens the window
// modally whatever the flag holds.
void TstWelcome::hideFlagAtStart() {
    QFETCH(std::optional<Text>, stored);
    QFETCH(bool, shownAtStart);

    ProgramFixture f;
    QVERIFY(QDir().mkpath(f.path(QStringLiteral("DATEINI"))));
    if (stored) {
        QVERIFY(writeSetting(keys::infIniPath(f.context()), keys::section(), keys::welcomeHidden(),
                             *stored));
    }
    QVERIFY(f.start());

    const bool checked = !shownAtStart;
    QWidget* welcome = visibleWindow(kWelcome);
    QCOMPARE(welcome != nullptr, shownAtStart);
    if (welcome) {
        QCOMPARE(hideBox(welcome)->isChecked(), checked);
        QVERIFY(escapeWelcome());
    }

    const ModalVisit visit = visitModal(
        kWelcome, [&] { QTest::mouseClick(welcomeButton(&f.main()), Qt::LeftButton); },
        [&](QWidget* window) {
            QCOMPARE(hideBox(window)->isChecked(), checked);
            QCOMPARE(window->findChild<QLabel*>(QStringLiteral("标签1"))->text(),
                     QStringLiteral("欢迎你使用[WendlowV1.0]，在这里，你可以："));
        });
    QVERIFY(visit.shown);
    QVERIFY(visit.modal);
    QVERIFY(!visibleWindow(kWelcome));
    QCOMPARE(f.state().welcomeDone, 0);
}

void TstWelcome::checkingHidesItFromTheNextStart() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        Run first(dir.path());
        QVERIFY(first.app.start());
        QWidget* welcome = visibleWindow(kWelcome);
        QVERIFY(welcome);
        clickBox(hideBox(welcome));
        QVERIFY(hideBox(welcome)->isChecked());
        QCOMPARE(storedHideFlag(first.app.data()), gbk("真"));
        clickBox(hideBox(welcome));
        QCOMPARE(storedHideFlag(first.app.data()), gbk("假"));
        clickBox(hideBox(welcome));
        QCOMPARE(storedHideFlag(first.app.data()), gbk("真"));
    }
    {
        Run second(dir.path());
        QVERIFY(second.app.start());
        QVERIFY(!visibleWindow(kWelcome));
        // Opened by hand, the box shows the flag and unchecking it gives the window back.
        const ModalVisit visit = visitModal(
            kWelcome,
            [&] { QTest::mouseClick(welcomeButton(second.app.mainWindow()), Qt::LeftButton); },
            [&](QWidget* window) {
                QVERIFY(hideBox(window)->isChecked());
                clickBox(hideBox(window));
                QCOMPARE(storedHideFlag(second.app.data()), gbk("假"));
            });
        QVERIFY(visit.modal);
    }
    Run third(dir.path());
    QVERIFY(third.app.start());
    QWidget* welcome = visibleWindow(kWelcome);
    QVERIFY(welcome);
    QVERIFY(!hideBox(welcome)->isChecked());
}

void TstWelcome::handsOverToAModalWindow_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("next");

    QTest::newRow("假期续写") << QStringLiteral("图形按钮1") << QStringLiteral("窗口_选择日记本");
    QTest::newRow("日记开篇") << QStringLiteral("图形按钮2") << QStringLiteral("窗口_新日记本");
}

void TstWelcome::handsOverToAModalWindow() {
    QFETCH(QString, button);
    QFETCH(QString, next);

    ProgramFixture f;
    QVERIFY(f.start());
    QWidget* welcome = visibleWindow(kWelcome);
    QVERIFY(welcome);
    QCOMPARE(f.state().welcomeDone, 0);

    const ModalVisit visit = visitModal(
        next, [&] { click(welcome, button); },
        [&](QWidget*) {
            QCOMPARE(f.state().welcomeDone, 1);
            QTRY_VERIFY(!visibleWindow(kWelcome));
        });
    QVERIFY(visit.shown);
    QVERIFY(visit.modal);
    QVERIFY(!visibleWindow(kWelcome));
    QVERIFY(!visibleWindow(next));

    // Handed over once, the window no longer comes back when the main window is set up again.
    f.app().prepareMainWindow();
    QVERIFY(!visibleWindow(kWelcome));
    QCOMPARE(f.state().welcomeDone, 1);
}

void TstWelcome::updateLeavesItOpen() {
    ProgramFixture f;
    QVERIFY(f.start());
    QWidget* welcome = visibleWindow(kWelcome);
    QVERIFY(welcome);
    click(welcome, QStringLiteral("图形按钮3"));
    QCoreApplication::processEvents();
    QCOMPARE(visibleWindow(kWelcome), welcome);
    QCOMPARE(f.state().welcomeDone, 0);

    // Closed afterwards, then opened by hand and left through "假期续写" to open a book: the
    // book opens and the welcome window stays away.
    QVERIFY(escapeWelcome());
    QCOMPARE(f.state().welcomeDone, 0);
    bool opened = false;
    const ModalVisit visit = visitModal(
        kWelcome, [&] { QTest::mouseClick(welcomeButton(&f.main()), Qt::LeftButton); },
        [&](QWidget* window) {
            const ModalVisit chooser = visitModal(
                QStringLiteral("窗口_选择日记本"),
                [&] { click(window, QStringLiteral("图形按钮1")); },
                [&](QWidget* openBook) {
                    click(openBook, QStringLiteral("图形按钮1"));
                    opened = true;
                });
            QVERIFY(chooser.modal);
        });
    QVERIFY(visit.modal);
    QVERIFY(opened);
    QCOMPARE(f.boxes.shown, std::vector<Text>{gbk("成功开启日记本，点击确定浏览吧！")});
    QCOMPARE(f.state().welcomeDone, 1);
    QCoreApplication::processEvents();
    QVERIFY(!visibleWindow(kWelcome));
}

void TstWelcome::escapeThenPrepareAgain_data() {
    QTest::addColumn<bool>("checkFirst");
    QTest::addColumn<bool>("shownAgain");

    QTest::newRow("not suppressed") << false << true;
    QTest::newRow("box checked") << true << false;
}

// Leaving the window by Esc is not a hand-over: saving the book information, which sets up the
// main window again, brings it back unless the box suppresses it.
void TstWelcome::escapeThenPrepareAgain() {
    QFETCH(bool, checkFirst);
    QFETCH(bool, shownAgain);

    ProgramFixture f;
    QVERIFY(f.start());
    QWidget* welcome = visibleWindow(kWelcome);
    QVERIFY(welcome);
    if (checkFirst) {
        clickBox(hideBox(welcome));
    }
    QVERIFY(escapeWelcome());
    QCOMPARE(f.state().welcomeDone, 0);

    bool shownInside = false;
    const ModalVisit visit = visitModal(
        QStringLiteral("窗口_修改信息"), [&] { f.app().loadBookInfo(); },
        [&](QWidget* window) {
            click(window, QStringLiteral("按钮6"));
            shownInside = visibleWindow(kWelcome) != nullptr;
        });
    QVERIFY(visit.shown);
    QCOMPARE(f.boxes.shown, std::vector<Text>{gbk("数据修改成功！")});
    QCOMPARE(shownInside, shownAgain);
    QCOMPARE(visibleWindow(kWelcome) != nullptr, shownAgain);
    QCOMPARE(f.state().welcomeDone, 0);
}

QTEST_MAIN(TstWelcome)
#include "tst_welcome.moc"
