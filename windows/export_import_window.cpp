#include "export_import_window.h"

#include "entry_file.h"
#include "main_window.h"
#include "widgets.h"

#include <QPushButton>

namespace wendlow {

ExportImportWindow::ExportImportWindow(Services services)
    : FixedWindow(QStringLiteral("窗口_导入导出"), QStringLiteral("导入导出"), QSize(178, 111)),
      services_(std::move(services)) {
    auto* importButton = place(new QPushButton(QStringLiteral("导入"), this),
                               QStringLiteral("按钮1"), 8, 16, 72, 48);
    auto* exportButton = place(new QPushButton(QStringLiteral("导出"), this),
                               QStringLiteral("按钮2"), 93, 16, 72, 48);
    connect(importButton, &QPushButton::clicked, this, &ExportImportWindow::importEntry);
    connect(exportButton, &QPushButton::clicked, this, &ExportImportWindow::exportEntry);
}

void ExportImportWindow::exportEntry() {
    const std::optional<QString> path = services_.dialogs.saveFile(this);
    if (!path) {
        return;
    }
    MainWindow* main = services_.host.mainWindow();
    // A write that failed says so; the old file, if any, is still whole.
    const bool written = main && writeEntryFile(*path, main->entry());
    services_.boxes.show(written ? gbk("导出成功！") : gbk("导出失败！"), MessageBoxes::Ok);
}

void ExportImportWindow::importEntry() {
    const std::optional<QString> path = services_.dialogs.openFile(this);
    if (!path) {
        return;
    }
    // A file that is not an entry file leaves the editor as it was.
    const std::optional<DiaryEntry> entry = readEntryFile(*path);
    MainWindow* main = services_.host.mainWindow();
    if (!entry || !main) {
        services_.boxes.show(gbk("导入失败！"), MessageBoxes::Ok);
        return;
    }
    main->setEntry(*entry);
    services_.boxes.show(gbk("导入成功！"), MessageBoxes::Ok);
}

} // namespace wendlow
