// SPDX-License-Identifier: GPL-3.0-or-later
#include "SaveDialog.h"

#include <QDir>
#include <QFileDialog>

namespace vantrel {

std::optional<QString> QtSaveDialog::run(const SaveDialogRequest& request)
{
    QFileDialog dialog(nullptr, QString(), QDir(request.directory).filePath(request.fileName));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (request.imageTypes) {
        dialog.setNameFilters({QStringLiteral("PNG image (*.png)"), QStringLiteral("JPEG image (*.jpg *.jpeg)")});
        if (request.fileName.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive))
            dialog.selectNameFilter(QStringLiteral("JPEG image (*.jpg *.jpeg)"));
    }
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace vantrel
