#include "accessible_names.h"

#include <QEvent>
#include <QWidget>

namespace wendlow {

namespace {
void describe(QWidget* widget) {
    if (!widget->objectName().isEmpty() &&
        widget->accessibleDescription() != widget->objectName()) {
        widget->setAccessibleDescription(widget->objectName());
    }
}
} // namespace

bool AccessibleNames::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow()) {
            describe(widget);
            const auto children = widget->findChildren<QWidget*>();
            for (QWidget* child : children) {
                describe(child);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace wendlow
