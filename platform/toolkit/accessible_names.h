#pragma once

#include <QObject>

namespace wendlow {

// Copies every widget's objectName into its accessibleDescription when its window is shown, so
// that tools driving the program through the accessibility bus can find controls by name.
class AccessibleNames final : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace wendlow
