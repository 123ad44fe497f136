// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace vantrel {

// The modal "choose a folder" dialog: folders only, and the user may make a new one in it.
class FolderDialog
{
public:
    virtual ~FolderDialog() = default;
    // The chosen folder's absolute path, or none when the user cancels. The dialog opens at
    // `startDirectory` and is modal to `parent` (a window, or none).
    virtual std::optional<QString> run(const QString& startDirectory, QWidget* parent) = 0;
};

// QFileDialog in directory mode.
class QtFolderDialog : public FolderDialog
{
public:
    std::optional<QString> run(const QString& startDirectory, QWidget* parent) override;
};

} // namespace vantrel
