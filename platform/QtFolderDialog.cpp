// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>

namespace vantrel {

std::optional<QString> QtFolderDialog::run(const QString& startDirectory, QWidget* parent)
{
    QFileDialog dialog(parent, QCoreApplication::translate("QtFolderDialog", "Choose a Folder"), startDirectory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::ReadOnly, false); // the "new folder" button stays
    dialog.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::cleanPath(dialog.selectedFiles().constFirst());
}

} // namespace vantrel
