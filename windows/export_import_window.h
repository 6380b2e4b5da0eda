#pragma once

#include "fixed_window.h"
#include "services.h"

namespace wendlow {

// Writes the entry on screen to a text file, or fills the editor from one.
class ExportImportWindow final : public FixedWindow {
    Q_OBJECT
  public:
    explicit ExportImportWindow(Services services);

  private:
    void importEntry();
    void exportEntry();

    Services services_;
};

} // namespace wendlow
