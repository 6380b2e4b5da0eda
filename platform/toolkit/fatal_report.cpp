#include "fatal_report.h"

#include <QMessageBox>

#include <unistd.h>

namespace wendlow {

QString fatalErrorText(int code, const Text& message) {
    QString text = QStringLiteral("运行时出错!\r\n\r\n");
    if (code != 0) {
        text += QStringLiteral("错误代码：") + QString::number(code) + QStringLiteral("\r\n\r\n");
    }
    if (!message.isEmpty()) {
        text += QStringLiteral("错误信息：") + toUnicode(message) + QStringLiteral("\r\n");
    }
    return text;
}

void reportFatalError(int code, const Text& message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"), fatalErrorText(code, message));
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
    ::_exit(-1);
}

} // namespace wendlow
