#include "simple_combo.h"

#include <QLineEdit>
#include <QListWidget>

namespace wendlow {

namespace {
constexpr int kEditHeight = 20;
}

SimpleCombo::SimpleCombo(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(name + QStringLiteral("_编辑"));
    list_ = new QListWidget(this);
    list_->setObjectName(name + QStringLiteral("_列表"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) {
            edit_->setText(list_->item(row)->text());
        }
    });
}

void SimpleCombo::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    edit_->setGeometry(0, 0, width(), kEditHeight);
    list_->setGeometry(0, kEditHeight + 2, width(), height() - kEditHeight - 2);
}

void SimpleCombo::addItem(const QString& text) {
    list_->addItem(text);
}

int SimpleCombo::count() const {
    return list_->count();
}

int SimpleCombo::currentIndex() const {
    const int row = list_->currentRow();
    return (row >= 0 && list_->item(row)->isSelected()) ? row : -1;
}

void SimpleCombo::setCurrentIndex(int index) {
    list_->setCurrentRow(index);
    if (index >= 0 && index < list_->count()) {
        list_->item(index)->setSelected(true);
    }
}

QString SimpleCombo::text() const {
    return edit_->text();
}

} // namespace wendlow
