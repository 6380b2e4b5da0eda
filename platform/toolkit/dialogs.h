#pragma once

#include <QFont>
#include <QString>

#include <optional>

class QWidget;

namespace wendlow {

// The common dialogs: open file, save file and font. Windows ask through this seam so tests can
// give the path or font a user would choose. Nothing means the user cancelled.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Only an existing file can be chosen.
    virtual std::optional<QString> openFile(QWidget* parent) = 0;
    // Asks before replacing an existing file; the name is kept as typed.
    virtual std::optional<QString> saveFile(QWidget* parent) = 0;
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
};

class QtDialogs final : public Dialogs {
  public:
    std::optional<QString> openFile(QWidget* parent) override;
    std::optional<QString> saveFile(QWidget* parent) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
};

} // namespace wendlow
