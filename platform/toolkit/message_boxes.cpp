#include "message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace wendlow {

int QtMessageBoxes::show(const Text& text, Buttons buttons) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("信息："), toUnicode(text));
    box.setObjectName(QStringLiteral("信息框"));
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == OkCancel) {
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    return (cancel && box.clickedButton() != ok) ? AnsweredCancel : AnsweredOk;
}

} // namespace wendlow
