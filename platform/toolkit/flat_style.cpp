#include "flat_style.h"

#include <QApplication>

namespace wendlow {

namespace {

QString schemeColour(int scheme) {
    switch (scheme) {
    case 2:
        return QStringLiteral("rgb(128,128,128)");
    case 3:
        return QStringLiteral("rgb(0,0,0)");
    default:
        return QStringLiteral("rgb(123,158,189)");
    }
}

} // namespace

void applyFlatStyle(QApplication& app, int scheme) {
    const QString frame = schemeColour(scheme);
    // One application-wide sheet reaches every window, including those created later.
    const QString sheet =
        QStringLiteral(
            "QLineEdit, QTextEdit, QPlainTextEdit, QListWidget, QCalendarWidget QTableView {"
            " border: 1px solid %1; background: white; }"
            "QComboBox { border: 1px solid %1; background: white; padding: 0 2px; }"
            "QComboBox::drop-down { border-left: 1px solid %1; width: 14px; }"
            "QComboBox::down-arrow { width: 0; height: 0; border-left: 4px solid transparent;"
            " border-right: 4px solid transparent; border-top: 5px solid %1; }"
            "QPushButton { border: 1px solid %1; background: rgb(240,244,248); padding: 2px; }"
            "QPushButton:hover { background: rgb(225,234,243); }"
            "QPushButton:pressed { background: rgb(200,215,230); }"
            "QGroupBox { border: 1px solid %1; margin-top: 7px; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 2px; }")
            .arg(frame);
    if (app.styleSheet() != sheet) {
        app.setStyleSheet(sheet);
    }
}

} // namespace wendlow
